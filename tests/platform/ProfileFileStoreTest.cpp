// The profile file's written texts under load: many writes, overwrites that
// grow and shrink, refused writes in between, and names that match without
// regard to case.
#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using platform::ProfileFile;

namespace {

// What one section written from scratch must read back as: its keys in the
// order first written, each with its first spelling and its last value.
class SectionModel {
public:
    void write(const std::string& key, const std::string& value) {
        std::string folded = key;
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        auto [it, added] = index_.try_emplace(folded, lines_.size());
        if (added)
            lines_.push_back({key, value});
        else
            lines_[it->second].second = value;
    }
    std::string text(const std::string& section) const {
        std::string out = "[" + section + "]\r\n";
        for (const auto& [key, value] : lines_)
            out += key + "=" + value + "\r\n";
        return out;
    }
    const std::vector<std::pair<std::string, std::string>>& lines() const { return lines_; }

private:
    std::map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, std::string>> lines_;
};

} // namespace

TEST(ProfileFileStore, AsciiNamesFoldOnlyTheirLetters) {
    ProfileFile ini;
    ASSERT_TRUE(ini.write("Files", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "long"));
    ASSERT_TRUE(ini.write("Files", "a@", "at"));
    ASSERT_TRUE(ini.write("Files", "a[", "bracket"));
    ASSERT_TRUE(ini.write("Files", "Z", "zed"));
    // Case differences anywhere in a long name.
    EXPECT_EQ(ini.read("FILES", "abcdefghijklmnopqrstuvwxyz0123", "-"), "long");
    EXPECT_EQ(ini.read("files", "AbCdEfGhIjKlMnOpQrStUvWxYz0123", "-"), "long");
    EXPECT_EQ(ini.read("Files", "z", "-"), "zed");
    // "@" and "[" lie just outside the capitals: "`" and "{" are other names.
    EXPECT_EQ(ini.read("Files", "a`", "-"), "-");
    EXPECT_EQ(ini.read("Files", "a{", "-"), "-");
    EXPECT_EQ(ini.read("Files", "A@", "-"), "at");
    EXPECT_EQ(ini.read("Files", "A[", "-"), "bracket");
    EXPECT_EQ(ini.keys("Files").size(), 4u);
}

TEST(ProfileFileStore, OverwritesThatGrowAndShrinkKeepTheirNeighbours) {
    ProfileFile ini;
    SectionModel model;
    auto write = [&](const std::string& key, const std::string& value) {
        ASSERT_TRUE(ini.write("S", key, value));
        model.write(key, value);
    };
    write("First", std::string(40, 'a'));
    write("Second", "x");
    write("first", "short");
    write("Third", "y");
    write("FIRST", std::string(100, 'b'));
    write("second", std::string(30, 'c'));
    write("first", "");
    write("Second", "z");
    EXPECT_EQ(ini.serialize(), model.text("S"));
    EXPECT_EQ(ini.read("S", "first", "-"), "");
    EXPECT_EQ(ini.read("S", "second", "-"), "z");
    EXPECT_EQ(ini.read("S", "third", "-"), "y");
}

TEST(ProfileFileStore, ManyWritesWithRefusalsInBetweenReadBackWhole) {
    ProfileFile ini;
    SectionModel model;
    for (int i = 1; i <= 5000; ++i) {
        const std::string key = "Item" + std::to_string(i);
        // Values of all lengths, some of 40,000 bytes.
        const std::string value =
            i % 1000 == 0 ? std::string(40000, 'v') : "dir\\file" + std::string(i % 37, 'x');
        ASSERT_TRUE(ini.write("Files", key, value));
        model.write(key, value);
        // Entries a file cannot hold change nothing, wherever they fall.
        EXPECT_FALSE(ini.write("Files", "a=b", "refused"));
        EXPECT_FALSE(ini.write("New]Section", "k", "refused"));
        EXPECT_FALSE(ini.write("Files", key, "line\nbreak"));
        if (i % 7 == 0) {
            const std::string again = "again" + std::to_string(i);
            ASSERT_TRUE(ini.write("Files", "ITEM" + std::to_string(i / 2), again));
            model.write("ITEM" + std::to_string(i / 2), again);
        }
    }
    EXPECT_FALSE(ini.hasSection("New]Section"));
    ASSERT_EQ(ini.serialize(), model.text("Files"));

    const ProfileFile back = ProfileFile::parse(ini.serialize());
    const std::vector<std::string> keys = back.keys("Files");
    ASSERT_EQ(keys.size(), model.lines().size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], model.lines()[i].first);
        EXPECT_EQ(back.read("Files", keys[i], "-"), model.lines()[i].second) << keys[i];
    }
}
