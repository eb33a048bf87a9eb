// The Windows platform layer: what only Windows shows. Case-insensitive names,
// attributes as real attribute bits, drive letters, long paths and the tool's
// own path from GetModuleFileName. Run under Wine by the cross build.
#include "platform/PathRules.h"
#include "platform/System.h"
#include "platform/SystemDll.h"
#include "prepare/ControlFile.h"
#include "prepare/Restore.h"
#include "prepare/Survey.h"
#include "prepare/Texts.h"
#include "support/IniText.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <vector>

using namespace platform;
using testing_support::FaultySystem;
using testing_support::Ini;
using testing_support::IniSection;
using testing_support::Installer;
using testing_support::ProgramFolderFixture;
using testing_support::TestFolder;
using Kind = prepare::RequestOutcome::Kind;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

System& sys() {
    return realSystem();
}

// "ソフト" and "表" in code page 932; both "ソ" and "表" end in 0x5C.
const std::string SoftCp = "\x83\x5C\x83\x74\x83\x67";
const std::string HyoCp = "\x95\x5C";
const std::string Geta = "\x81\xAC";

// The bits a test compares. Windows may add others (not content indexed...),
// and Wine reports the archive bit on every file whatever was set.
constexpr std::uint32_t Interesting =
    AttrReadOnly | AttrHidden | AttrSystem | AttrDirectory | AttrReparsePoint;

std::uint32_t bits(std::uint32_t attributes) {
    return attributes == InvalidAttributes ? attributes : attributes & Interesting;
}

void setAttributes(const fs::path& p, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(p.c_str(), attributes)) << GetLastError();
}

// Sets the last-write time to noon of a local date.
void setWriteTime(const fs::path& p, WORD year, WORD month, WORD day) {
    SYSTEMTIME local = {};
    local.wYear = year;
    local.wMonth = month;
    local.wDay = day;
    local.wHour = 12;
    FILETIME localFt;
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localFt));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localFt, &utc));
    HANDLE h = CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
    CloseHandle(h);
}

std::map<std::string, DirEntry> listing(const std::string& folder) {
    std::map<std::string, DirEntry> out;
    bool ok = sys().enumerate(folder, [&](const DirEntry& e) {
        EXPECT_EQ(out.count(e.name), 0u) << e.name;
        out[e.name] = e;
    });
    EXPECT_TRUE(ok) << folder;
    return out;
}

// Names in a folder as the system lists them (UTF-16, so nothing is lost).
std::set<std::wstring> nativeNames(const fs::path& folder) {
    std::set<std::wstring> out;
    for (auto& e : fs::directory_iterator(folder))
        out.insert(e.path().filename().wstring());
    return out;
}

// Runs "program <the folder's Unix path>" on the Unix side, as Wine can, then
// waits up to two seconds for Wine to show the folder as a mount point or not.
bool runUnix(const wchar_t* program, const fs::path& folder, bool mounted) {
    const auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    const char* name = unixName ? unixName(folder.c_str()) : nullptr;
    std::wstring line = program + (L" \"" + fs::path(name ? name : "").wstring() + L"\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!name || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process))
        return false;
    for (int wait = 0; wait < 200; ++wait, Sleep(10))
        if (((GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) == mounted)
            return true;
    return false;
}

// The extended-length form of a native path, for building trees deeper than
// MAX_PATH in the tests themselves.
std::wstring extended(const fs::path& p) {
    return L"\\\\?\\" + p.wstring();
}

} // namespace

// ---------------------------------------------------------------------------

TEST(Win32PathMapping, DrivePathsAreNormalisedLikeTheSystemDoes) {
    EXPECT_EQ(sys().fromNativePath("C:\\a\\b.exe"), std::optional<std::string>("C:\\a\\b.exe"));
    EXPECT_EQ(sys().fromNativePath("C:/a//b/../b.exe"), std::optional<std::string>("C:\\a\\b.exe"));
    EXPECT_EQ(sys().fromNativePath("C:\\a\\.\\b\\"), std::optional<std::string>("C:\\a\\b\\"));
    EXPECT_EQ(sys().fromNativePath("Z:\\"), std::optional<std::string>("Z:\\"));
    // Wildcards stay: the program-file field may hold one.
    EXPECT_EQ(sys().fromNativePath("C:\\a\\*.exe"), std::optional<std::string>("C:\\a\\*.exe"));

    const std::string logic = "C:\\" + SoftCp + "\\" + HyoCp + ".exe";
    EXPECT_EQ(sys().fromNativePath("C:\\ソフト\\表.exe"), std::optional<std::string>(logic));
    EXPECT_EQ(sys().toNativePath(logic), "C:\\ソフト\\表.exe");
    // A lone "ソ" at the end: its 0x5C is part of the character.
    EXPECT_EQ(sys().toNativePath("C:\\x\\\x83\x5C"), "C:\\x\\ソ");
    EXPECT_EQ(sys().toNativePath("C:\\a\\\xFF"), "C:\\a\\〓");
}

TEST(Win32PathMapping, RelativePathsUseTheCurrentFolder) {
    TestFolder folder;
    wchar_t old[MAX_PATH * 4];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH * 4, old), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    auto relative = sys().fromNativePath("sub/ソ.txt");
    auto dot = sys().fromNativePath(".");
    ASSERT_TRUE(SetCurrentDirectoryW(old));
    EXPECT_EQ(relative, std::optional<std::string>(folder.logic() + "sub\\\x83\x5C.txt"));
    EXPECT_EQ(dot, std::optional<std::string>(folder.logic().substr(0, folder.logic().size() - 1)));
}

