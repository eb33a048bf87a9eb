// Restores hostile file lists over a real folder tree: whatever a list says, nothing
// outside the program folder changes, no file inside it is lost or doubled, and
// every listed file that stays at the top is said.
// Each input byte picks a piece of an entry; the last value starts the next entry.
#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/Restore.h"
#include "support/NoLaunchSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Code page 932: "\x83\x5C" is "ソ", whose second byte is a backslash.
// clang-format off
const std::vector<std::string> Pieces = {"\\", "/", "..", ".", ":", "C:", "a.txt", "A.txt",
    "\x83\x5C.txt", "sub", "SUB", "d", "b.txt", "a.TXT", "c.txt", "a.txt.", "a.txt ", "out", "lnk",
    "Inst.ini", "inst.INI", "~a.txt.123-0.tmp", "~a.txt.kwarino-1-0.tmp", "OUT", "o.txt",
    "prog.exe", "*", "h.txt", "e.txt", "E.txt", "\x82\x60.txt", "\x82\x81.txt", "r", "nil"};
// clang-format on

const fs::path Root = fs::temp_directory_path() /
                      ("kw-restorefuzz-" + std::to_string(platform::realSystem().processId()));
const fs::path P = Root / "P", Out = Root / "OUT", Ini = P / prepare::ControlFileName;
// A marked temporary of a process that has ended: the tool's own leftover, which it may remove.
const fs::path Stale = P / "sub" / "~b.txt.kwarino-4194304-0.tmp";

// The real system, but for a folder whose attributes carry a reparse point
// that names nothing: a link to the tool, asked or listed.
struct ReparseFolder : testing_support::NoLaunchSystem {
    std::uint32_t attributes(const std::string& path) override {
        const std::uint32_t a = NoLaunchSystem::attributes(path);
        return path.ends_with("\\r") && a != platform::InvalidAttributes
                   ? a | platform::AttrReparsePoint
                   : a;
    }
};

// Every entry below `top` but `skip`, links not followed: its path (if asked) and what it holds.
std::multiset<std::pair<std::string, std::string>> snapshot(const fs::path& top,
                                                            const fs::path& skip, bool paths) {
    std::multiset<std::pair<std::string, std::string>> all;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::end(it); ++it) {
        std::ostringstream holds;
        if (it->is_symlink())
            holds << "-> " << fs::read_symlink(it->path()).string();
        else if (!it->is_directory())
            holds << std::ifstream(it->path()).rdbuf();
        if (it->path() == skip)
            it.disable_recursion_pending();
        else if (it->path() != Stale)
            all.emplace(paths ? it->path().string() : "", holds.str());
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fs::remove_all(P);
    fs::create_directories(P / "sub" / "d");
    fs::create_directories(P / "r");
    fs::create_directories(Out);
    // Each file holds its first place, so a lost or doubled one shows; but
    // for two files of equal bytes, a hard link, a name in other letters, a
    // user's temporary and the tool's own.
    for (const char* name : {"OUT/a.txt", "OUT/o.txt", "P/prog.exe", "P/a.txt", "P/A.txt",
                             "P/\xE3\x82\xBD.txt", "P/sub/b.txt", "P/sub/a.TXT", "P/sub/d/c.txt",
                             "P/\xEF\xBC\xA1.txt", "P/~a.txt.123-0.tmp", "P/sub/h.txt"})
        std::ofstream(Root / name) << name;
    std::ofstream(P / "e.txt") << "equal";
    std::ofstream(P / "sub" / "E.txt") << "equal";
    std::ofstream(Stale) << "par";
    fs::create_hard_link(P / "sub" / "h.txt", P / "h.txt");
    fs::create_directory_symlink(Out, P / "out");
    fs::create_directory_symlink(P, P / "lnk");
    fs::create_symlink(Root / "nowhere", P / "nil");
    static const auto outside =
        (std::atexit([] { fs::remove_all(Root); }), snapshot(Root, P, true));
    static const auto inside = snapshot(P, Ini, false);

    std::string ini = "[Install]\r\nInstallDir=" + P.string() + "\r\n[Files]\r\nItem1=";
    for (std::size_t i = 0, item = 1; i < size; ++i) {
        const std::size_t piece = data[i] % (Pieces.size() + 1);
        ini += piece < Pieces.size() ? Pieces[piece] : "\r\nItem" + std::to_string(++item) + "=";
    }
    std::ofstream(Ini) << ini << "\r\n";
    static ReparseFolder sys;
    const std::string top = *sys.fromNativePath(P.string()) + "\\";
    const platform::ProfileFile list = platform::ProfileFile::parse(ini);
    const auto report = prepare::restoreControlFile(sys, top + prepare::ControlFileName);
    // A file of the list's own top-level entries is no moved file.
    std::set<std::string> own;
    for (const auto& [key, value] : list.entries("Files"))
        own.insert(pathrules::foldCase(value));
    std::string unsaid;
    prepare::forEachFileToRestore(
        list, prepare::ControlFileName, [&](std::string_view relative, std::string_view name) {
            const bool said = std::count(report.notBack.begin(), report.notBack.end(),
                                         prepare::NotBack{top, std::string(relative)}) > 0;
            const fs::path atTop = sys.toNativePath(top + std::string(name));
            std::error_code noSuchName; // a name too long for the system is no file
            if (!said && !own.count(pathrules::foldCase(name)) &&
                fs::exists(fs::symlink_status(atTop, noSuchName)))
                unsaid = relative;
        });
    const bool escaped = snapshot(Root, P, true) != outside;
    const bool lost = snapshot(P, Ini, false) != inside;
    if (escaped || lost || !unsaid.empty()) {
        std::fprintf(stderr, "RestoreFuzz: %s%s\n%s\n",
                     escaped ? "something outside the program folder changed"
                     : lost  ? "a file in the program folder was lost or doubled"
                             : "a file stays at the top unsaid: ",
                     unsaid.c_str(), ini.c_str());
        fs::remove_all(Root);
        std::abort();
    }
    return 0;
}
