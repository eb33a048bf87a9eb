// kwarino.exe as a user meets it: started as a process of its own and driven
// from this one only through window messages, on real folders, with a
// stand-in installer that notes where it was started from. One test reaches
// into the running tool, as planted code would, to have it load a library.
#include "e2e/WindowDriver.h"
#include "form/WindowTexts.h"
#include "platform/System.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"
#include "win32/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <utility>

using namespace e2e;
using testing_support::Ini;
using testing_support::Installer;
using testing_support::TestFolder;

namespace {

// Every text the tool shows in these scenarios, as the window shows it ("\r"
// is a line break).
namespace shown {
using win32::utf16;
const std::wstring Title = utf16(window_text::Title);
const std::wstring ProgramDialogTitle = utf16(window_text::ProgramFileTitle);
const std::wstring FileDialogTitle = utf16(window_text::AnyFileTitle);
const std::wstring ConfirmCaption = utf16(window_text::ConfirmCaption);
const std::wstring ConfirmText = utf16(window_text::ConfirmRelocationRefused);
const std::wstring Yes = utf16(window_text::Yes);
const std::wstring No = utf16(window_text::No);
const std::wstring Ok = L"OK";
const std::wstring InstallerMissing = utf16(window_text::InstallerMissing);
// The error boxes: a path, then one of these.
const std::wstring CannotWriteAfterPath = utf16(window_text::CannotWrite);
const std::wstring CannotStartAfterPath = utf16(window_text::CannotStart);
// The box for files that cannot go back: a first line, the paths, a last line.
const std::wstring CannotRestoreFirst = utf16(window_text::CannotRestoreFirst) + L"\r";
const std::wstring CannotRestoreLast = L"\r" + utf16(window_text::CannotRestoreLast);
const std::wstring WaitingForInstaller = utf16(window_text::WaitingForInstaller);
const std::wstring Retry = utf16(window_text::Retry);
const std::wstring Cancel = utf16(window_text::Cancel);
const std::wstring InstallerStillRunning = utf16(window_text::InstallerStillRunning);
const std::wstring LeftRelocated = utf16(window_text::LeftRelocated);
} // namespace shown

// The names of the control file and of the installer, as the tool spells them.
const std::wstring IniName = win32::utf16(testing_support::Ini);
const std::wstring InstallerName = win32::utf16(testing_support::Installer);

// The controls' window IDs: 1000 plus the control's place in the window's
// creation order.
namespace id {
constexpr int Label6 = 1005;
constexpr int BtnSansho = 1006;
constexpr int EditProgramFile = 1007;
constexpr int EditApplication = 1008;
constexpr int BitBtnInstall = 1009;
constexpr int EditStartMenu1 = 1010;
constexpr int EditStartMenuFile1 = 1013;
constexpr int BtnStartMenuSansho1 = 1016;
} // namespace id

constexpr DWORD Patience = 20000; // ms: the longest one step may take under Wine
constexpr const char* NoWindow =
    "the tool showed no window or open dialog (under Wine: is KW_DISPLAY set?)";

// A path the build gives (under Wine a Unix path, reached through drive Z:).
std::wstring builtPath(const char* path) {
    std::wstring p = win32::utf16(path);
    std::replace(p.begin(), p.end(), L'/', L'\\');
    return !p.empty() && p[0] == L'\\' ? L"Z:" + p : p;
}

using Tree = std::map<std::string, std::string>; // relative path ("doc/a.txt") -> contents

// One run of the tool: started with the stand-in installer's record going to
// `record`, its main window found by caption and by its controls.
class Tool {
public:
    Tool(const std::wstring& exe, const std::wstring& record)
        : process_(withRecord(exe, record), folderOf(exe)) {
        waitUntil(
            [&] {
                for (HWND w : topWindows(process_.id(), shown::Title))
                    if (GetDlgItem(w, id::EditProgramFile) != nullptr)
                        window_ = w;
                return window_ != nullptr;
            },
            Patience);
    }