TEST(Win32PathMapping, UnfaithfulNativePathsAreRefused) {
    EXPECT_EQ(sys().fromNativePath(""), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("C:\\한.exe"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("C:\\é"), std::nullopt);
    // "¥" must not become the backslash 0x5C (a best-fit conversion would).
    EXPECT_EQ(sys().fromNativePath("C:\\a¥b"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("C:\\bad\xFF"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath("C:\\a\tb"), std::nullopt);
    EXPECT_EQ(sys().fromNativePath(std::string_view("C:\\a\0b", 6)), std::nullopt);
    // A stream name: its colon would read as a separator.
    EXPECT_EQ(sys().fromNativePath("C:\\a\\b.txt:s"), std::nullopt);
}

TEST(Win32PathMapping, OwnExecutableFromGetModuleFileName) {
    const std::string self = sys().ownExecutablePath();
    ASSERT_GE(self.size(), 3u);
    EXPECT_EQ(self.substr(1, 2), ":\\") << self;
    EXPECT_TRUE(pathrules::equalsNoCase(pathrules::fileNamePart(self), "kw_core_tests.exe"))
        << self;
    const std::uint32_t attrs = sys().attributes(self);
    ASSERT_NE(attrs, InvalidAttributes);
    EXPECT_EQ(attrs & AttrDirectory, 0u);
    // The folder beside it, where the read-me file lies.
    EXPECT_EQ(bits(sys().attributes(std::string(pathrules::folderPart(self)))), AttrDirectory);
}

// ---------------------------------------------------------------------------

TEST(Win32Attributes, RealAttributeBits) {
    TestFolder folder;
    folder.write("plain.txt");
    folder.write("ro.txt");
    setAttributes(folder.native("ro.txt"), FILE_ATTRIBUTE_READONLY);
    folder.write("hidden.txt");
    setAttributes(folder.native("hidden.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    folder.write("system.txt");
    setAttributes(folder.native("system.txt"), FILE_ATTRIBUTE_SYSTEM);
    folder.write("rosys.txt");
    setAttributes(folder.native("rosys.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    folder.mkdir("dir");
    // Another file system mounted there, where the test may mount (as root
    // under Wine): a reparse point of tag 0, as a folder OneDrive keeps is one.
    folder.mkdir("mnt");
    const bool mounted = runUnix(L"/bin/mount -t tmpfs kw", folder.native("mnt"), true);

    const std::map<std::string, std::uint32_t> expected = {
        {"plain.txt", 0},
        {"ro.txt", AttrReadOnly},
        {"hidden.txt", AttrHidden},
        {"system.txt", AttrSystem},
        {"rosys.txt", AttrReadOnly | AttrSystem},
        {"dir", AttrDirectory},
        {"mnt", AttrDirectory},
    };
    auto entries = listing(folder.logic());
    ASSERT_EQ(entries.size(), expected.size());
    for (auto& [name, attrs] : expected) {
        EXPECT_EQ(bits(sys().attributes(folder.logic(name))), attrs) << name;
        EXPECT_EQ(bits(entries[name].attributes), attrs) << name;
        auto found = sys().findFirst(folder.logic(name));
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(bits(found->attributes), attrs) << name;
    }
    EXPECT_EQ(sys().attributes(folder.logic("missing")), InvalidAttributes);
    EXPECT_EQ(sys().attributes(""), InvalidAttributes);
    EXPECT_EQ(bits(sys().attributes(folder.logic("dir") + "\\")), AttrDirectory);
    if (mounted)
        runUnix(L"/bin/umount", folder.native("mnt"), false);
    else
        GTEST_SKIP() << "no file system mounted on a subfolder here (Wine, as root, only)";
}

TEST(Win32Attributes, ReadOnlyFolder) {
    TestFolder folder;
    folder.mkdir("locked");
    setAttributes(folder.native("locked"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    if (!(GetFileAttributesW(folder.native("locked").c_str()) & FILE_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "this system keeps no read-only attribute on folders (Wine ignores it)";
    EXPECT_EQ(bits(sys().attributes(folder.logic("locked"))), AttrDirectory | AttrReadOnly);
    EXPECT_EQ(bits(listing(folder.logic())["locked"].attributes), AttrDirectory | AttrReadOnly);
}

TEST(Win32Attributes, FolderLinksCarryTheReparseBit) {
    TestFolder folder;
    folder.write("target/inside.txt");
    const fs::path link = folder.native("link");
    CreateSymbolicLinkW(link.c_str(), folder.native("target").c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged create */);
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links here (Wine 8 only pretends to make them; Windows "
                        "needs the privilege or developer mode)";
    auto entries = listing(folder.logic());
    EXPECT_EQ(bits(entries["link"].attributes), AttrDirectory | AttrReparsePoint);
    // The survey passes over it and refuses relocation.
    prepare::SurveyResult result;
    prepare::ScanProgramFolder(sys(), folder.logic(), folder.logic().size(), result);
    EXPECT_EQ(result.FolderFiles, Lines{"target\\inside.txt"});
    EXPECT_TRUE(result.ReadOnlyFound);
}

// ---------------------------------------------------------------------------

TEST(Win32StartUp, LibrariesLoadFromTheSystemFolderOnly) {
    // Planted beside the program, loaded by its bare name as the shell and the
    // common dialogs load theirs.
    HMODULE planted = LoadLibraryW(L"kwplanted.dll");
    ASSERT_NE(planted, nullptr) << "kwplanted.dll belongs beside the test program";
    FreeLibrary(planted);
    loadLibrariesFromTheSystemFolderOnly();
    EXPECT_EQ(LoadLibraryW(L"kwplanted.dll"), nullptr);
    EXPECT_NE(LoadLibraryW(L"comdlg32.dll"), nullptr);
}

// ---------------------------------------------------------------------------

TEST(Win32Enumerate, NamesAndFaithfulness) {
    TestFolder folder;
    folder.write("a.txt");
    folder.write("ソフト.txt");
    folder.write("表");
    folder.write("doc/inner.txt");
    // A name code page 932 cannot hold.
    HANDLE h = CreateFileW((folder.path() / L"\uD55C.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    for (const std::string& name :
         {folder.logic(), folder.logic().substr(0, folder.logic().size() - 1)}) {
        auto entries = listing(name);
        ASSERT_EQ(entries.size(), 5u) << name;
        EXPECT_EQ(entries.count("."), 0u);
        EXPECT_EQ(entries.count(".."), 0u);
        EXPECT_TRUE(entries["a.txt"].faithful);
        EXPECT_TRUE(entries[SoftCp + ".txt"].faithful);
        EXPECT_TRUE(entries[HyoCp].faithful);
        EXPECT_EQ(bits(entries["doc"].attributes), AttrDirectory);
        ASSERT_EQ(entries.count(Geta + ".txt"), 1u);
        EXPECT_FALSE(entries[Geta + ".txt"].faithful);
    }
}

TEST(Win32Enumerate, EmptyMissingAndNotAFolder) {
    TestFolder folder;
    folder.write("file.txt");
    folder.mkdir("empty");
    int calls = 0;
    auto count = [&](const DirEntry&) { ++calls; };
    EXPECT_TRUE(sys().enumerate(folder.logic("empty"), count));
    EXPECT_FALSE(sys().enumerate(folder.logic("missing"), count));
    EXPECT_FALSE(sys().enumerate(folder.logic("file.txt"), count));
    EXPECT_FALSE(sys().enumerate("", count));
    EXPECT_FALSE(sys().enumerate("C:\\bad\xFF", count));
    EXPECT_EQ(calls, 0);
}

// ---------------------------------------------------------------------------

TEST(Win32FindFirst, NamesMatchWithoutRegardToCase) {
    TestFolder folder;
    folder.write("ReadMe.txt");
    folder.write("noext");
    folder.write("ソ.dat");
    const std::string f = folder.logic();
    auto found = [&](const std::string& pattern) -> std::string {
        auto r = sys().findFirst(f + pattern);
        return r ? r->name : "<none>";
    };
    // The name as it is stored, whatever the case asked for.
    EXPECT_EQ(found("README.TXT"), "ReadMe.txt");
    EXPECT_EQ(found("readme.txt"), "ReadMe.txt");
    EXPECT_EQ(found("*.TXT"), "ReadMe.txt");
    EXPECT_EQ(found("NO*.*"), "noext");
    EXPECT_EQ(found("?.DAT"), "\x83\x5C.dat");
    EXPECT_EQ(found("x*"), "<none>");
    // The folder's own "." comes first: a folder, no file.
    auto any = sys().findFirst(f + "*.*");
    ASSERT_TRUE(any);
    EXPECT_EQ(any->name, ".");
    EXPECT_FALSE(fileExists(sys(), f + "*"));
    EXPECT_TRUE(fileExists(sys(), f + "README.TXT"));
    EXPECT_FALSE(fileExists(sys(), f + "ReadMe.txt\\"));
    EXPECT_EQ(sys().findFirst(folder.logic("missing") + "\\*.*"), std::nullopt);
}

TEST(Win32FindFirst, DosTimeRangeInLocalTime) {
    TestFolder folder;
    const std::map<std::string, std::tuple<WORD, WORD, WORD, bool>> dates = {
        {"y1979.exe", {1979, 12, 31, false}},
        {"y1980.exe", {1980, 1, 2, true}},
        {"y2107.exe", {2107, 12, 30, true}},
        {"y2108.exe", {2108, 1, 2, false}},
    };
    for (auto& [name, date] : dates) {
        folder.write(name);
        setWriteTime(folder.native(name), std::get<0>(date), std::get<1>(date), std::get<2>(date));
    }
    folder.write("now.exe");
    folder.mkdir("folder.exe");
    for (auto& [name, date] : dates) {
        auto found = sys().findFirst(folder.logic(name));
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->dosTime, std::get<3>(date)) << name;
        EXPECT_EQ(fileExists(sys(), folder.logic(name)), std::get<3>(date)) << name;
    }
    EXPECT_TRUE(fileExists(sys(), folder.logic("now.exe")));
    EXPECT_FALSE(fileExists(sys(), folder.logic("folder.exe")));
}

// ---------------------------------------------------------------------------

TEST(Win32CopyMove, NamesDifferingOnlyInCaseCollide) {
    TestFolder folder;
    folder.write("ReadMe.txt", "top");
    folder.write("doc/readme.txt", "inner");
    EXPECT_FALSE(sys().moveNoReplace(folder.logic("doc/readme.txt"), folder.logic("readme.txt")));
    EXPECT_FALSE(sys().copyNoReplace(folder.logic("doc/readme.txt"), folder.logic("README.TXT")));
    EXPECT_EQ(folder.read("ReadMe.txt"), "top");
    EXPECT_EQ(folder.read("doc/readme.txt"), "inner");
    EXPECT_EQ(nativeNames(folder.path()), (std::set<std::wstring>{L"ReadMe.txt", L"doc"}));

    EXPECT_TRUE(sys().moveNoReplace(folder.logic("doc/readme.txt"), folder.logic("other.txt")));
    EXPECT_EQ(folder.read("other.txt"), "inner");
    EXPECT_FALSE(folder.exists("doc/readme.txt"));
    EXPECT_TRUE(sys().copyNoReplace(folder.logic("other.txt"), folder.logic("doc/ソ.txt")));
    EXPECT_EQ(folder.read("doc/ソ.txt"), "inner");
    EXPECT_FALSE(sys().moveNoReplace(folder.logic("missing"), folder.logic("x.txt")));
    EXPECT_TRUE(sys().removeFile(folder.logic("OTHER.TXT")));
    EXPECT_FALSE(folder.exists("other.txt"));
    EXPECT_FALSE(sys().removeFile(folder.logic("doc")));
}

TEST(Win32CopyMove, ReadOnlyFileIsNotDeleted) {
    TestFolder folder;
    folder.write("ro.txt", "kept");
    setAttributes(folder.native("ro.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(sys().removeFile(folder.logic("ro.txt")));
    EXPECT_EQ(folder.read("ro.txt"), "kept");
}

// ---------------------------------------------------------------------------

TEST(Win32FileContents, AtomicWriteKeepsHiddenAndLeavesNoTemporary) {
    TestFolder folder;
    folder.mkdir("p");
    const std::string ini = folder.logic("p/Inst.ini");
    ASSERT_TRUE(sys().writeFileAtomic(ini, "[Install]\r\n"));
    EXPECT_EQ(folder.read("p/Inst.ini"), "[Install]\r\n");
    setAttributes(folder.native("p/Inst.ini"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

    ASSERT_TRUE(sys().writeFileAtomic(ini, std::string("second\0", 7)));
    EXPECT_EQ(folder.read("p/Inst.ini"), std::string("second\0", 7));
    EXPECT_EQ(bits(sys().attributes(ini)), AttrHidden) << "hidden as before";
    EXPECT_EQ(nativeNames(folder.native("p")), std::set<std::wstring>{L"Inst.ini"});
    EXPECT_EQ(sys().readFile(ini), std::optional<std::string>(std::string("second\0", 7)));
}

TEST(Win32FileContents, AtomicWriteRefusalsLeaveTheOldFile) {
    TestFolder folder;
    folder.write("ro.ini", "old");
    setAttributes(folder.native("ro.ini"), FILE_ATTRIBUTE_READONLY);
    folder.mkdir("dir.ini");

    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("ro.ini"), "new"));
    EXPECT_EQ(folder.read("ro.ini"), "old");
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("dir.ini"), "new"));
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic("nodir") + "\\x.ini", "new"));
    EXPECT_FALSE(sys().writeFileAtomic(folder.logic(), "new"));
    EXPECT_EQ(nativeNames(folder.path()), (std::set<std::wstring>{L"dir.ini", L"ro.ini"}));
    EXPECT_EQ(sys().readFile(folder.logic("dir.ini")), std::nullopt);
    EXPECT_EQ(sys().readFile(folder.logic("missing")), std::nullopt);
}

TEST(Win32FileContents, FailedReplacementRemovesTheTemporary) {
    TestFolder folder;
    folder.write("Inst.ini", "old");
    // Another program holds the file open without sharing its deletion: the
    // old file cannot be replaced while it does.
    HANDLE held = CreateFileW(folder.native("Inst.ini").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const bool written = sys().writeFileAtomic(folder.logic("Inst.ini"), "new");
    CloseHandle(held);
    EXPECT_FALSE(written);
    EXPECT_EQ(folder.read("Inst.ini"), "old");
    EXPECT_EQ(nativeNames(folder.path()), std::set<std::wstring>{L"Inst.ini"});
}

// A process of this test program that never runs: alive until terminated.
struct SuspendedProcess {
    PROCESS_INFORMATION info{};
    SuspendedProcess() {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &info))
            info = {};
    }
    void end() {
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    ~SuspendedProcess() {
        if (info.hProcess) {
            end();
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
};

TEST(Win32FileContents, TemporariesOfKilledWritersAreRemoved) {
    SuspendedProcess running, ended;
    ASSERT_NE(running.info.dwProcessId, 0u);
    ASSERT_NE(ended.info.dwProcessId, 0u);
    ended.end(); // its id stays taken while the handle is open
    const std::string own = std::to_string(GetCurrentProcessId());
    const std::string live = std::to_string(running.info.dwProcessId);
    const std::string gone = std::to_string(ended.info.dwProcessId);

    TestFolder folder;
    folder.write("p/Inst.ini", "ini");
    const std::vector<std::string> kept{
        "Inst.ini",
        "~Inst.ini.kwarino-" + live + "-0.tmp", // its writer still runs
        "~Inst.ini.notes.tmp",                  // only looks like one
        "~Inst.ini.kwarino-" + gone + ".tmp",   // no counter: not one of ours
        "~Inst.ini." + gone + "-0.tmp",         // no mark: a user's own, as these
        "~log.2024-06.tmp",
        "~other.txt.kwarino-" + gone + "-0.tmp", // of a file not placed here
    };
    for (const std::string& name : kept)
        folder.write("p/" + name, "kept");
    folder.write("p/~Inst.ini.kwarino-" + gone + "-0.tmp", "left by a killed writer");
    folder.write("p/~data.bin.kwarino-" + gone + "-4.tmp", "left by a killed move");
    folder.write("p/~inst.INI.kwarino-" + own + "-3.tmp", "left by this process");

    sys().removeStaleTemporaries(folder.logic("p"), {"inst.ini", "data.bin"});
    std::set<std::wstring> expected;
    for (const std::string& name : kept)
        expected.insert(std::wstring(name.begin(), name.end()));
    EXPECT_EQ(nativeNames(folder.native("p")), expected);
}

TEST(Win32FileContents, PathsLongerThanMaxPath) {
    TestFolder folder;
    fs::path deep = folder.path();
    std::string base = folder.logic();
    for (int i = 0; i < 12; ++i) {
        const std::string part = "ソフト" + std::string(20, 'd') + std::to_string(i);
        deep /= fs::path(std::u8string(part.begin(), part.end()));
        base += prepare::sjis(part) + "\\";
        ASSERT_TRUE(CreateDirectoryW(extended(deep).c_str(), nullptr)) << GetLastError();
    }
    ASSERT_GT(deep.wstring().size(), static_cast<std::size_t>(MAX_PATH));

    ASSERT_TRUE(sys().writeFileAtomic(base + "Inst.ini", "deep"));
    EXPECT_EQ(sys().readFile(base + "Inst.ini"), std::optional<std::string>("deep"));
    EXPECT_TRUE(fileExists(sys(), base + "Inst.ini"));
    EXPECT_EQ(bits(sys().attributes(base)), AttrDirectory);
    EXPECT_TRUE(sys().copyNoReplace(base + "Inst.ini", base + "copy.ini"));
    EXPECT_FALSE(sys().copyNoReplace(base + "Inst.ini", base + "copy.ini"));
    EXPECT_TRUE(sys().moveNoReplace(base + "copy.ini", base + "moved.ini"));
    auto entries = listing(base);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count("Inst.ini"), 1u);
    EXPECT_EQ(entries.count("moved.ini"), 1u);
    EXPECT_TRUE(sys().removeFile(base + "moved.ini"));

    prepare::SurveyResult result;
    prepare::ScanProgramFolder(sys(), folder.logic(), folder.logic().size(), result);
    ASSERT_EQ(result.FolderFiles.size(), 1u);
    EXPECT_EQ(folder.logic() + result.FolderFiles[0], base + "Inst.ini");

    EXPECT_TRUE(sys().removeFile(base + "Inst.ini"));
    EXPECT_EQ(GetFileAttributesW(extended(deep / L"Inst.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    // Leave a tree the folder's own clean-up can remove.
    for (; deep != folder.path(); deep = deep.parent_path())
        RemoveDirectoryW(extended(deep).c_str());
}

// ---------------------------------------------------------------------------
// Whole requests over the real file system.

namespace {

bool anyValueIs(const Lines& lines, const std::string& value) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.size() > value.size() &&
               line.compare(line.size() - value.size(), value.size(), value) == 0 &&
               line[line.size() - value.size() - 1] == '=';
    });
}

class Win32RequestTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    void SetUp() override {
        f.file("Sample.exe");
        f.file(Installer);
        f.browse("Sample.exe");
    }
    Lines section(const std::string& name) {
        return testing_support::sectionLines(testing_support::parseIniText(f.iniBytes()), name);
    }
};

TEST(Win32Names, ANameTheTopHoldsToTheVolumeIsNeitherMovedOntoNorTakenForTheToolsCopy) {
    // Below, the same bytes as a file at the top, under a name that is the top
    // file's to Windows: a system file's (which the survey does not list), in
    // other letters, its short name.
    for (const std::string top : {"desktop.ini", "Ａ.txt", "a long file name.txt"}) {
        SCOPED_TRACE(top);
        ProgramFolderFixture f;
        f.file("Sample.exe");
        f.file(Installer);
        f.file(top, "same");
        wchar_t shortPath[MAX_PATH];
        GetShortPathNameW(f.tmp.native("Sample/" + top).c_str(), shortPath, MAX_PATH);
        const std::string below =
            top == "Ａ.txt" ? "ａ.txt" : fs::path(shortPath).filename().string();
        if (top == "desktop.ini")
            setAttributes(f.tmp.native("Sample/desktop.ini"), FILE_ATTRIBUTE_SYSTEM);
        f.file("doc/" + below, "same");
        f.browse("Sample.exe");
        const auto before = f.tree();
        // The request asks instead of moving; a close that follows a list
        // naming the file below takes nothing at the top for its copy.
        ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
        EXPECT_EQ(f.ui.questions, 1);
        f.file(Ini, "[Install]\r\nInstallDir=x\r\n[Files]\r\nItem1=doc\\" + prepare::sjis(below) +
                        "\r\n");
        const auto report = prepare::restoreOnClose(f.sys, f.state);
        EXPECT_EQ(f.tree(), before);
        // What stays is said, but for another file's short name: not the listed one.
        EXPECT_EQ(report.notBack.size(), top == "a long file name.txt" ? 0u : 1u);
    }
}

TEST(Win32Names, AShortNameAnEarlierMoveUpTookRefusesRelocationWithTheQuestion) {
    ProgramFolderFixture f;
    f.file("Sample.exe");
    f.file(Installer);
    // The short name the volume gives the long name once it stands at the top.
    f.file("a long file name.txt");
    wchar_t shortPath[MAX_PATH];
    GetShortPathNameW(f.tmp.native("Sample/a long file name.txt").c_str(), shortPath, MAX_PATH);
    fs::remove(f.tmp.native("Sample/a long file name.txt"));
    f.file("doc/a long file name.txt", "long");
    f.file("sub/" + fs::path(shortPath).filename().string(), "short");
    f.sys.enumerationOrder = [](const auto& a, const auto& b) { return a.name < b.name; };
    f.browse("Sample.exe");
    auto expected = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.ui.questions, 1);
    expected[Ini] = f.iniBytes();
    EXPECT_EQ(f.tree(), expected) << "the first move went back, the rest stay in place";
    EXPECT_EQ(f.iniBytes().find("InstallDir"), std::string::npos);
}

TEST_F(Win32RequestTest, ReadOnlySystemFileIsNotListedButRefusesRelocation) {
    f.file("doc/Manual.txt");
    f.file("doc/lock.sys", "locked");
    setAttributes(f.tmp.native("Sample/doc/lock.sys"),
                  FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    auto expected = f.tree();

    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started); // answered "Yes"
    EXPECT_EQ(f.ui.questions, 1);
    EXPECT_TRUE(f.state.RelocationRefused);
    EXPECT_EQ(section("Install"), Lines{"Title=aのインストール"});
    const Lines files = section("Files");
    EXPECT_EQ(files.size(), 4u); // the program, the installer, doc\Manual.txt, the control file
    EXPECT_TRUE(anyValueIs(files, "doc\\Manual.txt"));
    EXPECT_FALSE(anyValueIs(files, "doc\\lock.sys"));
    expected[Ini] = f.iniBytes();
    EXPECT_EQ(f.tree(), expected) << "nothing moved";
}

TEST_F(Win32RequestTest, HiddenFilesMoveWithTheirMarkSystemFilesStay) {
    f.file("doc/hidden.txt", "h");
    setAttributes(f.tmp.native("Sample/doc/hidden.txt"),
                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    f.file("doc/Thumbs.db", "s");
    setAttributes(f.tmp.native("Sample/doc/Thumbs.db"), FILE_ATTRIBUTE_SYSTEM);
    const auto before = f.tree();

    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.ui.questions, 0);
    EXPECT_EQ(f.tmp.read("Sample/hidden.txt"), "h");
    EXPECT_TRUE(GetFileAttributesW(f.tmp.native("Sample/hidden.txt").c_str()) &
                FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(f.tmp.exists("Sample/doc/Thumbs.db"));
    EXPECT_FALSE(f.tmp.exists("Sample/Thumbs.db"));
    EXPECT_FALSE(anyValueIs(section("Files"), "doc\\Thumbs.db"));

    prepare::restoreOnClose(f.sys, f.state);
    EXPECT_EQ(f.tree(), before);
}

// The root folder of a drive as the program folder. The Wine runner gives the
// tests an empty drive of their own; elsewhere the test is skipped.
class ScratchDrive {
public:
    explicit ScratchDrive(std::string letter) : root_(std::move(letter) + "\\") {}
    ~ScratchDrive() {
        std::error_code ec;
        for (auto& e : fs::directory_iterator(native(""), ec))
            fs::remove_all(e.path(), ec);
    }
    fs::path native(const std::string& relative) const {
        const std::string whole = root_ + relative;
        return fs::path(std::u8string(whole.begin(), whole.end())).make_preferred();
    }
    void write(const std::string& relative, const std::string& contents) {
        fs::create_directories(native(relative).parent_path());
        std::ofstream(native(relative), std::ios::binary) << contents;
    }
    const std::string& root() const { return root_; }
    // Whether the root holds no entry (std::filesystem cannot ask about a
    // drive's root on MinGW).
    bool empty() const {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((native("").wstring() + L"*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        bool none = true;
        do {
            const std::wstring name = data.cFileName;
            none = none && (name == L"." || name == L"..");
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return none;
    }

private:
    std::string root_;
};

TEST(Win32DriveRoot, RequestOnTheRootFolderOfADrive) {
    EXPECT_EQ(prepare::installFolderName("Z:\\"), "Z:");
    const char* letter = std::getenv("KW_SCRATCH_DRIVE");
    if (letter == nullptr || *letter == '\0')
        GTEST_SKIP() << "no empty drive to work on (KW_SCRATCH_DRIVE; the Wine runner sets T:)";
    ScratchDrive drive(letter);
    ASSERT_TRUE(drive.empty()) << drive.root() << " is missing or not empty";
    drive.write("Sample.exe", "program");
    drive.write(Installer, "installer");
    drive.write("doc/Manual.txt", "manual");

    FaultySystem sys; // records the installer start instead of making it
    prepare::RunState state;
    prepare::setProgramFile(state, drive.root() + "Sample.exe");
    ASSERT_EQ(state.ProgramFolder, drive.root());
    prepare::RequestTexts texts;
    texts.programFile = drive.root() + "Sample.exe";
    texts.application = prepare::sjis("サンプル");
    for (int row = 0; row < 3; ++row) {
        texts.startMenuNames[row] = std::string();
        texts.startMenuFiles[row] = std::string();
    }
    testing_support::ScriptedUi ui;
    ASSERT_EQ(prepare::runInstallRequest(sys, state, texts, ui).kind, Kind::Started);
    EXPECT_EQ(ui.questions, 0);
    EXPECT_EQ(sys.calls.back(), "shellOpen " + drive.root() + Installer);

    auto ini = sys.readFile(drive.root() + Ini);
    ASSERT_TRUE(ini);
    const auto sections = testing_support::parseIniText(*ini);
    EXPECT_EQ(testing_support::sectionLines(sections, "Install"),
              (Lines{"Title=サンプルのインストール", std::string("InstallDir=") + letter,
                     "IsFileDelAfterInst=1"}));
    const Lines files = testing_support::sectionLines(sections, "Files");
    EXPECT_EQ(files.size(), 4u);
    EXPECT_TRUE(anyValueIs(files, "doc\\Manual.txt"));
    EXPECT_TRUE(fs::exists(drive.native("Manual.txt")));

    prepare::restoreOnClose(sys, state);
    EXPECT_TRUE(fs::exists(drive.native("doc/Manual.txt")));
    EXPECT_FALSE(fs::exists(drive.native("Manual.txt")));
    EXPECT_FALSE(fs::exists(drive.native(Ini)));
}

} // namespace

// ---------------------------------------------------------------------------

TEST(Win32Hold, AHeldFolderStaysWhereItIsAndIsFollowedWhereTheFolderAboveTakesIt) {
    TestFolder folder;
    folder.mkdir("a/soft");
    const std::optional<FolderHold> held = sys().holdFolder(folder.logic("A/SOFT"));
    ASSERT_TRUE(held && *held);
    EXPECT_FALSE(MoveFileW(folder.native("a/soft").c_str(), folder.native("a/moved").c_str()));
    const bool renamed = MoveFileW(folder.native("a").c_str(), folder.native("b").c_str());
    const std::string now = folder.logic(renamed ? "b/soft" : "a/soft"); // Windows may refuse
    EXPECT_EQ((*held)->where(), now + "\\");
    EXPECT_EQ((*held)->id(), sys().folderId(now));
    folder.mkdir("c"); // one another program has open for deletion is held all the same
    const HANDLE deleting = CreateFileW(folder.native("c").c_str(), DELETE, 7, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const auto first = sys().holdFolder(folder.logic("c"));
    EXPECT_TRUE(first && *first && !sys().holdFolder(folder.logic("c")));
    CloseHandle(deleting);
}

#ifdef KW_STAND_IN_INSTALLER
TEST(Win32Processes, AnInstallerIsFoundByItsFileUnderAnySpellingUntilItEnds) {
    TestFolder folder;
    // Another file of the same name runs too: its process is not the file's.
    for (const char* sub : {"soft/", "other/"}) {
        folder.mkdir(sub);
        fs::copy_file(KW_STAND_IN_INSTALLER, folder.native(sub + Installer));
    }
    HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, L"kw-core-installer-hold");
    SetEnvironmentVariableW(L"KW_INSTALLER_HOLD", L"kw-core-installer-hold");
    SetEnvironmentVariableW(L"KW_INSTALLER_RECORD", folder.native("started.txt").c_str());
    std::wstring line = L"\"" + folder.native("soft/" + Installer).wstring() + L"\"";
    std::wstring otherLine = L"\"" + folder.native("other/" + Installer).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{}, other{};
    const bool ran = CreateProcessW(nullptr, otherLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &other) &&
                     CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &started);
    SetEnvironmentVariableW(L"KW_INSTALLER_HOLD", nullptr);
    SetEnvironmentVariableW(L"KW_INSTALLER_RECORD", nullptr);
    ASSERT_TRUE(ran) << GetLastError();

    std::string capitals = "SOFT\\" + Installer;
    std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    std::vector<Process> found;
    for (int i = 0; i < 1000 && found.empty(); ++i, Sleep(10))
        found = sys().processesRunning(folder.logic() + capitals);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(GetProcessId(reinterpret_cast<HANDLE>(found[0])), started.dwProcessId);
    EXPECT_FALSE(sys().processEnded(found[0]));

    SetEvent(hold);
    EXPECT_EQ(WaitForSingleObject(started.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(other.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(sys().processEnded(found[0]));
    EXPECT_TRUE(sys().processesRunning(folder.logic() + capitals).empty());
    sys().releaseProcess(found[0]);
    for (HANDLE h : {hold, started.hProcess, started.hThread, other.hProcess, other.hThread})
        CloseHandle(h);
}
#endif
