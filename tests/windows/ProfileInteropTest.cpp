// Control files against the system's own profile functions: every Inst.ini the
// tool writes must read back through GetPrivateProfileString (the ANSI and the
// wide forms) to the same sections, keys and values, in the same order, as the
// tool's own reader gives; and the tool's reader must read what
// WritePrivateProfileString writes as the system does.
//
// The ANSI functions read code page 932 only when the system's ANSI code page
// is 932 (a Japanese Windows; under Wine, LANG=ja_JP.UTF-8). Every test checks
// that first and fails loudly otherwise.
#include "platform/Cp932.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/Texts.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;
using Kind = prepare::RequestOutcome::Kind;
using prepare::sjis;

namespace {

using testing_support::Ini;
using testing_support::Installer;

// What a reader sees of a profile file: sections in order, each with its keys
// in order and their values. All text in code page 932.
struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
    bool operator==(const Section&) const = default;
};
using View = std::vector<Section>;

std::string utf8(const std::string& cp932) {
    return platform::utf8FromCp932ForDisplay(cp932);
}

// Readable in a failure message: UTF-8, one line per key.
std::string describe(const View& view) {
    std::string out;
    for (const Section& s : view) {
        out += "[" + utf8(s.name) + "]\n";
        for (auto& [k, v] : s.entries)
            out += "  " + utf8(k) + "=" + utf8(v) + "\n";
    }
    return out;
}

std::wstring wide(const std::string& cp932) {
    std::optional<std::string> u8 = platform::utf8FromCp932(cp932);
    if (!u8)
        throw std::runtime_error("not code page 932");
    int n = MultiByteToWideChar(CP_UTF8, 0, u8->data(), static_cast<int>(u8->size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, u8->data(), static_cast<int>(u8->size()), out.data(), n);
    return out;
}

std::string cp932(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string u8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), u8.data(), n,
                        nullptr, nullptr);
    return platform::cp932FromUtf8(u8).value_or("<not code page 932: " + u8 + ">");
}

// Calls a profile function with a growing buffer until its result fits: a
// list that does not fit comes back as size - 2 characters, a value as size - 1.
template <typename Char>
std::basic_string<Char> whole(const std::function<DWORD(Char*, DWORD)>& call) {
    for (DWORD size = 512;; size *= 2) {
        std::basic_string<Char> buffer(size, Char(0));
        DWORD n = call(buffer.data(), size);
        if (n + 2 < size) {
            buffer.resize(n);
            return buffer;
        }
    }
}