    bool started() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    const Process& process() const { return process_; }
    HWND control(int controlId) const { return GetDlgItem(window_, controlId); }

    bool browse(int buttonId, const std::wstring& dialogTitle, const std::wstring& path) {
        click(control(buttonId));
        return chooseFile(process_.id(), dialogTitle, path, Patience);
    }
    void type(int fieldId, const std::wstring& text) { setText(control(fieldId), text); }
    void install() { click(control(id::BitBtnInstall)); }
    // The usual request: the program file chosen in the open dialog, the
    // software's name typed, "インストール" pressed. false when the window or
    // the dialog did not come.
    bool request(const std::wstring& programFile, const std::wstring& application) {
        if (!started() || !browse(id::BtnSansho, shown::ProgramDialogTitle, programFile))
            return false;
        type(id::EditApplication, application);
        install();
        return true;
    }
    // The close box; true once the tool has ended with exit code 0.
    bool close() {
        PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return ended();
    }
    bool ended() const { return process_.waitExit(Patience) == DWORD{0}; }

private:
    // The tool passes its environment on to the installer it starts.
    static const std::wstring& withRecord(const std::wstring& exe, const std::wstring& record) {
        SetEnvironmentVariableW(L"KW_INSTALLER_RECORD", record.c_str());
        return exe;
    }
    static std::wstring folderOf(const std::wstring& path) {
        return path.substr(0, path.find_last_of(L'\\'));
    }
    Process process_;
    HWND window_ = nullptr;
};

// A program folder below a temporary folder, with the stand-in installer as
// Inst.exe, and the file the installer notes its starts in beside it.
struct Workplace {
    TestFolder temp;
    std::wstring root = temp.path().wstring();
    std::wstring folder = root + L"\\Sample";
    std::wstring record = root + L"\\installer-starts.txt";

    Workplace() { placeInstaller(folder); }
    static void placeInstaller(const std::wstring& folder) {
        CreateDirectoryW(folder.c_str(), nullptr);
        if (!CopyFileW(builtPath(KW_STAND_IN_INSTALLER).c_str(),
                       (folder + L"\\" + InstallerName).c_str(), TRUE))
            throw std::runtime_error("cannot place the stand-in installer");
    }
    void write(const std::string& relative, const std::string& contents) {
        temp.write("Sample/" + relative, contents);
    }
    // The program folder's files (the installer's record lies outside it).
    Tree tree() const {
        Tree out;
        for (auto& [path, contents] : temp.snapshot())
            if (path.rfind("Sample/", 0) == 0)
                out[path.substr(7)] = contents;
        return out;
    }
    // Each installer start: "its path|its working folder".
    std::vector<std::string> starts() const { return lines(record); }
    // The path of the first installer started.
    std::string firstStartedFrom() const { return startedFrom(record); }
    static std::string startedFrom(const std::wstring& record) {
        std::vector<std::string> all = lines(record);
        return all.empty() ? std::string() : all.front().substr(0, all.front().find('|'));
    }
    bool waitStart() const {
        return waitUntil([&] { return !starts().empty(); }, Patience);
    }
    static std::vector<std::string> lines(const std::wstring& file) {
        std::ifstream in{std::filesystem::path(file)};
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
};

// A profile file as GetPrivateProfileStringW reads it: each section with its
// "key=value" lines, in file order.
using Profile = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;

std::vector<std::wstring> profileList(const wchar_t* section, const std::wstring& file) {
    std::wstring buffer(65536, L'\0');
    DWORD n = GetPrivateProfileStringW(section, nullptr, L"", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::wstring> out;
    for (std::size_t at = 0; at < n && buffer[at] != L'\0';) {
        std::wstring item = buffer.c_str() + at;
        at += item.size() + 1;
        out.push_back(item);
    }
    return out;
}

std::wstring profileValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& file) {
    wchar_t value[4096];
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"<none>", value, 4096, file.c_str());
    return value;
}

Profile readProfile(const std::wstring& file) {
    Profile out;
    std::wstring names(65536, L'\0');
    DWORD n = GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()),
                                             file.c_str());
    for (std::size_t at = 0; at < n && names[at] != L'\0';) {
        std::wstring section = names.c_str() + at;
        at += section.size() + 1;
        std::vector<std::wstring> entries;
        for (const std::wstring& key : profileList(section.c_str(), file))
            entries.push_back(key + L"=" + profileValue(section, key, file));
        out.emplace_back(section, entries);
    }
    return out;
}

