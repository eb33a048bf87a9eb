#include "platform/posix/PosixSystem.h"
#include "platform/PathRules.h"
#include "platform/System.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using testing_support::Installer;
using testing_support::TestFolder;
namespace fs = std::filesystem;

namespace {

System& sys() {
    return realSystem();
}

// "ソフト" and "表" in code page 932; both "ソ" and "表" end in 0x5C.
const std::string SoftCp = "\x83\x5C\x83\x74\x83\x67";
const std::string HyoCp = "\x95\x5C";

void setMtime(const fs::path& p, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

time_t localTime(int year, int month, int day) {
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return mktime(&t);
}

mode_t modeOf(const fs::path& p) {
    struct stat st;
    EXPECT_EQ(lstat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
}

std::map<std::string, DirEntry> listing(const std::string& folder) {
    std::map<std::string, DirEntry> out;
    bool ok = sys().enumerate(folder, [&](const DirEntry& e) {
        EXPECT_EQ(out.count(e.name), 0u) << e.name;
        out[e.name] = e;
    });
    EXPECT_TRUE(ok);
    return out;
}

// Files and links directly in a folder, by native name.
std::set<std::string> nativeNames(const fs::path& folder) {
    std::set<std::string> out;
    for (auto& e : fs::directory_iterator(folder))
        out.insert(e.path().filename().string());
    return out;
}

// Limits the size of files this process may write, so that writes fail part
// way (root ignores permissions, not this limit).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = old_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    struct rlimit old_;
    sighandler_t oldHandler_;
};

} // namespace

// ---------------------------------------------------------------------------

TEST(PosixPathMapping, NativeToLogicAndBack) {
    EXPECT_EQ(sys().fromNativePath("/home/a/b.exe"),
              std::optional<std::string>("\\home\\a\\b.exe"));
    EXPECT_EQ(sys().fromNativePath("/"), std::optional<std::string>("\\"));
    EXPECT_EQ(sys().fromNativePath("//home///a//"), std::optional<std::string>("\\home\\a\\"));
    EXPECT_EQ(sys().fromNativePath("/home/./a/."), std::optional<std::string>("\\home\\a\\"));
    EXPECT_EQ(sys().fromNativePath("/home/../a"), std::optional<std::string>("\\home\\..\\a"));

    const std::string logic = "\\a\\" + SoftCp + "\\" + HyoCp + ".exe";
    EXPECT_EQ(sys().fromNativePath("/a/ソフト/表.exe"), std::optional<std::string>(logic));
    EXPECT_EQ(sys().toNativePath(logic), "/a/ソフト/表.exe");
    EXPECT_EQ(sys().toNativePath("\\home\\a\\"), "/home/a/");
    EXPECT_EQ(sys().toNativePath("\\"), "/");
    // A lone "ソ" at the end: its 0x5C is not a separator.
    EXPECT_EQ(sys().toNativePath("\\x\\\x83\x5C"), "/x/ソ");
}

TEST(PosixPathMapping, RelativePathsBecomeAbsolute) {
    TestFolder folder;
    char old[PATH_MAX];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    auto relative = sys().fromNativePath("sub//ソ.txt");
    auto dot = sys().fromNativePath(".");
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(relative, std::optional<std::string>(folder.logic() + "sub\\\x83\x5C.txt"));
    EXPECT_EQ(dot, std::optional<std::string>(folder.logic()));
}

TEST(PosixPathMapping, UnfaithfulNativePathsAreRefused) {
    EXPECT_EQ(sys().fromNativePath(""), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("/a\\b"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("/a:b"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("/a\tb"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath(std::string_view("/a\0b", 4)), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("/bad\xFF"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("/한"), std::nullopt);
    // "¥" must not turn into a separator.
    EXPECT_EQ(sys().fromNativePath("/a¥b"), std::nullopt);
}

TEST(PosixPathMapping, InvalidLogicBytesMapForDisplayOnly) {
    EXPECT_EQ(sys().toNativePath("\\a\\\xFF"), "/a/〓");
    // The file operations refuse such a path rather than act on "〓".
    TestFolder folder;
    folder.write("〓", "x");
    EXPECT_EQ(sys().readFile(folder.logic() + "\xFF"), std::nullopt);
    EXPECT_FALSE(sys().removeFile(folder.logic() + "\xFF"));
    EXPECT_TRUE(folder.exists("〓"));
}

TEST(PosixPathMapping, OwnExecutable) {
    std::string self = sys().ownExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.front(), '\\');
    EXPECT_EQ(pathrules::fileNamePart(self), "kw_core_tests");
    EXPECT_TRUE(fs::is_regular_file(sys().toNativePath(self)));
}

// ---------------------------------------------------------------------------

TEST(PosixAttributes, MappingOfModesAndKinds) {
    TestFolder folder;
    folder.write("plain.txt");
    folder.write("locked.txt");
    fs::permissions(folder.native("locked.txt"), fs::perms::owner_read | fs::perms::group_read);
    folder.write("ownerwrite.txt");
    fs::permissions(folder.native("ownerwrite.txt"), fs::perms::owner_write);
    folder.write("otherswrite.txt");
    fs::permissions(folder.native("otherswrite.txt"), fs::perms::others_write);
    folder.write(".hidden");
    folder.mkdir("dir");
    folder.mkdir("lockeddir");
    fs::permissions(folder.native("lockeddir"), fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_EQ(mkfifo(folder.native("fifo").c_str(), 0644), 0);
    fs::create_directory_symlink(folder.native("dir"), folder.native("dirlink"));
    fs::create_symlink(folder.native("locked.txt"), folder.native("filelink"));
    fs::create_symlink(folder.native("nowhere"), folder.native("dangling"));

    auto attrs = [&](const std::string& name) { return sys().attributes(folder.logic(name)); };
    EXPECT_EQ(attrs("plain.txt"), AttrArchive);
    EXPECT_EQ(attrs("locked.txt"), AttrArchive | AttrReadOnly);
    EXPECT_EQ(attrs("ownerwrite.txt"), AttrArchive);
    EXPECT_EQ(attrs("otherswrite.txt"), AttrArchive); // any write bit counts
    EXPECT_EQ(attrs(".hidden"), AttrArchive | AttrHidden);
    EXPECT_EQ(attrs("dir"), AttrDirectory);
    EXPECT_EQ(attrs("lockeddir"), AttrDirectory | AttrReadOnly);
    EXPECT_EQ(attrs("fifo"), AttrSystem);
    EXPECT_EQ(attrs("dirlink"), AttrDirectory | AttrReparsePoint);
    EXPECT_EQ(attrs("filelink"), AttrArchive | AttrReadOnly | AttrReparsePoint);
    EXPECT_EQ(attrs("dangling"), AttrArchive | AttrReparsePoint);
    EXPECT_EQ(attrs("missing"), InvalidAttributes);
    // A folder named with or without its trailing backslash.
    EXPECT_EQ(sys().attributes(folder.logic()), AttrDirectory);
    EXPECT_EQ(sys().attributes(folder.logic("lockeddir") + "\\"), AttrDirectory | AttrReadOnly);
    EXPECT_EQ(sys().attributes(""), InvalidAttributes);
}

TEST(PosixEnumerate, ReportsEveryEntryWithItsAttributes) {
    TestFolder folder;
    folder.write("a.txt");
    folder.write("ソフト.txt");
    folder.write("表");
    folder.write(".hidden");
    folder.write("ro.txt");
    fs::permissions(folder.native("ro.txt"), fs::perms::owner_read);
    folder.mkdir("doc");
    folder.write("doc/inner.txt");
    ASSERT_EQ(mkfifo(folder.native("fifo").c_str(), 0644), 0);
    fs::create_directory_symlink(folder.native("doc"), folder.native("doclink"));
    fs::create_symlink(folder.native("nowhere"), folder.native("dangling"));

    for (const std::string& name :
         {folder.logic(), folder.logic().substr(0, folder.logic().size() - 1)}) {
        auto entries = listing(name);
        ASSERT_EQ(entries.size(), 9u) << name;
        EXPECT_EQ(entries.count("."), 0u);
        EXPECT_EQ(entries.count(".."), 0u);
        EXPECT_EQ(entries.count("inner.txt"), 0u); // one level only
        EXPECT_EQ(entries["a.txt"].attributes, AttrArchive);
        EXPECT_EQ(entries[SoftCp + ".txt"].attributes, AttrArchive);
        EXPECT_EQ(entries[HyoCp].attributes, AttrArchive);
        EXPECT_EQ(entries[".hidden"].attributes, AttrArchive | AttrHidden);
        EXPECT_EQ(entries["ro.txt"].attributes, AttrArchive | AttrReadOnly);
        EXPECT_EQ(entries["doc"].attributes, AttrDirectory);
        EXPECT_EQ(entries["fifo"].attributes, AttrSystem);
        EXPECT_EQ(entries["doclink"].attributes, AttrDirectory | AttrReparsePoint);
        EXPECT_EQ(entries["dangling"].attributes, AttrArchive | AttrReparsePoint);
        for (auto& [n, e] : entries)
            EXPECT_TRUE(e.faithful) << n;
    }
}

TEST(PosixEnumerate, UnfaithfulNamesAreMarked) {
    TestFolder folder;
    folder.write("ok.txt");
    // Names Linux allows but the logic's Windows form cannot carry.
    for (const char* name : {"a\\b", "c:d", "bad\xFF", "smile\xF0\x9F\x98\x80", "tab\there"}) {
        int fd = open((folder.path() / name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    std::map<std::string, DirEntry> entries = listing(folder.logic());
    ASSERT_EQ(entries.size(), 6u);
    const std::string geta = "\x81\xAC";
    const std::map<std::string, bool> expected = {
        {"ok.txt", true},
        {"a\x81\x5F"
         "b",
         false}, // "＼"
        {"c\x81\x46"
         "d",
         false}, // "："
        {"bad" + geta, false},
        {"smile" + geta, false},
        {"tab" + geta + "here", false},
    };
    for (auto& [name, faithful] : expected) {
        ASSERT_EQ(entries.count(name), 1u) << name;
        EXPECT_EQ(entries[name].faithful, faithful) << name;
        EXPECT_EQ(entries[name].attributes, AttrArchive) << name;
    }
}

TEST(PosixEnumerate, WithoutReadOnlyGivesKindsFromTheListing) {
    TestFolder folder;
    folder.write("a.txt");
    folder.write(".hidden");
    folder.write("ro.txt");
    fs::permissions(folder.native("ro.txt"), fs::perms::owner_read);
    folder.write("ソフト.txt");
    folder.mkdir("doc");
    folder.mkdir(".config");
    folder.write("doc/inner.txt");
    ASSERT_EQ(mkfifo(folder.native("fifo").c_str(), 0644), 0);
    fs::create_directory_symlink(folder.native("doc"), folder.native("doclink"));
    fs::create_symlink(folder.native("ro.txt"), folder.native("filelink"));
    fs::create_symlink(folder.native("nowhere"), folder.native("dangling"));

    std::vector<std::string> order;
    std::map<std::string, DirEntry> cheap;
    ASSERT_TRUE(sys().enumerateWithoutReadOnly(folder.logic(), [&](const DirEntry& e) {
        order.push_back(e.name);
        cheap[e.name] = e;
    }));
    std::vector<std::string> fullOrder;
    std::map<std::string, DirEntry> full;
    ASSERT_TRUE(sys().enumerate(folder.logic(), [&](const DirEntry& e) {
        fullOrder.push_back(e.name);
        full[e.name] = e;
    }));
    EXPECT_EQ(order, fullOrder) << "the same entries in the same order";
    ASSERT_EQ(cheap.size(), 10u);

    const std::uint32_t noReadOnly = ~std::uint32_t{AttrReadOnly};
    EXPECT_EQ(cheap["a.txt"].attributes & noReadOnly, AttrArchive);
    EXPECT_EQ(cheap["ro.txt"].attributes & noReadOnly, AttrArchive);
    EXPECT_EQ(cheap[".hidden"].attributes & noReadOnly, AttrArchive | AttrHidden);
    EXPECT_EQ(cheap[SoftCp + ".txt"].attributes & noReadOnly, AttrArchive);
    EXPECT_TRUE(cheap[SoftCp + ".txt"].faithful);
    EXPECT_EQ(cheap["doc"].attributes & noReadOnly, AttrDirectory);
    EXPECT_EQ(cheap[".config"].attributes & noReadOnly, AttrDirectory | AttrHidden);
    EXPECT_EQ(cheap["fifo"].attributes & noReadOnly, AttrSystem);
    // A link is examined: a link to a folder must never pass for a folder to
    // walk into, nor for a file.
    EXPECT_EQ(cheap["doclink"].attributes & noReadOnly, AttrDirectory | AttrReparsePoint);
    EXPECT_EQ(cheap["filelink"].attributes & noReadOnly, AttrArchive | AttrReparsePoint);
    EXPECT_EQ(cheap["dangling"].attributes & noReadOnly, AttrArchive | AttrReparsePoint);
    for (auto& [name, e] : cheap)
        EXPECT_EQ(e.attributes & noReadOnly, full[name].attributes & noReadOnly) << name;

    // Where the listing gives the kinds (as most Linux file systems do), no
    // mode is read: that is the whole point, and the read-only bit stays clear.
    bool kindsListed = true;
    if (DIR* d = opendir(folder.path().c_str())) {
        while (const dirent* e = readdir(d))
            kindsListed = kindsListed && e->d_type != DT_UNKNOWN;
        closedir(d);
    }
    if (kindsListed) {
        EXPECT_EQ(cheap["ro.txt"].attributes, AttrArchive);
    }

    int calls = 0;
    EXPECT_FALSE(
        sys().enumerateWithoutReadOnly(folder.logic("missing"), [&](const DirEntry&) { ++calls; }));
    EXPECT_FALSE(
        sys().enumerateWithoutReadOnly(folder.logic("a.txt"), [&](const DirEntry&) { ++calls; }));
    EXPECT_EQ(calls, 0);
}

TEST(PosixEnumerate, MissingFolderReportsNothing) {
    TestFolder folder;
    folder.write("file.txt");
    int calls = 0;
    EXPECT_FALSE(sys().enumerate(folder.logic("missing"), [&](const DirEntry&) { ++calls; }));
    EXPECT_FALSE(sys().enumerate(folder.logic("file.txt"), [&](const DirEntry&) { ++calls; }));
    EXPECT_FALSE(sys().enumerate("", [&](const DirEntry&) { ++calls; }));
    EXPECT_EQ(calls, 0);
}

// ---------------------------------------------------------------------------

TEST(PosixFindFirst, WildcardsMatchLikeADirectorySearch) {
    TestFolder folder;
    folder.write("readme.txt");
    folder.write("noext");
    folder.write("ソ.dat");
    folder.write("ab.dat");
    const std::string f = folder.logic();

    auto found = [&](const std::string& pattern) -> std::string {
        auto r = sys().findFirst(f + pattern);
        return r ? r->name : "<none>";
    };
    EXPECT_EQ(found("read*.txt"), "readme.txt");
    EXPECT_EQ(found("*.TXT"), "<none>"); // case-sensitive here
    EXPECT_EQ(found("no*.*"), "noext");  // ".*" also matches no extension
    EXPECT_EQ(found("noext.*"), "noext");
    EXPECT_EQ(found("no?xt"), "noext");
    EXPECT_EQ(found("?.dat"), "\x83\x5C.dat"); // "?" takes a whole double-byte character
    EXPECT_EQ(found("??.dat"), "ab.dat");
    EXPECT_EQ(found("*e*e*"), "readme.txt");
    EXPECT_EQ(found("x*"), "<none>");
    EXPECT_EQ(sys().findFirst(folder.logic("missing") + "\\*.*"), std::nullopt);

    // As on Windows, the folder's own "." comes first: a folder, no file.
    for (const char* pattern : {"*.*", "*", "?"}) {
        auto r = sys().findFirst(f + pattern);
        ASSERT_TRUE(r) << pattern;
        EXPECT_EQ(r->name, ".") << pattern;
        EXPECT_TRUE(r->attributes & platform::AttrDirectory) << pattern;
        EXPECT_FALSE(platform::fileExists(sys(), f + pattern)) << pattern;
    }
}

TEST(PosixFindFirst, OnePathFollowsLinksAndReportsDosTime) {
    TestFolder folder;
    folder.write("new.txt");
    folder.write("old.txt");
    setMtime(folder.native("old.txt"), 0);
    folder.write("y1980.txt");
    setMtime(folder.native("y1980.txt"), localTime(1980, 1, 2));
    folder.write("y2107.txt");
    setMtime(folder.native("y2107.txt"), localTime(2107, 12, 30));
    folder.write("y2108.txt");
    setMtime(folder.native("y2108.txt"), localTime(2108, 1, 2));
    folder.mkdir("dir");
    fs::create_symlink(folder.native("old.txt"), folder.native("link"));
    fs::create_symlink(folder.native("nowhere"), folder.native("dangling"));

    auto r = sys().findFirst(folder.logic("new.txt"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, "new.txt");
    EXPECT_EQ(r->attributes, AttrArchive);
    EXPECT_TRUE(r->dosTime);

    EXPECT_FALSE(sys().findFirst(folder.logic("old.txt"))->dosTime);
    EXPECT_TRUE(sys().findFirst(folder.logic("y1980.txt"))->dosTime);
    EXPECT_TRUE(sys().findFirst(folder.logic("y2107.txt"))->dosTime);
    EXPECT_FALSE(sys().findFirst(folder.logic("y2108.txt"))->dosTime);

    auto link = sys().findFirst(folder.logic("link"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->attributes, AttrArchive | AttrReparsePoint);
    EXPECT_FALSE(link->dosTime); // the target's time
    // A link to nothing is there, as the listing says, named or matched.
    EXPECT_EQ(sys().findFirst(folder.logic("dangling"))->attributes,
              AttrArchive | AttrReparsePoint);
    EXPECT_EQ(sys().findFirst(folder.logic("dang*")).value_or(FoundFile{}).attributes,
              AttrArchive | AttrReparsePoint);

    EXPECT_EQ(sys().findFirst(folder.logic("dir"))->attributes, AttrDirectory);
    EXPECT_EQ(sys().findFirst(folder.logic("dir") + "\\"), std::nullopt);
    EXPECT_EQ(sys().findFirst(folder.logic("missing")), std::nullopt);
    EXPECT_EQ(sys().findFirst(""), std::nullopt);
}

TEST(PosixFileExists, FilesOnlyAndOnlyWithADosTime) {
    TestFolder folder;
    folder.write("Inst.ini");
    folder.write("old.exe");
    setMtime(folder.native("old.exe"), 0);
    folder.mkdir("folder.exe");
    folder.write("ソフト.exe");

    EXPECT_TRUE(fileExists(sys(), folder.logic("Inst.ini")));
    EXPECT_TRUE(fileExists(sys(), folder.logic("ソフト.exe")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("old.exe")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("folder.exe")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("missing.exe")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("Inst.ini") + "\\"));
    EXPECT_TRUE(fileExists(sys(), folder.logic("*.ini")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("*.txt")));
}

// ---------------------------------------------------------------------------

TEST(PosixCopyMove, CopyKeepsContentsModeAndTime) {
    TestFolder folder;
    folder.write("src.bin", std::string("data\0more", 9));
    fs::permissions(folder.native("src.bin"), fs::perms::owner_read | fs::perms::group_read);
    setMtime(folder.native("src.bin"), localTime(2001, 2, 3));

    ASSERT_TRUE(sys().copyNoReplace(folder.logic("src.bin"), folder.logic("ソ.bin")));
    EXPECT_EQ(folder.read("ソ.bin"), std::string("data\0more", 9));
    EXPECT_EQ(folder.read("src.bin"), std::string("data\0more", 9));
    EXPECT_EQ(modeOf(folder.native("ソ.bin")), 0440u);
    struct stat st;
    ASSERT_EQ(stat(folder.native("ソ.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, localTime(2001, 2, 3));
}

TEST(PosixCopyMove, CopyNeverReplaces) {
    TestFolder folder;
    folder.write("src.txt", "new");
    folder.write("dst.txt", "old");
    folder.mkdir("dir");
    ASSERT_EQ(mkfifo(folder.native("fifo").c_str(), 0644), 0);

    EXPECT_FALSE(sys().copyNoReplace(folder.logic("src.txt"), folder.logic("dst.txt")));
    EXPECT_EQ(folder.read("dst.txt"), "old");
    EXPECT_FALSE(sys().copyNoReplace(folder.logic("missing"), folder.logic("out.txt")));
    EXPECT_FALSE(folder.exists("out.txt"));
    EXPECT_FALSE(sys().copyNoReplace(folder.logic("dir"), folder.logic("out.txt")));
    EXPECT_FALSE(folder.exists("out.txt"));
    // A FIFO is refused, not waited on.
    EXPECT_FALSE(sys().copyNoReplace(folder.logic("fifo"), folder.logic("out.txt")));
    EXPECT_FALSE(folder.exists("out.txt"));
    EXPECT_FALSE(sys().copyNoReplace(folder.logic("src.txt"), folder.logic("nodir") + "\\x.txt"));
}

TEST(PosixCopyMove, FailedCopyRemovesThePartialTarget) {
    TestFolder folder;
    folder.write("big.bin", std::string(100000, 'x'));
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(sys().copyNoReplace(folder.logic("big.bin"), folder.logic("copy.bin")));
    }
    EXPECT_FALSE(folder.exists("copy.bin"));
    EXPECT_EQ(folder.read("big.bin").size(), 100000u);
}

TEST(PosixCopyMove, MoveNeverReplaces) {
    TestFolder folder;
    folder.write("doc/readme.txt", "inner");
    folder.write("ReadMe.txt", "top");
    folder.write("doc/other.txt", "other");

    EXPECT_TRUE(sys().moveNoReplace(folder.logic("doc/readme.txt"), folder.logic("readme.txt")));
    EXPECT_FALSE(folder.exists("doc/readme.txt"));
    EXPECT_EQ(folder.read("readme.txt"), "inner");

    folder.write("doc/ReadMe.txt", "second");
    EXPECT_FALSE(sys().moveNoReplace(folder.logic("doc/ReadMe.txt"), folder.logic("ReadMe.txt")));
    EXPECT_EQ(folder.read("ReadMe.txt"), "top");
    EXPECT_EQ(folder.read("doc/ReadMe.txt"), "second");
    EXPECT_FALSE(sys().moveNoReplace(folder.logic("missing"), folder.logic("x.txt")));
    EXPECT_FALSE(folder.exists("x.txt"));
}

TEST(PosixCopyMove, MoveAcrossDevicesCopiesAndDeletes) {
    TestFolder folder;
    struct stat here, shm;
    if (stat("/dev/shm", &shm) != 0 || stat(folder.path().c_str(), &here) != 0 ||
        here.st_dev == shm.st_dev || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system at /dev/shm";
    fs::path other = "/dev/shm/kw-move-test-" + std::to_string(getpid());
    fs::create_directory(other);
    struct Cleanup {
        fs::path path;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } cleanup{other};
    auto otherLogic = [&](const std::string& name) {
        return *sys().fromNativePath((other / name).string());
    };
    folder.write("a.txt", "moved");
    folder.write("b.txt", "kept");
    { std::ofstream(other / "b.txt") << "there"; }
    EXPECT_TRUE(sys().moveNoReplace(folder.logic("a.txt"), otherLogic("a.txt")));
    EXPECT_FALSE(folder.exists("a.txt"));
    EXPECT_FALSE(sys().moveNoReplace(folder.logic("b.txt"), otherLogic("b.txt")));
    EXPECT_EQ(folder.read("b.txt"), "kept");
    std::string movedText, thereText;
    std::getline(std::ifstream(other / "a.txt"), movedText);
    std::getline(std::ifstream(other / "b.txt"), thereText);
    EXPECT_EQ(movedText, "moved");
    EXPECT_EQ(thereText, "there");
}

TEST(PosixCopyMove, RemoveFileLeavesFolders) {
    TestFolder folder;
    folder.write("a.txt");
    folder.mkdir("dir");
    EXPECT_TRUE(sys().removeFile(folder.logic("a.txt")));
    EXPECT_FALSE(folder.exists("a.txt"));
    EXPECT_FALSE(sys().removeFile(folder.logic("a.txt")));
    EXPECT_FALSE(sys().removeFile(folder.logic("dir")));
    EXPECT_TRUE(folder.exists("dir"));
}

// ---------------------------------------------------------------------------

TEST(PosixFileContents, ReadWholeFiles) {
    TestFolder folder;
    std::string contents(70000, 'a');
    contents[5] = '\0';
    folder.write("data.bin", contents);
    folder.write("empty.txt");
    folder.mkdir("dir");
    ASSERT_EQ(mkfifo(folder.native("fifo").c_str(), 0644), 0);

    EXPECT_EQ(sys().readFile(folder.logic("data.bin")), std::optional<std::string>(contents));
    EXPECT_EQ(sys().readFile(folder.logic("empty.txt")), std::optional<std::string>(""));
    EXPECT_EQ(sys().readFile(folder.logic("missing")), std::nullopt);
    EXPECT_EQ(sys().readFile(folder.logic("dir")), std::nullopt);
    EXPECT_EQ(sys().readFile(folder.logic("fifo")), std::nullopt);
}

TEST(PosixFileContents, AtomicWriteReplacesAndLeavesNoTemporary) {
    TestFolder folder;
    folder.mkdir("p");
    const std::string ini = folder.logic("p/Inst.ini");
    ASSERT_TRUE(sys().writeFileAtomic(ini, "[Install]\r\n"));
    EXPECT_EQ(folder.read("p/Inst.ini"), "[Install]\r\n");
    fs::permissions(folder.native("p/Inst.ini"), fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(sys().writeFileAtomic(ini, "second"));
    EXPECT_EQ(folder.read("p/Inst.ini"), "second");
    EXPECT_EQ(modeOf(folder.native("p/Inst.ini")), 0600u); // the old file's mode stays
    EXPECT_EQ(nativeNames(folder.native("p")), std::set<std::string>{"Inst.ini"});

    ASSERT_TRUE(sys().writeFileAtomic(ini, ""));
    EXPECT_EQ(folder.read("p/Inst.ini"), "");
}

TEST(PosixFileContents, AtomicWriteOfPiecesWritesThemInOrder) {
    TestFolder folder;
    const std::string big(200000, 'x');
    ASSERT_TRUE(sys().writeAtomic(folder.logic("Inst.ini"), {"[a]\r\n", "", big, "z"}));
    EXPECT_EQ(folder.read("Inst.ini"), "[a]\r\n" + big + "z");
    ASSERT_TRUE(sys().writeAtomic(folder.logic("Inst.ini"), {}));
    EXPECT_EQ(folder.read("Inst.ini"), "");
}

TEST(PosixFileContents, AtomicWriteRefusalsLeaveTheOldFile) {
    TestFolder folder;
    folder.write("ro.ini", "old");
    fs::permissions(folder.native("ro.ini"), fs::perms::owner_read);
    folder.mkdir("dir.ini");

    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("ro.ini"), "new"));
    EXPECT_EQ(folder.read("ro.ini"), "old");
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("dir.ini"), "new"));
    EXPECT_TRUE(fs::is_directory(folder.native("dir.ini")));
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("nodir") + "\\x.ini", "new"));
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic(), "new"));
    EXPECT_EQ(nativeNames(folder.path()), (std::set<std::string>{"dir.ini", "ro.ini"}));
}

TEST(PosixFileContents, FailedAtomicWriteRemovesTheTemporary) {
    TestFolder folder;
    folder.write("Inst.ini", "old");
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(sys().writeFileAtomic(folder.logic("Inst.ini"), std::string(100000, 'x')));
    }
    EXPECT_EQ(folder.read("Inst.ini"), "old");
    EXPECT_EQ(nativeNames(folder.path()), std::set<std::string>{"Inst.ini"});
}

TEST(PosixFileContents, AtomicWriteThroughASymbolicLink) {
    TestFolder folder;
    folder.write("real/Inst.ini", "old");
    fs::create_symlink(folder.native("real/Inst.ini"), folder.native("Inst.ini"));
    ASSERT_TRUE(sys().writeFileAtomic(folder.logic("Inst.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(folder.native("Inst.ini")));
    EXPECT_EQ(folder.read("real/Inst.ini"), "new");
}

// The id of a process that has ended.
pid_t endedProcessId() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(PosixFileContents, TemporariesOfKilledWritersAreRemoved) {
    TestFolder folder;
    folder.write("p/Inst.ini", "ini");
    const std::string ended = std::to_string(endedProcessId());
    const std::string own = std::to_string(getpid());
    const std::set<std::string> kept{
        "Inst.ini",
        "~Inst.ini.kwarino-1-0.tmp",           // its writer (init) still runs
        "~Inst.ini.notes.tmp",                 // only looks like one
        "~Inst.ini.kwarino-" + ended + ".tmp", // no counter: not one of ours
        "~Inst.ini.kwarino-" + own + "-9.tmp", // a folder
        "~Inst.ini." + ended + "-0.tmp",       // no mark: a user's own, as these
        "~log.2024-06.tmp",
        "~other.txt.kwarino-" + ended + "-0.tmp", // of a file not placed here
    };
    for (const std::string& name : kept)
        if (name != "~Inst.ini.kwarino-" + own + "-9.tmp" && name != "Inst.ini")
            folder.write("p/" + name, "kept");
    folder.mkdir("p/~Inst.ini.kwarino-" + own + "-9.tmp");
    folder.write("p/~Inst.ini.kwarino-" + ended + "-0.tmp", "left by a killed writer");
    folder.write("p/~data.bin.kwarino-" + ended + "-4.tmp", "left by a killed move");
    folder.write("p/~Inst.ini.kwarino-" + own + "-3.tmp", "left by this process");

    sys().removeStaleTemporaries(folder.logic("p"), {"inst.ini", "data.bin"});
    EXPECT_EQ(nativeNames(folder.native("p")), kept);
}

// ---------------------------------------------------------------------------

TEST(PosixShellOpen, StartsTheOpenerDetachedWithoutAZombie) {
    TestFolder folder;
    folder.write("bin/xdg-open",
                 "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                 "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
    fs::permissions(folder.native("bin/xdg-open"), fs::perms::owner_all);
    folder.write("ソフト/ReadMe.txt", "read me");

    const char* oldPath = getenv("PATH");
    std::string savedPath = oldPath ? oldPath : "";
    setenv("PATH", (folder.native("bin").string() + ":" + savedPath).c_str(), 1);
    sys().shellOpen(folder.logic("ソフト/ReadMe.txt"));
    setenv("PATH", savedPath.c_str(), 1);

    // The opener runs on its own; wait (generously) until it has written.
    for (int i = 0; i < 600 && !folder.exists("bin/opened"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(folder.exists("bin/opened"));
    EXPECT_EQ(folder.read("bin/opened"), folder.native("ソフト/ReadMe.txt").string());
    // No child of ours is left to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// ---------------------------------------------------------------------------

TEST(PosixProcesses, AProgramIsFoundByTheFileItsProcessesMapUnderAnySpelling) {
    TestFolder folder;
    folder.write("soft/" + Installer, "MZ");
    folder.write("other/" + Installer, "MZ"); // the same name, another file
    folder.write("running");
    fs::create_directory_symlink(folder.native("soft"), folder.native("link"));
    // Wine keeps the spelling the program was started by.
    std::string capitals = Installer;
    std::transform(capitals.begin(), capitals.end(), capitals.begin(), ::toupper);
    fs::create_symlink(Installer, folder.native("soft/" + capitals));
    // A copy Wine runs with arguments only: its command line names no file.
    folder.mkdir("wine");
    fs::copy_file(KW_MAPS_FILE, folder.native("wine/wine-preloader"));
    const std::string file = folder.native("soft/" + capitals), until = folder.native("running");
    char* argv[] = {const_cast<char*>(KW_MAPS_FILE), const_cast<char*>(file.c_str()),
                    const_cast<char*>(until.c_str()), nullptr};
    std::string wineEnv[] = {"KW_MAPS=" + file, "KW_UNTIL=" + until};
    char* wineArgv[] = {const_cast<char*>("/S"), nullptr};
    char* wineEnvp[] = {wineEnv[0].data(), wineEnv[1].data(), nullptr};
    pid_t child = 0, wine = 0;
    ASSERT_EQ(posix_spawn(&child, KW_MAPS_FILE, nullptr, nullptr, argv, nullptr), 0);
    ASSERT_EQ(posix_spawn(&wine, folder.native("wine/wine-preloader").c_str(), nullptr, nullptr,
                          wineArgv, wineEnvp),
              0);
    fs::remove(folder.native("wine/wine-preloader")); // Wine updated while it runs

    const std::string program = folder.logic("link/" + Installer);
    std::vector<Process> found;
    for (int i = 0; i < 500 && found.size() < 2; ++i, usleep(10000))
        found = sys().processesRunning(program);
    EXPECT_EQ(std::set<Process>(found.begin(), found.end()),
              (std::set<Process>{static_cast<Process>(child), static_cast<Process>(wine)}));
    EXPECT_TRUE(sys().processesRunning(folder.logic("other/" + Installer)).empty());
    EXPECT_FALSE(sys().processEnded(static_cast<Process>(child)));
    // The file's line lies past what one read of 4 KiB gives.
    std::ostringstream text;
    text << std::ifstream("/proc/" + std::to_string(child) + "/maps").rdbuf();
    EXPECT_GT(text.str().find("/soft/" + Installer), 4096u);

    fs::remove(until);
    waitpid(child, nullptr, 0);
    waitpid(wine, nullptr, 0);
    EXPECT_TRUE(sys().processEnded(static_cast<Process>(child)));
    EXPECT_TRUE(sys().processesRunning(program).empty());
}

TEST(PosixProcesses, MapsLinesShowTheFileByItsIdentityOrByAPathOfItsNameLeadingToIt) {
    struct stat program = {};
    program.st_dev = makedev(0x103, 0x0a);
    program.st_ino = 1234;
    // Only a path below /merged (an overlay's view) leads to the program.
    const posix::StatOf statOf = [&](const std::string& path, struct stat& st) {
        st = program;
        st.st_ino += path.rfind("/merged/", 0) == 0 ? 0 : 1;
        return true;
    };
    std::string capitals = Installer, folded = Installer;
    std::transform(capitals.begin(), capitals.end(), capitals.begin(), ::toupper);
    std::transform(folded.begin(), folded.end(), folded.begin(), ::tolower);
    const std::pair<std::string, bool> rows[] = {
        {"103:0a 1234      /home/a b/" + Installer, true},
        {"fd:01 1234 /home/u/" + Installer, false}, // another device's inode
        {"00:2a 77 /merged/x y/" + capitals, true},
        {"00:2a 77 /merged/x/libc.so.6", false},
        {"00:2a 77 /merged/x/" + Installer + " (deleted)",
         false}, // the path names another file now
    };
    for (const auto& [line, shows] : rows) {
        const std::string text = "7f3a1c000000-7f3a1c001000 r--p 00000000 " + line;
        auto parsed = posix::parseMapsLine(text); // its path is a view into the text
        ASSERT_TRUE(parsed) << line;
        EXPECT_EQ(posix::showsFile(*parsed, program, folded, statOf), shows) << line;
    }
}

TEST(PosixHold, WhereTheFolderCannotBeLockedALockFileNamedFromItKeepsCopiesApart) {
    TestFolder folder;
    // A held folder is followed where the folder above takes it, until deleted.
    folder.mkdir("a/soft");
    const std::optional<FolderHold> held = sys().holdFolder(folder.logic("a/soft"));
    ASSERT_TRUE(held && *held);
    fs::rename(folder.native("a"), folder.native("b"));
    EXPECT_EQ((*held)->where(), folder.logic("b/soft") + "\\");
    fs::remove(folder.native("b/soft"));
    EXPECT_EQ((*held)->where(), std::nullopt);
    struct stat soft;
    ASSERT_EQ(stat(folder.path().c_str(), &soft), 0);
    std::optional<posix::Lock> first = posix::holdByLockFile(soft);
    ASSERT_TRUE(first && *first);
    EXPECT_FALSE(posix::holdByLockFile(soft).has_value()) << "a second copy is refused";
    struct stat elsewhere = soft;
    ++elsewhere.st_dev;
    EXPECT_NE(posix::holdByLockFile(elsewhere).value_or(nullptr), nullptr) << "another device's";
    first.reset();
    EXPECT_NE(posix::holdByLockFile(soft).value_or(nullptr), nullptr) << "offered again";

    // Without a runtime folder the lock files lie in a folder of the user's
    // own, made private; one planted under its name is not used.
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const char* temporary = getenv("TMPDIR");
    const std::string savedRuntime = runtime ? runtime : "",
                      savedTemporary = temporary ? temporary : "";
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", folder.path().c_str(), 1);
    const fs::path own = folder.path() / ("kwarino-" + std::to_string(geteuid()));
    EXPECT_NE(posix::holdByLockFile(soft).value_or(nullptr), nullptr);
    struct stat made = {};
    EXPECT_TRUE(lstat(own.c_str(), &made) == 0 && S_ISDIR(made.st_mode) &&
                (made.st_mode & 07777) == 0700);
    // Such a runtime folder gives way to the user's own; such a one of its own is not used.
    const fs::path run = folder.path() / "run", fit = folder.path() / "fit";
    ASSERT_EQ(mkdir(fit.c_str(), 0700), 0);
    for (const fs::path& place : {run, own})
        for (const std::string flaw : {"", "a link", "open to others", "another user's"}) {
            fs::remove_all(place);
            flaw == "a link" ? symlink(fit.c_str(), place.c_str())
                             : mkdir(place.c_str(), flaw == "open to others" ? 0755 : 0700);
            EXPECT_TRUE(flaw != "another user's" || chown(place.c_str(), geteuid() + 1, 0) == 0);
            place == run ? setenv("XDG_RUNTIME_DIR", run.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
            const std::optional<posix::Lock> hold = posix::holdByLockFile(soft);
            EXPECT_TRUE(hold && (*hold != nullptr) == (flaw.empty() || place == run)) << flaw;
            EXPECT_EQ(fs::is_empty(place), !flaw.empty()) << place << " " << flaw;
        }
    runtime ? setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
    temporary ? setenv("TMPDIR", savedTemporary.c_str(), 1) : unsetenv("TMPDIR");
}
