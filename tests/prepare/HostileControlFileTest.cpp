// Control files that anyone may have written: the restore never touches
// anything outside the control file's folder, never crashes, and stays linear.
#include "prepare/Restore.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {

using testing_support::Ini;

class HostileControlFileTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    std::map<std::string, std::string> outsideBefore;

    void SetUp() override {
        f.tmp.write("outside.txt", "outside");
        f.tmp.write("Other/doc/x.txt", "other");
        f.file("x.txt", "x");
        f.tmp.mkdir("Sample/doc");
    }
    void restoreWith(const std::string& contents) {
        f.file(Ini, contents);
        outsideBefore = outside();
        prepare::restoreControlFile(f.sys, f.logic(Ini));
    }
    std::map<std::string, std::string> outside() {
        auto all = f.tmp.snapshot();
        std::map<std::string, std::string> out;
        for (auto& [path, contents] : all)
            if (path.rfind("Sample/", 0) != 0)
                out[path] = contents;
        return out;
    }
};

TEST_F(HostileControlFileTest, TraversalAbsoluteAndDrivePaths) {
    const std::string up = "..\\..\\" + f.tmp.path().filename().string();
#ifndef _WIN32
    std::filesystem::create_directory_symlink(f.tmp.native("Other"), f.tmp.native("Sample/lnk"));
#endif
    restoreWith("[Install]\r\nInstallDir=x\r\n[Files]\r\n"
                "Item0=lnk\\x.txt\r\n"
                "Item1=..\\Other\\doc\\x.txt\r\n"
                "Item2=doc\\..\\..\\outside.txt\r\n"
                "Item3=" +
                f.tmp.logic("Other/doc/x.txt") + "\r\n" +
                "Item4=Z:\\doc\\x.txt\r\n"
                "Item5=" +
                up + "\\x.txt\r\n");
    EXPECT_EQ(outside(), outsideBefore);
    EXPECT_EQ(f.tmp.read("Sample/x.txt"), "x");
}

TEST_F(HostileControlFileTest, MissingSectionsAndGarbageAreHarmless) {
    restoreWith("[Files]\r\nItem1=doc\\x.txt\r\n"); // no InstallDir: left alone
    EXPECT_TRUE(f.tmp.exists("Sample/" + Ini));
    EXPECT_TRUE(f.tmp.exists("Sample/x.txt"));

    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::string garbage = "[Install]\r\nInstallDir=x\r\n[Files]\r\n";
        for (int i = 0; i < 4000; ++i)
            garbage += char(rng() % 256);
        restoreWith(garbage);
        EXPECT_EQ(outside(), outsideBefore);
        EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
    }
}

TEST_F(HostileControlFileTest, HugeValueAndDuplicateKeys) {
    restoreWith("[Install]\r\nInstallDir=x\r\n[Files]\r\nItem1=doc\\" + std::string(100000, 'a') +
                "\r\nItem2=doc\\x.txt\r\nitem2=..\\outside.txt\r\nITEM2=doc\\x.txt\r\n");
    EXPECT_EQ(outside(), outsideBefore);
    EXPECT_EQ(f.tmp.read("Sample/doc/x.txt"), "x") << "the first of duplicate keys counts";
}

TEST_F(HostileControlFileTest, FiftyThousandKeys) {
    std::string files = "[Install]\r\nInstallDir=x\r\n[Files]\r\n";
    for (int i = 1; i <= 50000; ++i)
        files += "Item" + std::to_string(i) + "=doc\\n" + std::to_string(i) + ".txt\r\n";
    files += "Item50001=doc\\x.txt\r\n";
    restoreWith(files);
    EXPECT_EQ(f.tmp.read("Sample/doc/x.txt"), "x");
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
}

} // namespace