std::string describe(const Profile& profile) {
    std::string out;
    for (auto& [section, entries] : profile) {
        out += "[" + win32::utf8(section) + "]\n";
        for (auto& entry : entries)
            out += "  " + win32::utf8(entry) + "\n";
    }
    return out;
}

// The files below a folder as a plain directory walk meets them, a
// subfolder's files where the subfolder is met: the order the survey lists.
void walk(const std::wstring& folder, const std::wstring& relative,
          std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            walk(folder + L"\\" + name, relative + name + L"\\", out);
        else
            out.push_back(relative + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::wstring kwarino() {
    return builtPath(KW_KWARINO);
}

// Many files, a few at the top, the rest in subfolders, all names different.
void fillFolder(Workplace& place, int files) {
    place.write("Prog.exe", "program");
    for (int i = 2; i < files; ++i) // Inst.exe is one of them
        place.write("part" + std::to_string(i % 7) + "/file" + std::to_string(i) + ".dat",
                    "contents " + std::to_string(i));
}

TEST(WindowDriver, ReadsAndAnswersAMessageBoxOfAnotherThread) {
    // The box reader on the system's own message box, shown on a thread of
    // this process (sent messages cross threads as they cross processes).
    int answered = 0;
    std::thread boxThread([&] {
        answered = MessageBoxW(nullptr, L"一行目\r二行目", L"見出し", MB_YESNO | MB_ICONQUESTION);
    });
    std::optional<Box> box = waitBox(GetCurrentProcessId(), Patience);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(win32::utf8(box->caption), "見出し");
    EXPECT_EQ(win32::utf8(box->text), "一行目\r二行目");
    EXPECT_EQ(box->buttons, (std::vector<std::wstring>{shown::Yes, shown::No}));
    EXPECT_TRUE(box->icon);
    EXPECT_TRUE(answer(*box, shown::No));
    boxThread.join();
    EXPECT_EQ(answered, IDNO);
}

TEST(EndToEnd, TheSampleRequestWritesItsControlFileStartsTheInstallerAndIsUndoneAtClose) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    const Tree before = place.tree();
    std::vector<std::wstring> surveyOrder;
    walk(place.folder, L"", surveyOrder);

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.started()) << NoWindow;
    ASSERT_TRUE(
        tool.browse(id::BtnSansho, shown::ProgramDialogTitle, place.folder + L"\\Sample.exe"));
    EXPECT_EQ(text(tool.control(id::EditProgramFile)), place.folder + L"\\Sample.exe");
    tool.type(id::EditApplication, L"サンプル");
    ASSERT_TRUE(enabled(tool.control(id::BtnStartMenuSansho1)));
    ASSERT_TRUE(tool.browse(id::BtnStartMenuSansho1, shown::FileDialogTitle,
                            place.folder + L"\\doc\\Manual.txt"));
    tool.type(id::EditStartMenu1, L"説明書");
    ASSERT_TRUE(enabled(tool.control(id::BitBtnInstall)));
    tool.install();

    ASSERT_TRUE(place.waitStart()) << "the installer was not started";
    EXPECT_FALSE(waitBox(tool.process().id(), 0).has_value());
    EXPECT_EQ(place.firstStartedFrom(), win32::utf8(place.folder + L"\\" + InstallerName));

    std::vector<std::wstring> files;
    for (std::size_t i = 0; i < surveyOrder.size(); ++i)
        files.push_back(L"Item" + std::to_wstring(i + 1) + L"=" + surveyOrder[i]);
    files.push_back(L"Item" + std::to_wstring(surveyOrder.size() + 1) + L"=" + IniName);
    const Profile expected{
        {L"Install",
         {L"Title=サンプルのインストール", L"InstallDir=Sample", L"IsFileDelAfterInst=1"}},
        {L"Files", files},
        {L"Group",
         {L"Value=1",
          L"Info=スタートメニューの「プログラム」内に「サンプル」というグループを作成します。",
          L"GroupName=サンプル", L"Item1=サンプル,Sample.exe", L"Item2=説明書,doc\\Manual.txt",
          L"Item3=サンプルのアンインストール," + InstallerName + L",/r"}},
        {L"Startup",
         {L"Value=0",
          L"Info=この項目にチェックを入れておくと，Windowsを起動する度に「サンプル」を起動します。",
          L"Item1=サンプル,Sample.exe"}},
        {L"Desktop",
         {L"Value=0",
          L"Info="
          L"この項目にチェックを入れておくと，「サンプル」というショートカットをデスクトップに作成"
          L"します。",
          L"Item1=サンプル,Sample.exe"}},
        {L"Uninstall",
         {L"Key=SampleUnInstall", L"Name=サンプル", L"Title=サンプルのアンインストール",
          L"AllDelete=2", L"RebootDlg=0", L"NotAdmin=1", L"Modify=1"}},
    };
    const Profile written = readProfile(place.folder + L"\\" + IniName);
    EXPECT_EQ(written, expected) << describe(written);
    // Relocated: the manual lies beside the program.
    const Tree during = place.tree();
    EXPECT_TRUE(during.count("Manual.txt"));
    EXPECT_FALSE(during.count("doc/Manual.txt"));

    ASSERT_TRUE(tool.close());
    EXPECT_EQ(place.tree(), before);
}

