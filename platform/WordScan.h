// Searching text eight bytes at a time: the scans of names and lines skip runs
// of plain bytes without looking at each one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wordscan {

constexpr std::uint64_t Ones = 0x0101010101010101u;
constexpr std::uint64_t HighBits = 0x8080808080808080u;

// The eight bytes at `p`, in the machine's order.
inline std::uint64_t load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Whether any byte of the word is `b`.
constexpr bool hasByte(std::uint64_t word, unsigned char b) {
    const std::uint64_t x = word ^ (Ones * b);
    return ((x - Ones) & ~x & HighBits) != 0;
}

// Whether any byte of the word is below `limit` (at most 0x80).
constexpr bool hasByteBelow(std::uint64_t word, unsigned char limit) {
    return ((word - Ones * limit) & ~word & HighBits) != 0;
}

// Whether any byte of the word has its high bit set (is not ASCII).
constexpr bool hasHighByte(std::uint64_t word) {
    return (word & HighBits) != 0;
}

// The high bit of each byte of the word that is `b`, and no other bit (exact,
// unlike `hasByte`, whose test may also mark bytes after a match).
constexpr std::uint64_t bytesEqualTo(std::uint64_t word, unsigned char b) {
    constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t x = word ^ (Ones * b);
    return ~(((x & Low7) + Low7) | x | Low7);
}

// The place, counted from the word's first byte in memory, of the first byte
// marked in a non-zero mask of `bytesEqualTo`.
constexpr std::size_t firstMarked(std::uint64_t mask) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
    else
        return static_cast<std::size_t>(std::countl_zero(mask)) / 8;
}

// The mask without its first marked byte.
constexpr std::uint64_t withoutFirst(std::uint64_t mask) {
    if constexpr (std::endian::native == std::endian::little)
        return mask & (mask - 1);
    else
        return mask & ~(std::uint64_t{0x80} << (8 * (7 - firstMarked(mask))));
}

} // namespace wordscan