// The items of a NUL-separated list.
template <typename Char> std::vector<std::basic_string<Char>> items(std::basic_string<Char> list) {
    std::vector<std::basic_string<Char>> out;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(Char(0), start);
        if (end == std::basic_string<Char>::npos)
            end = list.size();
        if (end > start)
            out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The file as GetPrivateProfileSectionNamesA and GetPrivateProfileStringA see it.
View ansiView(const std::string& file) {
    const char* f = file.c_str();
    View view;
    auto sections = items(
        whole<char>([&](char* b, DWORD n) { return GetPrivateProfileSectionNamesA(b, n, f); }));
    for (const std::string& name : sections) {
        Section s{name, {}};
        auto keys = items(whole<char>([&](char* b, DWORD n) {
            return GetPrivateProfileStringA(name.c_str(), nullptr, "", b, n, f);
        }));
        for (const std::string& key : keys) {
            std::string value = whole<char>([&](char* b, DWORD n) {
                return GetPrivateProfileStringA(name.c_str(), key.c_str(), "<missing>", b, n, f);
            });
            s.entries.emplace_back(key, value);
        }
        view.push_back(std::move(s));
    }
    return view;
}

// The same through the wide functions, converted to code page 932.
View wideView(const std::string& file) {
    const std::wstring w = wide(file);
    const wchar_t* f = w.c_str();
    View view;
    auto sections = items(whole<wchar_t>(
        [&](wchar_t* b, DWORD n) { return GetPrivateProfileSectionNamesW(b, n, f); }));
    for (const std::wstring& name : sections) {
        Section s{cp932(name), {}};
        auto keys = items(whole<wchar_t>([&](wchar_t* b, DWORD n) {
            return GetPrivateProfileStringW(name.c_str(), nullptr, L"", b, n, f);
        }));
        for (const std::wstring& key : keys) {
            std::wstring value = whole<wchar_t>([&](wchar_t* b, DWORD n) {
                return GetPrivateProfileStringW(name.c_str(), key.c_str(), L"<missing>", b, n, f);
            });
            s.entries.emplace_back(cp932(key), cp932(value));
        }
        view.push_back(std::move(s));
    }
    return view;
}

// The same through the tool's own reader.
View toolView(const std::string& bytes) {
    platform::ProfileFile profile = platform::ProfileFile::parse(bytes);
    View view;
    for (const std::string& name : profile.sectionNames()) {
        Section s{name, {}};
        for (const std::string& key : profile.keys(name))
            s.entries.emplace_back(key, profile.read(name, key).value_or("<missing>"));
        view.push_back(std::move(s));
    }
    return view;
}

// The file read all three ways must agree.
void expectSameEverywhere(const std::string& logicPath, const std::string& bytes) {
    const View tool = toolView(bytes);
    const View ansi = ansiView(logicPath);
    const View wideRead = wideView(logicPath);
    ASSERT_FALSE(tool.empty());
    EXPECT_EQ(ansi, tool) << "GetPrivateProfileStringA:\n"
                          << describe(ansi) << "the tool:\n"
                          << describe(tool);
    EXPECT_EQ(wideRead, tool) << "GetPrivateProfileStringW:\n"
                              << describe(wideRead) << "the tool:\n"
                              << describe(tool);
}

Section section(const std::string& name,
                std::vector<std::pair<std::string, std::string>> utf8Entries) {
    Section s{sjis(name), {}};
    for (auto& [k, v] : utf8Entries)
        s.entries.emplace_back(sjis(k), sjis(v));
    return s;
}

void requireCodePage932() {
    ASSERT_EQ(GetACP(), 932u) << "the ANSI code page must be 932 for the ANSI profile "
                                 "functions to read code page 932 (under Wine: "
                                 "LANG=ja_JP.UTF-8 with that locale generated)";
}

// Surveyed in the order Sample.exe, Inst.exe, doc, as the sample request expects.
void sampleOrder(FaultySystem& sys) {
    auto rank = [](const platform::DirEntry& e) {
        static const std::vector<std::string> order{"Sample.exe", Installer, "doc"};
        return std::find(order.begin(), order.end(), e.name) - order.begin();
    };
    sys.enumerationOrder = [rank](const auto& a, const auto& b) { return rank(a) < rank(b); };
}

class ProfileInterop : public ::testing::Test {
protected:
    void SetUp() override { requireCodePage932(); }
};

} // namespace

TEST_F(ProfileInterop, SampleRequestReadsBackThroughTheSystem) {
    ProgramFolderFixture f("Sample");
    f.file("Sample.exe");
    f.file(Installer);
    f.file("doc/Manual.txt", "manual");
    sampleOrder(f.sys);
    f.browse("Sample.exe");
    auto outcome = f.run(f.texts("Sample.exe", "サンプル", {{"説明書", "doc/Manual.txt"}}));
    ASSERT_EQ(outcome.kind, Kind::Started) << utf8(outcome.message);

    const std::string ini = f.logic(Ini);
    expectSameEverywhere(ini, f.iniBytes());
    // And what the system reads is the sample request's control file, section by section.
    const View expected = {
        section("Install", {{"Title", "サンプルのインストール"},
                            {"InstallDir", "Sample"},
                            {"IsFileDelAfterInst", "1"}}),
        section("Files", {{"Item1", "Sample.exe"},
                          {"Item2", Installer},
                          {"Item3", "doc\\Manual.txt"},
                          {"Item4", Ini}}),
        section("Group",
                {{"Value", "1"},
                 {"Info", "スタートメニューの「プログラム」内に「サンプル」というグループを作成し"
                          "ます。"},
                 {"GroupName", "サンプル"},
                 {"Item1", "サンプル,Sample.exe"},
                 {"Item2", "説明書,doc\\Manual.txt"},
                 {"Item3", "サンプルのアンインストール," + Installer + ",/r"}}),
        section("Startup",
                {{"Value", "0"},
                 {"Info", "この項目にチェックを入れておくと，Windowsを起動する度に「サンプル」を"
                          "起動します。"},
                 {"Item1", "サンプル,Sample.exe"}}),
        section("Desktop",
                {{"Value", "0"},
                 {"Info", "この項目にチェックを入れておくと，「サンプル」というショートカットをデ"
                          "スクトップに作成します。"},
                 {"Item1", "サンプル,Sample.exe"}}),
        section("Uninstall", {{"Key", "SampleUnInstall"},
                              {"Name", "サンプル"},
                              {"Title", "サンプルのアンインストール"},
                              {"AllDelete", "2"},
                              {"RebootDlg", "0"},
                              {"NotAdmin", "1"},
                              {"Modify", "1"}}),
    };
    const View ansi = ansiView(ini);
    EXPECT_EQ(ansi, expected) << describe(ansi);
}