TEST(EndToEnd, AFailedCheckIsShownInAPlainBoxAndTheToolWaitsForTheNextRequest) {
    Workplace place;
    place.write("Sample.exe", "program");
    ASSERT_TRUE(DeleteFileW((place.folder + L"\\" + InstallerName).c_str()));
    const Tree before = place.tree();

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no message";
    EXPECT_EQ(box->caption, shown::Title);
    EXPECT_EQ(box->text, shown::InstallerMissing);
    EXPECT_EQ(box->buttons, std::vector<std::wstring>{shown::Ok});
    EXPECT_FALSE(box->icon);
    ASSERT_TRUE(answer(*box, shown::Ok));

    EXPECT_TRUE(waitUntil([&] { return enabled(tool.control(id::BitBtnInstall)); }, Patience));
    EXPECT_EQ(place.tree(), before);
    ASSERT_TRUE(tool.close());
    EXPECT_EQ(place.tree(), before);
}

TEST(EndToEnd, NinetyNineFilesAnsweredNoLeaveTheFolderAsItWasAndEndTheTool) {
    Workplace place;
    fillFolder(place, 99);
    const Tree before = place.tree();
    ASSERT_EQ(before.size(), 99u);

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Prog.exe", L"多すぎるソフト")) << NoWindow;

    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no question";
    EXPECT_EQ(box->caption, shown::ConfirmCaption);
    EXPECT_EQ(box->text, shown::ConfirmText);
    EXPECT_EQ(box->buttons, (std::vector<std::wstring>{shown::Yes, shown::No}));
    EXPECT_TRUE(box->icon);
    ASSERT_TRUE(answer(*box, shown::No));

    EXPECT_TRUE(tool.ended());
    EXPECT_EQ(place.tree(), before);
    EXPECT_TRUE(place.starts().empty());
}

