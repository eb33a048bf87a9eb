// Searching text eight bytes at a time: the scans of names and lines skip runs
// of plain bytes without looking at each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wordscan {

constexpr std::uint64_t Ones = 0x0101010101010101u;
constexpr std::uint64_t HighBits = 0x8080808080808080u;

// The eight bytes at `p`, in any order (the tests below do not care which).
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

// Whether any byte of the word has its high bit set (is not ASCII).
constexpr bool hasHighByte(std::uint64_t word) {
    return (word & HighBits) != 0;
}

} // namespace wordscan