TEST_F(ProfileInterop, JapaneseNamesWithBackslashTrailBytes) {
    // "ソ" and "表" end in the byte 0x5C; the folder name holds them too.
    ProgramFolderFixture f("ソフト表");
    f.file("表示.exe");
    f.file(Installer);
    f.file("説明/ソース.txt", "s");
    f.file("説明/表/予定.txt", "y");
    f.browse("表示.exe");
    auto outcome = f.run(f.texts("表示.exe", "ソフト表", {{"", "説明/ソース.txt"}}));
    ASSERT_EQ(outcome.kind, Kind::Started) << utf8(outcome.message);

    const std::string ini = f.logic(Ini);
    expectSameEverywhere(ini, f.iniBytes());
    char value[256];
    GetPrivateProfileStringA("Install", "InstallDir", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(std::string(value), sjis("ソフト表"));
    GetPrivateProfileStringA("Group", "Item2", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(std::string(value), sjis("ソース.txt,説明\\ソース.txt"));
    wchar_t wideValue[256];
    GetPrivateProfileStringW(L"Uninstall", L"Key", L"", wideValue, 256, wide(ini).c_str());
    EXPECT_EQ(std::wstring(wideValue), L"\u8868\u793AUnInstall"); // 表示UnInstall
}

TEST_F(ProfileInterop, FileUpdatedByTwoRequests) {
    ProgramFolderFixture f("Sample");
    f.file("Sample.exe");
    f.file(Installer);
    f.file("doc/Manual.txt");
    f.file("doc/Readme.txt");
    f.browse("Sample.exe");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "サンプル",
                            {{"説明書", "doc/Manual.txt"}, {"", "doc/Readme.txt"}}))
                  .kind,
              Kind::Started);
    const std::string ini = f.logic(Ini);
    expectSameEverywhere(ini, f.iniBytes());
    const std::string first = f.iniBytes();

    // The second request updates the file in place, the first one's item 3 gone.
    ASSERT_EQ(f.run(f.texts("Sample.exe", "別名")).kind, Kind::Started);
    ASSERT_NE(f.iniBytes(), first);
    expectSameEverywhere(ini, f.iniBytes());
    char value[256];
    GetPrivateProfileStringA("Group", "Item3", "-", value, sizeof value, ini.c_str());
    EXPECT_EQ(std::string(value), "-");
    GetPrivateProfileStringA("Group", "GroupName", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(std::string(value), sjis("別名"));
}

TEST_F(ProfileInterop, FiveThousandFiles) {
    TestFolder tmp;
    tmp.mkdir("Big");
    prepare::RunState state;
    prepare::setProgramFile(state, tmp.logic("Big") + "\\Big.exe");
    prepare::ControlFileRequest request;
    request.application = sjis("大きい");
    for (int i = 0; i < 5000; ++i)
        request.folderFiles.push_back(sjis("データ\\") + "file" + std::to_string(i) + ".dat");
    std::size_t items = 0;
    ASSERT_FALSE(prepare::writeControlFile(platform::realSystem(), state, request, items));

    const std::string ini = prepare::controlFilePath(state);
    const std::string bytes = tmp.read("Big/" + Ini);
    expectSameEverywhere(ini, bytes);
    const View ansi = ansiView(ini);
    ASSERT_GE(ansi.size(), 2u);
    ASSERT_EQ(ansi[1].name, "Files");
    ASSERT_EQ(ansi[1].entries.size(), 5001u) << "the whole key list, past 16384 bytes";
    EXPECT_EQ(ansi[1].entries[4999].first, "Item5000");
    EXPECT_EQ(ansi[1].entries[4999].second, sjis("データ\\file4999.dat"));
    EXPECT_EQ(ansi[1].entries[5000].second, Ini);
}