TEST(EndToEnd, NinetyEightFilesAreRelocatedAndRestoredAtClose) {
    Workplace place;
    fillFolder(place, 98);
    const Tree before = place.tree();
    ASSERT_EQ(before.size(), 98u);

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Prog.exe", L"ぎりぎりのソフト")) << NoWindow;
    ASSERT_TRUE(place.waitStart()) << "the installer was not started";
    EXPECT_FALSE(waitBox(tool.process().id(), 0).has_value());

    // Every file lies at the top now, each with its contents, beside Inst.ini.
    Tree flat;
    for (auto& [path, contents] : before)
        flat[path.substr(path.find('/') == std::string::npos ? 0 : path.find('/') + 1)] = contents;
    Tree during = place.tree();
    ASSERT_EQ(during.count(Ini), 1u);
    during.erase(Ini);
    EXPECT_EQ(during, flat);

    ASSERT_TRUE(tool.close());
    EXPECT_EQ(place.tree(), before);
}

TEST(EndToEnd, AReadOnlyFileAnsweredYesInstallsInPlace) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    const std::wstring manual = place.folder + L"\\doc\\Manual.txt";
    ASSERT_TRUE(SetFileAttributesW(manual.c_str(), FILE_ATTRIBUTE_READONLY));
    const Tree before = place.tree();

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;

    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no question";
    EXPECT_EQ(box->caption, shown::ConfirmCaption);
    EXPECT_EQ(box->text, shown::ConfirmText);
    ASSERT_TRUE(answer(*box, shown::Yes));
    ASSERT_TRUE(place.waitStart()) << "the installer was not started";

    // Installed in place: nothing moved, no install folder named.
    const std::wstring ini = place.folder + L"\\" + IniName;
    EXPECT_EQ(profileValue(L"Install", L"InstallDir", ini), L"<none>");
    EXPECT_EQ(profileValue(L"Install", L"Title", ini), L"サンプルのインストール");
    Tree withControlFile = before;
    withControlFile[Ini] = place.tree()[Ini];
    EXPECT_EQ(place.tree(), withControlFile);

    // The close moves nothing and leaves this control file for the installer.
    ASSERT_TRUE(tool.close());
    EXPECT_EQ(place.tree(), withControlFile);
    EXPECT_NE(GetFileAttributesW(manual.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(EndToEnd, ARequestForTheRootFolderOfADriveNamesTheDriveAsInstallFolder) {
    // The Wine runner maps T: to an empty folder of the test prefix.
    const std::wstring root = L"T:\\";
    std::vector<std::wstring> present;
    walk(L"T:", L"", present);
    ASSERT_TRUE(present.empty()) << "T:\\ is not empty";
    struct Cleanup {
        ~Cleanup() {
            for (const std::wstring& f : std::vector<std::wstring>{
                     L"T:\\Prog.exe", L"T:\\" + InstallerName, L"T:\\" + IniName, L"T:\\Manual.txt",
                     L"T:\\doc\\Manual.txt"})
                DeleteFileW(f.c_str());
            RemoveDirectoryW(L"T:\\doc");
        }
    } cleanup;
    TestFolder outside;
    const std::wstring record = outside.path().wstring() + L"\\installer-starts.txt";
    Workplace::placeInstaller(L"T:");
    CreateDirectoryW(L"T:\\doc", nullptr);
    std::ofstream(std::filesystem::path(L"T:\\Prog.exe")) << "program";
    std::ofstream(std::filesystem::path(L"T:\\doc\\Manual.txt")) << "manual";

    Tool tool(kwarino(), record);
    ASSERT_TRUE(tool.request(root + L"Prog.exe", L"ドライブのソフト")) << NoWindow;
    ASSERT_TRUE(waitUntil([&] { return !Workplace::lines(record).empty(); }, Patience))
        << "the installer was not started";
    EXPECT_EQ(Workplace::startedFrom(record), "T:\\" + Installer);

    EXPECT_EQ(profileValue(L"Install", L"InstallDir", root + IniName), L"T:");
    EXPECT_NE(GetFileAttributesW(L"T:\\Manual.txt"), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(tool.close());
    std::vector<std::wstring> after;
    walk(L"T:", L"", after);
    std::vector<std::wstring> expected{InstallerName, L"Prog.exe", L"doc\\Manual.txt"};
    std::sort(after.begin(), after.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);
}

TEST(EndToEnd, TheEndOfTheSessionRestoresTheFolderBeforeItsAnswerReturns) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    place.write("doc/img/Figure.png", "figure");
    const Tree before = place.tree();

    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    ASSERT_TRUE(place.waitStart()) << "the installer was not started";
    ASSERT_TRUE(place.tree().count("Figure.png")) << "not relocated";

    // What Windows sends at log-off; after the second answer it may end the
    // process at once, so the folder must be whole by then.
    DWORD_PTR mayEnd = 0;
    ASSERT_TRUE(SendMessageTimeoutW(tool.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                    SMTO_NORMAL, Patience, &mayEnd));
    EXPECT_TRUE(mayEnd);
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(tool.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                    SMTO_NORMAL, Patience, &ignored));
    EXPECT_EQ(place.tree(), before);
    tool.process().kill();
}

// An event the stand-in installers of the tools started meanwhile work on
// until it is set.
HANDLE holdInstallers(const wchar_t* name) {
    SetEnvironmentVariableW(L"KW_INSTALLER_HOLD", name);
    return CreateEventW(nullptr, TRUE, FALSE, name);
}

TEST(EndToEnd, ACloseWaitsForTheInstallerStillAtWorkThenRestoresAndEnds) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    const Tree before = place.tree();
    // The installer works on until the test lets it end.
    HANDLE hold = holdInstallers(L"KwarinoTestInstallerHold");
    Tool tool(kwarino(), place.record);
    SetEnvironmentVariableW(L"KW_INSTALLER_HOLD", nullptr);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    ASSERT_TRUE(place.waitStart()) << "the installer was not started";

    PostMessageW(tool.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    auto label = [&] {
        wchar_t text[256] = L"";
        GetWindowTextW(tool.control(id::Label6), text, 256);
        return std::wstring(text);
    };
    EXPECT_TRUE(waitUntil([&] { return label() == shown::WaitingForInstaller; }, Patience));
    EXPECT_FALSE(IsWindowEnabled(tool.control(id::BtnSansho)));
    EXPECT_TRUE(place.tree().count("Manual.txt")) << "left where the installer reads it";
    EXPECT_TRUE(tool.process().running());
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(
        SendMessageTimeoutW(tool.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, Patience, &ignored))
        << "the window answers while it waits";
    SetEvent(hold);
    ASSERT_TRUE(tool.ended()) << "closed by itself once the installer ended";
    EXPECT_EQ(place.tree(), before);
    CloseHandle(hold);
}

TEST(EndToEnd, AnInstallerThatOutlivesItsToolKeepsItsFilesUntilItEnds) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    const Tree before = place.tree();
    HANDLE hold = holdInstallers(L"KwarinoTestInstallerOutlives");
    {
        Tool killed(kwarino(), place.record);
        ASSERT_TRUE(killed.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
        ASSERT_TRUE(place.waitStart()) << "the installer was not started";
        killed.process().kill(); // from the task manager, its installer's wizard open
    }
    SetEnvironmentVariableW(L"KW_INSTALLER_HOLD", nullptr);
    const Tree relocated = place.tree();
    ASSERT_TRUE(relocated.count("Manual.txt"));

    // The tool again, on the same program: no question while the installer
    // runs, and a request is refused with nothing moved or written.
    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no message";
    EXPECT_EQ(box->text, shown::InstallerStillRunning);
    EXPECT_EQ(box->buttons, std::vector<std::wstring>{shown::Ok});
    ASSERT_TRUE(answer(*box, shown::Ok));
    EXPECT_TRUE(waitUntil([&] { return enabled(tool.control(id::BitBtnInstall)); }, Patience));
    EXPECT_EQ(place.tree(), relocated);

    // Once it has ended, the folder is offered back.
    SetEvent(hold);
    CloseHandle(hold);
    platform::System& sys = platform::realSystem();
    const auto installer = sys.fromNativePath(win32::utf8(place.folder + L"\\" + InstallerName));
    ASSERT_TRUE(installer.has_value());
    auto gone = [&] {
        const std::vector<platform::Process> running = sys.processesRunning(*installer);
        std::for_each(running.begin(), running.end(), [&](auto p) { sys.releaseProcess(p); });
        return running.empty();
    };
    ASSERT_TRUE(waitUntil(gone, Patience));
    ASSERT_TRUE(
        tool.browse(id::BtnSansho, shown::ProgramDialogTitle, place.folder + L"\\Sample.exe"));
    box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "not offered back";
    EXPECT_EQ(box->text, shown::LeftRelocated);
    ASSERT_TRUE(answer(*box, shown::Yes));
    // The control file goes once every file is back.
    const std::wstring ini = place.folder + L"\\" + IniName;
    EXPECT_TRUE(waitUntil(
        [&] { return GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES; }, Patience));
    EXPECT_EQ(place.tree(), before);
    ASSERT_TRUE(tool.close());
}

// LoadLibraryW(`library`) run by the tool itself, on a thread started in it:
// the exit code, the low half of the module's handle, 0 when nothing loaded;
// nothing when the thread did not run.
std::optional<DWORD> loadedBy(const Tool& tool, const std::wstring& library) {
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                     PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                 FALSE, tool.process().id());
    const SIZE_T size = (library.size() + 1) * sizeof(wchar_t);
    void* name =
        process ? VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    // kernel32.dll, and so LoadLibraryW, lies at the same address in every process.
    const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = name && WriteProcessMemory(process, name, library.c_str(), size, nullptr)
                        ? CreateRemoteThread(process, nullptr, 0, load, name, 0, nullptr)
                        : nullptr;
    DWORD code = 0;
    const bool ran = thread && WaitForSingleObject(thread, Patience) == WAIT_OBJECT_0 &&
                     GetExitCodeThread(thread, &code);
    if (thread)
        CloseHandle(thread);
    if (process)
        CloseHandle(process);
    return ran ? std::optional<DWORD>(code) : std::nullopt;
}

