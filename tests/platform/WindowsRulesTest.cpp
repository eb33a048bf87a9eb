// Windows' answers without a disk: the rows the systems' own tests cannot
// make on the disk here, or do not.
#include "platform/WindowsRules.h"
#include "platform/System.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace windowsrules;

TEST(WindowsRules, AttributeBits) {
    const struct {
        Kind kind;
        bool anyWriteBit, hiddenName;
        Link link;
        std::uint32_t bits;
    } rows[] = {
        {Kind::Other, false, false, Link::None, AttrSystem | AttrReadOnly}, // a locked device
        // A link to nothing: its own type and mode do not count, its name does.
        {Kind::Other, false, true, Link::Dangling, AttrArchive | AttrReparsePoint | AttrHidden},
    };
    for (const auto& row : rows)
        EXPECT_EQ(attributeBits(row.kind, row.anyWriteBit, row.hiddenName, row.link), row.bits)
            << row.bits;
}

TEST(WindowsRules, OnlyReparsePointsNamingAnotherEntryAreLinks) {
    // The tags of a symbolic link, a junction, a OneDrive file, a deduplicated one.
    constexpr std::uint32_t Symlink = 0xA000000C, Junction = 0xA0000003, Cloud = 0x9000001A,
                            Dedup = 0x80000013;
    const struct {
        std::uint32_t attributes, tag, bits;
    } rows[] = {
        {AttrArchive | AttrReparsePoint, Symlink, AttrArchive | AttrReparsePoint},
        {AttrDirectory | AttrReparsePoint, Junction, AttrDirectory | AttrReparsePoint},
        {AttrArchive | AttrReparsePoint, Cloud, AttrArchive},
        {AttrArchive | AttrReparsePoint, Dedup, AttrArchive},
        {AttrDirectory | AttrReparsePoint, 0, AttrDirectory}, // a mount point under Wine
        {AttrArchive, Symlink, AttrArchive},                  // the tag counts only with the bit
    };
    for (const auto& row : rows)
        EXPECT_EQ(linksOnly(row.attributes, row.tag), row.bits) << std::hex << row.tag;
}

TEST(WindowsRules, NamesTheLogicHoldsFaithfully) {
    std::string out;
    EXPECT_TRUE(logicName("del\x7F", out)); // Windows names may hold DEL
    EXPECT_EQ(out, "del\x7F");
    // Unfaithful: the message form keeps what code page 932 holds ("ソ").
    EXPECT_FALSE(logicName("\xE3\x82\xBD:x", out));
    EXPECT_EQ(out, "\x83\x5C\x81\x46x");
}

TEST(WindowsRules, WildcardsMatchWholeCharacters) {
    const struct {
        const char *pattern, *name;
        bool matches;
    } rows[] = {
        {"*A", "\x83\x41", false}, // "ア" ends in the byte of "A": no "*" steps onto it
        {"a?", "a", false},        // "?" is exactly one character
    };
    for (const auto& row : rows)
        EXPECT_EQ(wildcardMatch(row.pattern, row.name), row.matches) << row.pattern;
}