// The other direction: files the system's writer made, read by the tool.
TEST_F(ProfileInterop, ToolReadsWhatTheAnsiWriterWrites) {
    TestFolder tmp;
    const std::string ini = tmp.logic("written.ini");
    const char* f = ini.c_str();
    auto write = [&](const std::string& s, const std::string& k, const std::string& v) {
        ASSERT_TRUE(WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), f))
            << GetLastError();
    };
    write("Install", "Title", sjis("サンプルのインストール"));
    write("Files", "Item1", sjis("説明\\ソース.txt"));
    write("Files", "Item2", Ini);
    write(sjis("グループ"), sjis("項目"), sjis("表,ソ"));
    write("Install", "InstallDir", sjis("ソフト表"));
    write("install", "TITLE", "updated"); // an existing key, other spelling
    write("Files", "Item3", "  padded  ");
    write("Files", "Item4", "\"quoted\"");
    write("Files", "Item5", "");

    const std::string bytes = tmp.read("written.ini");
    expectSameEverywhere(ini, bytes);
    platform::ProfileFile profile = platform::ProfileFile::parse(bytes);
    EXPECT_EQ(profile.read("Install", "Title"), std::optional<std::string>("updated"));
    EXPECT_EQ(profile.read(sjis("グループ"), sjis("項目")),
              std::optional<std::string>(sjis("表,ソ")));
    EXPECT_EQ(profile.keys("Files"),
              (std::vector<std::string>{"Item1", "Item2", "Item3", "Item4", "Item5"}));
}

TEST_F(ProfileInterop, ToolReadsWhatTheWideWriterWrites) {
    TestFolder tmp;
    const std::string ini = tmp.logic("wide.ini");
    const std::wstring w = wide(ini);
    auto write = [&](const wchar_t* s, const wchar_t* k, const wchar_t* v) {
        ASSERT_TRUE(WritePrivateProfileStringW(s, k, v, w.c_str())) << GetLastError();
    };
    write(L"Install", L"Title", L"\u30B5\u30F3\u30D7\u30EB");           // サンプル
    write(L"Files", L"Item1", L"\u8AAC\u660E\\\u30BD\u30FC\u30B9.txt"); // 説明\ソース.txt
    write(L"\u30B0\u30EB\u30FC\u30D7", L"Item1", L"\u8868,\u30BD");     // [グループ] 表,ソ
    write(L"Install", L"Title", L"2");

    const std::string bytes = tmp.read("wide.ini");
    // A file the wide writer creates is written in the ANSI code page, not in
    // UTF-16, so the tool reads it as it reads its own.
    ASSERT_FALSE(bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        << "written as UTF-16";
    expectSameEverywhere(ini, bytes);
    platform::ProfileFile profile = platform::ProfileFile::parse(bytes);
    EXPECT_EQ(profile.read("Files", "Item1"), std::optional<std::string>(sjis("説明\\ソース.txt")));
    EXPECT_EQ(profile.read("Install", "Title"), std::optional<std::string>("2"));
}

// A file saved as Shift-JIS or as Unicode (UTF-16LE), updated by a request and
// by the system's writer, reads back the same through the wide reader.
TEST_F(ProfileInterop, UpdateOfAFileSavedInEitherEncodingReadsBackAsTheSystemsOwn) {
    const std::string text =
        "[Install]\r\nInstallDir=App\r\nTitle=旧名\r\n[Files]\r\nItem1=a.txt\r\n"
        "Item2=doc\\説明.txt\r\nItem3=" +
        Ini + "\r\n";
    const std::string unicode = "\xFF\xFE" + platform::utf16leFromUtf8(text);
    // The last row ends in half a character, which every reader ignores.
    for (const std::string& saved : {sjis(text), unicode, unicode + "\n"}) {
        const bool isUnicode = saved != sjis(text);
        SCOPED_TRACE(saved.size());
        ProgramFolderFixture f;
        for (const std::string& name :
             std::vector<std::string>{"Sample.exe", Installer, Ini, "copy.ini"})
            f.file(name, saved);
        f.browse("Sample.exe");
        ASSERT_EQ(f.run(f.texts("Sample.exe", "新名")).kind, Kind::Started);
        EXPECT_EQ(f.iniBytes().rfind("\xFF\xFE", 0) == 0, isUnicode);
        const View updated = wideView(f.logic(Ini));
        for (const Section& s : updated)
            for (const auto& [key, value] : s.entries)
                WritePrivateProfileStringW(wide(s.name).c_str(), wide(key).c_str(),
                                           wide(value).c_str(), wide(f.logic("copy.ini")).c_str());
        EXPECT_EQ(updated, wideView(f.logic("copy.ini"))) << describe(updated);
    }
}