TEST(EndToEnd, ALibraryPlantedBesideTheProgramIsNeverLoadedFromThere) {
    Workplace place;
    const std::wstring folder = place.root + L"\\Downloads";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(kwarino().c_str(), (folder + L"\\kwarino.exe").c_str(), TRUE));
    ASSERT_TRUE(
        CopyFileW(builtPath(KW_PLANTED).c_str(), (folder + L"\\kwplanted.dll").c_str(), TRUE));
    Tool tool(folder + L"\\kwarino.exe", place.record);
    ASSERT_TRUE(tool.started()) << NoWindow;
    // By its bare name, as the shell and the common dialogs load theirs; a system
    // library still loads.
    EXPECT_EQ(loadedBy(tool, L"kwplanted.dll"), DWORD{0});
    EXPECT_NE(loadedBy(tool, L"comdlg32.dll").value_or(0), DWORD{0});
    ASSERT_TRUE(tool.close());
}

TEST(EndToEnd, AControlFileThatCannotBeWrittenLeavesEveryFileInPlace) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    const Tree before = place.tree();

    // The tool over a platform layer that refuses to write Inst.ini.
    Tool tool(builtPath(KW_WRITE_FAILING_KWARINO), place.record);
    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;

    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_EQ(box->caption, shown::Title);
    EXPECT_EQ(box->text, place.folder + L"\\" + IniName + shown::CannotWriteAfterPath);
    EXPECT_EQ(box->buttons, std::vector<std::wstring>{shown::Ok});
    EXPECT_TRUE(box->icon);
    ASSERT_TRUE(answer(*box, shown::Ok));

    // Nothing moved, nothing written, no installer; the tool keeps running.
    EXPECT_TRUE(waitUntil([&] { return !waitBox(tool.process().id(), 0).has_value(); }, Patience));
    EXPECT_EQ(place.tree(), before);
    EXPECT_TRUE(place.starts().empty());
    EXPECT_TRUE(tool.process().running());
    ASSERT_TRUE(tool.close());
    EXPECT_EQ(place.tree(), before);
}

TEST(EndToEnd, AnInstallerThatCannotStartAndAFileThatCannotGoBackAreSaid) {
    Workplace place;
    place.write("Sample.exe", "program");
    place.write("doc/Manual.txt", "manual");
    ASSERT_TRUE(DeleteFileW((place.folder + L"\\" + InstallerName).c_str()));
    place.write(Installer, "not a program");
    Tool tool(kwarino(), place.record);
    // The error box's text, once answered.
    auto errorBox = [&]() -> std::wstring {
        std::optional<Box> box = waitBox(tool.process().id(), Patience);
        if (!box || !box->icon || box->caption != shown::Title || !answer(*box, shown::Ok))
            return L"<no error box>";
        return box->text;
    };

    ASSERT_TRUE(tool.request(place.folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    EXPECT_EQ(errorBox(), place.folder + L"\\" + InstallerName + shown::CannotStartAfterPath);
    EXPECT_TRUE(waitUntil([&] { return !waitBox(tool.process().id(), 0).has_value(); }, Patience));
    // The subfolder the relocation emptied goes before the close.
    ASSERT_TRUE(RemoveDirectoryW((place.folder + L"\\doc").c_str()));
    PostMessageW(tool.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    std::optional<Box> box = waitBox(tool.process().id(), Patience);
    ASSERT_TRUE(box.has_value()) << "no box for the file that cannot go back";
    EXPECT_EQ(box->text, shown::CannotRestoreFirst + place.folder + L"\\doc\\Manual.txt" +
                             shown::CannotRestoreLast);
    EXPECT_EQ(box->buttons, (std::vector<std::wstring>{shown::Retry, shown::Cancel}));
    ASSERT_TRUE(answer(*box, shown::Cancel));
    ASSERT_TRUE(tool.ended());
    EXPECT_EQ(
        place.tree(),
        (Tree{{Installer, "not a program"}, {"Manual.txt", "manual"}, {"Sample.exe", "program"}}));
}

// The user renames the folder above the program folder through Windows while
// the installer runs: the folder comes back where it now lies.
TEST(EndToEnd, AFolderRenamedWhileTheToolHoldsItComesBackWhereItNowLies) {
    Workplace place;
    const std::wstring above = place.root + L"\\Above", folder = above + L"\\Sample";
    CreateDirectoryW(above.c_str(), nullptr);
    Workplace::placeInstaller(folder);
    place.temp.write("Above/Sample/Sample.exe", "program");
    place.temp.write("Above/Sample/doc/Manual.txt", "manual");
    const auto before = place.temp.snapshot();
    Tool tool(kwarino(), place.record);
    ASSERT_TRUE(tool.request(folder + L"\\Sample.exe", L"サンプル")) << NoWindow;
    ASSERT_TRUE(place.waitStart()) << "the installer was not started";
    ASSERT_TRUE(MoveFileW(above.c_str(), (place.root + L"\\Moved").c_str()));
    ASSERT_TRUE(tool.close());
    ASSERT_TRUE(MoveFileW((place.root + L"\\Moved").c_str(), above.c_str()));
    auto after = place.temp.snapshot();
    after.erase("installer-starts.txt");
    EXPECT_EQ(after, before);
}

} // namespace
