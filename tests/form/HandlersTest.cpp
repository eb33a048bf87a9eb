// The window's handlers on a window without a toolkit: the browse buttons, the
// rules for the install button, whole requests on real folders, help, and the
// restore at close however the window closes.
#include "form/FakeView.h"
#include "form/Unit1.h"
#include "form/WindowTexts.h"
#include "prepare/FolderUse.h"
#include "support/FaultySystem.h"
#include "support/IniText.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shlguid.h>
#include <shobjidl.h>
#else
#include <sys/wait.h>
#endif

namespace {

using testing_support::Ini;
using testing_support::Installer;
using testing_support::Operation;

using form::ControlId;
using form::Role;
using testing_support::FakeView;
namespace text = window_text;

const ControlId ProgramField = form::id(Role::EditProgramFile);
const ControlId NameField = form::id(Role::EditApplication);
const ControlId Install = form::id(Role::BitBtnInstall);
const ControlId Progress = form::id(Role::Label6);

ControlId nameField(int row) {
    return form::id(Role::EditStartMenu, row);
}
ControlId fileField(int row) {
    return form::id(Role::EditStartMenuFile, row);
}

// The box for files that cannot go back, naming these.
std::string notBackBox(const std::vector<std::string>& paths, const char* others = nullptr) {
    std::string box = text::CannotRestoreFirst;
    for (const std::string& path : paths)
        box += "\r" + path;
    return box + (others ? std::string("\r") + others : "") + "\r" + text::CannotRestoreLast;
}

class Handlers : public testing::Test {
protected:
    testing_support::TestFolder tmp;
    testing_support::FaultySystem sys;
    FakeView view;
    form::TForm1 form{view, sys};

    Handlers() { view.form = &form; }

    void TearDown() override {
        form::TForm1::setProgressDelay(500);
        EXPECT_EQ(view.unexpected, 0) << "a question or dialog nobody expected";
        EXPECT_TRUE(view.answers.empty()) << "answers left unused";
        EXPECT_TRUE(view.fileNames.empty()) << "file names left unused";
    }

    // The native path, as a dialog gives it and a field shows it.
    std::string native(const std::string& relative) const {
        const std::u8string path = tmp.native(relative).u8string();
        return std::string(path.begin(), path.end());
    }
    void browseProgram(const std::string& path) {
        view.fileNames.push_back(path);
        form.BtnSanshoClick();
    }
    void browseRow(int row, const std::string& path) {
        view.fileNames.push_back(path);
        form.BtnStartMenuSanshoClick(row);
    }
    std::vector<bool> rowStates() const {
        std::vector<bool> out;
        for (ControlId i : form::startMenuRows())
            out.push_back(view[i].enabled);
        return out;
    }
    bool installEnabled() const { return view[Install].enabled; }
};

#ifdef _WIN32
// A shell shortcut to `target`, saved as Explorer saves one.
void makeShortcut(const std::wstring& shortcut, const std::filesystem::path& target) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IShellLinkW, reinterpret_cast<void**>(&link)));
    IPersistFile* file = nullptr;
    EXPECT_HRESULT_SUCCEEDED(link->SetPath(target.c_str()));
    EXPECT_HRESULT_SUCCEEDED(
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (file) {
        EXPECT_HRESULT_SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
        file->Release();
    }
    link->Release();
}
#endif

const std::vector<bool> AllEnabled(9, true);
const std::vector<bool> AllDisabled(9, false);

// ---- the program-file browse ----

TEST_F(Handlers, ProgramBrowseSetsFolderValuesFieldAndRows) {
    for (const char* program : {"Sample/Sample.exe", "ソフト/ソ.exe"}) {
        // "ソ" is 0x83 0x5C in code page 932: its second byte is no backslash.
        SCOPED_TRACE(program);
        const std::string folder = std::string(program).substr(0, std::string(program).find('/'));
        browseProgram(native(program));
        EXPECT_EQ(view.dialogs.back().title, text::ProgramFileTitle);
        EXPECT_EQ(view.dialogs.back().filter, text::ProgramFileFilter);
        const prepare::RunState& state = form.runState();
        EXPECT_EQ(state.ProgramFileName, tmp.logic(program));
        EXPECT_EQ(state.ProgramFolder, tmp.logic(folder) + "\\");
        EXPECT_EQ(state.ProgramFolderLength, state.ProgramFolder.size());
        EXPECT_EQ(view[ProgramField].text, native(program));
        EXPECT_EQ(rowStates(), AllEnabled);
        EXPECT_FALSE(installEnabled()) << "the software's name is still empty";
    }
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(Handlers, CancelledBrowseChangesNothing) {
    view.fileNames.push_back(std::nullopt);
    form.BtnSanshoClick();
    EXPECT_EQ(view.dialogs.size(), 1u);
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_EQ(form.runState().ProgramFolderLength, 0u);
    EXPECT_TRUE(view[ProgramField].text.empty());
    EXPECT_EQ(rowStates(), AllDisabled);

    const std::string program = native("Sample/Sample.exe");
    browseProgram(program);
    const prepare::RunState before = form.runState();
    view.fileNames.push_back(std::nullopt);
    form.BtnSanshoClick();
    view.fileNames.push_back(std::nullopt);
    form.BtnStartMenuSanshoClick(1);
    view.fileNames.push_back(std::nullopt);
    form.BtnSanshoClick();
    // Each dialog started at the one file chosen.
    for (std::size_t i = 2; i < view.dialogs.size(); ++i)
        EXPECT_EQ(view.dialogs[i].startFileName, program) << i;
    EXPECT_EQ(form.runState().ProgramFileName, before.ProgramFileName);
    EXPECT_EQ(form.runState().ProgramFolder, before.ProgramFolder);
    EXPECT_EQ(form.runState().ProgramFolderLength, before.ProgramFolderLength);
    EXPECT_EQ(view[ProgramField].text, program);
    EXPECT_TRUE(view[fileField(1)].text.empty());
}

TEST_F(Handlers, LastChosenFileIsTheStartOfEitherBrowse) {
    const std::string program = native("Sample/Sample.exe");
    const std::string manual = native("Sample/doc/Manual.txt");
    browseProgram(program);
    browseRow(1, manual);
    EXPECT_EQ(view.dialogs.back().startFileName, program);
    view.fileNames.push_back(std::nullopt);
    form.BtnSanshoClick();
    EXPECT_EQ(view.dialogs.back().startFileName, manual);
    EXPECT_EQ(view.dialogs.back().title, text::ProgramFileTitle);
    EXPECT_EQ(view.dialogs.back().filter, text::ProgramFileFilter);
}

TEST_F(Handlers, BrowseRunsWholeEvenForTheNameInTheFieldAndTypingKeepsTheBrowsedValues) {
    const std::string program = native("One/One.exe");
    view.setText(ProgramField, program); // typed: only the text changes
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_EQ(rowStates(), AllDisabled);
    browseProgram(program);
    EXPECT_EQ(form.runState().ProgramFileName, tmp.logic("One/One.exe"));
    EXPECT_EQ(rowStates(), AllEnabled);

    view.setText(ProgramField, native("Two/Two.exe"));
    EXPECT_EQ(form.runState().ProgramFileName, tmp.logic("One/One.exe"));
    EXPECT_EQ(form.runState().ProgramFolder, tmp.logic("One") + "\\");
    browseProgram(native("Two/Sub/Two.exe"));
    EXPECT_EQ(form.runState().ProgramFileName, tmp.logic("Two/Sub/Two.exe"));
    EXPECT_EQ(form.runState().ProgramFolder, tmp.logic("Two/Sub") + "\\");
    EXPECT_EQ(form.runState().ProgramFolderLength, form.runState().ProgramFolder.size());
}

TEST_F(Handlers, NameThatCodePage932CannotHoldIsRefusedWithAPlainBox) {
    browseProgram(native("한국/Sample.exe"));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Plain);
    EXPECT_EQ(view.boxes[0].text, text::UnusableName);
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_TRUE(form.runState().ProgramFolder.empty());
    EXPECT_EQ(form.runState().ProgramFolderLength, 0u);
    EXPECT_TRUE(view[ProgramField].text.empty());
    EXPECT_EQ(rowStates(), AllDisabled);
}

// ---- the start-menu browse ----

TEST_F(Handlers, StartMenuButtonsBrowseForTheirOwnRowOnly) {
    const std::string program = native("Sample/Sample.exe");
    browseProgram(program);
    const prepare::RunState before = form.runState();
    view.setText(nameField(2), "説明書");
    for (int row : {2, 1, 3}) { // row 2 first, so a fixed row would show
        SCOPED_TRACE(row);
        const std::size_t shown = view.dialogs.size();
        browseRow(row, native("Other/File" + std::to_string(row) + ".txt"));
        EXPECT_EQ(view.dialogs.size(), shown + 1);
        EXPECT_EQ(view.dialogs.back().title, text::AnyFileTitle);
        EXPECT_EQ(view.dialogs.back().filter, text::AnyFileFilter);
        EXPECT_EQ(view[ProgramField].text, program);
        EXPECT_EQ(form.runState().ProgramFileName, before.ProgramFileName);
        EXPECT_EQ(form.runState().ProgramFolder, before.ProgramFolder);
    }
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(view[fileField(row)].text, native("Other/File" + std::to_string(row) + ".txt"));
    EXPECT_EQ(view[nameField(1)].text, "");
    EXPECT_EQ(view[nameField(2)].text, "説明書");
    EXPECT_EQ(view[nameField(3)].text, "");
    EXPECT_TRUE(view.boxes.empty());
}

// ---- the install button ----

TEST_F(Handlers, InstallButtonFollowsTheTwoFields) {
    browseProgram(native("Sample/Sample.exe"));
    EXPECT_FALSE(installEnabled()) << "waits for the software's name";
    view.setText(NameField, "K");
    EXPECT_TRUE(installEnabled());
    view.setText(NameField, "");
    EXPECT_FALSE(installEnabled());
    view.setText(NameField, "K");
    view.setText(ProgramField, "");
    EXPECT_FALSE(installEnabled());
    view.setText(ProgramField, "/a.exe");
    EXPECT_TRUE(installEnabled()) << "the program file came second";
}

TEST_F(Handlers, ChangeWithTheOtherFieldEmptyKeepsTheButtonsState) {
    view.setText(ProgramField, "/a.exe");
    EXPECT_FALSE(installEnabled()) << "disabled stays disabled";
    view.setText(ProgramField, "");
    // A failed check enables the button again even when a field is empty.
    view[Install].enabled = true;
    view.setText(NameField, "K");
    EXPECT_TRUE(installEnabled()) << "enabled stays enabled";
    view.setText(NameField, "");
    EXPECT_FALSE(installEnabled()) << "the changed field is empty";
    view[Install].enabled = true;
    view.setText(ProgramField, "/b.exe");
    EXPECT_TRUE(installEnabled());
}

// ---- whole requests ----

// A second window of the tool over `system`: another copy, or this one over
// the real platform layer.
struct SecondWindow {
    FakeView view;
    form::TForm1 form;
    explicit SecondWindow(platform::System& system, form::TForm1::Clock clock = prepare::Clock::now)
        : form(view, system, std::move(clock)) {
        view.form = &form;
    }
    // The program file browsed, a name typed, and インストール pressed.
    void request(const std::string& programFile) {
        view.fileNames.push_back(programFile);
        form.BtnSanshoClick();
        view.setText(NameField, "x");
        form.BitBtnInstallClick();
    }
};

class Requests : public Handlers {
protected:
    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/" + Installer, "installer");
        tmp.write("Sample/doc/Manual.txt", "manual");
    }
    void fill(const std::string& application) {
        browseProgram(native("Sample/Sample.exe"));
        view.setText(NameField, application);
    }
    void install() {
        ASSERT_TRUE(installEnabled());
        form.BitBtnInstallClick();
    }
    // The program file under a second spelling of its folder: other letters on
    // Windows, a linked folder elsewhere.
    std::string spelledOtherwise() {
#ifdef _WIN32
        return native("SAMPLE/sample.EXE");
#else
        if (!tmp.exists("Link"))
            std::filesystem::create_directory_symlink(tmp.native("Sample"), tmp.native("Link"));
        return native("Link/Sample.exe");
#endif
    }
    // Whether another copy of the tool would find the folder held.
    bool held(const std::string& folder) {
        return !sys.holdFolder(tmp.logic(folder)).has_value();
    }
    // Enough files for the survey to report its progress.
    void manyFiles(const std::string& folder = "Sample") {
        for (int i = 0; i < 600; ++i)
            tmp.write(folder + "/many/f" + std::to_string(i) + ".dat");
    }
};

TEST_F(Requests, SampleRequestThenCloseRestoresTheFolder) {
    const auto before = tmp.snapshot();
    fill("サンプル");
    browseRow(1, native("Sample/doc/Manual.txt"));
    view.setText(nameField(1), "説明書");
    install();

    EXPECT_TRUE(view.boxes.empty());
    EXPECT_FALSE(view[Progress].visible);
    EXPECT_GE(view.keptPainted, 1) << "the progress text is drawn before the survey";
    EXPECT_FALSE(installEnabled()) << "until a field changes";
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt"));
    const auto ini = testing_support::parseIniText(tmp.read("Sample/" + Ini));
    EXPECT_EQ(testing_support::sectionLines(ini, "Group")[4], "Item2=説明書,doc\\Manual.txt");
    EXPECT_EQ(testing_support::sectionLines(ini, "Install")[1], "InstallDir=Sample");
    EXPECT_EQ(sys.calls.back(), "shellOpen " + tmp.logic("Sample/" + Installer));
    ASSERT_EQ(form.runState().CreatedIniFiles().size(), 1u);
    view.setText(NameField, "サンプル2");
    EXPECT_TRUE(installEnabled()) << "a change enables it again";

    view.closeWindow();
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(Requests, FailedCheckShowsItsMessageFocusesAndEnablesTheButton) {
    fill("x");
    view.setText(fileField(2), native("Sample/none.txt"));
    install();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Plain);
    EXPECT_EQ(view.boxes[0].text, text::StartMenuFileMissing);
    EXPECT_EQ(view.focus, fileField(2));
    EXPECT_TRUE(installEnabled());
    EXPECT_FALSE(view[Progress].visible);
}

TEST_F(Requests, TextThatCannotBeWrittenIsRefusedAndItsFieldFocused) {
    const std::string emoji = "\U0001F600";
    struct Case {
        ControlId field;
        std::string text;
        std::string what;
    };
    const Case cases[] = {
        {ProgramField, native("Sample/" + emoji + ".exe"), text::FieldProgramFile},
        {NameField, "名前" + emoji, text::FieldApplication},
        {nameField(3), "説明" + emoji, text::FieldStartMenuName3},
        {fileField(2), native("Sample/doc/" + emoji + ".txt"), text::FieldStartMenuFile2},
    };
    fill("x");
    for (int row = 1; row <= 3; ++row)
        view.setText(fileField(row), native("Sample/doc/Manual.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string before = view[c.field].text;
        view.setText(c.field, c.text);
        view[Install].enabled = true;
        view.boxes.clear();
        install();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, c.what + text::Unwritable);
        EXPECT_EQ(view.focus, c.field);
        view.setText(c.field, before);
    }
    EXPECT_FALSE(tmp.exists("Sample/" + Ini));
}

TEST_F(Requests, NoToTheQuestionClosesTheWindowWithTheFolderUntouched) {
    tmp.write("Sample/readme.txt");
    tmp.write("Sample/doc/readme.txt");
    const auto before = tmp.snapshot();
    fill("x");
    view.answers.push_back(form::Answer::No);
    install();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Question);
    EXPECT_EQ(view.boxes[0].caption, text::ConfirmCaption);
    EXPECT_EQ(view.boxes[0].text, text::ConfirmRelocationRefused);
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(Requests, ClosingTheQuestionBoxGoesOnAsYes) {
    tmp.write("Sample/readme.txt");
    tmp.write("Sample/doc/readme.txt");
    fill("x");
    view.answers.push_back(form::Answer::Closed);
    install();
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(tmp.exists("Sample/" + Ini));
    EXPECT_TRUE(tmp.exists("Sample/doc/readme.txt")) << "installed in place";
    view.closeWindow();
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(tmp.exists("Sample/" + Ini)) << "no InstallDir: the control file stays";
}

TEST_F(Requests, ErrorsOfTheToolsOwnWorkShowTheErrorBoxAndLeaveNothingUnrecorded) {
    tmp.write("Sample/doc/Second.txt", "second");
    sys.enumerationOrder = [](const auto& a, const auto& b) { return a.name < b.name; };
    const auto before = tmp.snapshot();
    struct Case {
        Operation op;
        std::string path, after; // the path named, and the text after it
        bool relocated;          // the files stay moved and recorded until the close
    };
    const Case cases[] = {
        {Operation::writeFileAtomic, native("Sample/" + Ini), text::CannotWrite, false},
        // The second move fails: the first goes back, and Inst.ini goes.
        {Operation::moveNoReplace, native("Sample/doc/Second.txt"), text::CannotMove, false},
        {Operation::shellOpen, native("Sample/" + Installer), text::CannotStart, true},
    };
    fill("x");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing_support::operationName(c.op));
        view.boxes.clear();
        sys.calls.clear();
        sys.fail = [&](Operation op, const std::string& path) {
            return op == c.op &&
                   (op != Operation::moveNoReplace || path.find("Second") != std::string::npos);
        };
        bool heldDuringTheBox = false;
        view.onQuestion = [&] { heldDuringTheBox = held("Sample"); };
        install();
        EXPECT_TRUE(heldDuringTheBox);
        EXPECT_EQ(held("Sample"), c.relocated) << "let go once the box is answered";
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Error);
        EXPECT_EQ(view.boxes[0].text, c.path + c.after);
        EXPECT_FALSE(view[Progress].visible);
        EXPECT_TRUE(installEnabled());
        EXPECT_EQ(tmp.exists("Sample/Manual.txt"), c.relocated);
        EXPECT_EQ(form.runState().CreatedIniFiles().size(), c.relocated ? 1u : 0u);
        if (!c.relocated) {
            EXPECT_EQ(tmp.snapshot(), before);
            EXPECT_NE(sys.calls.back().rfind("shellOpen", 0), 0u) << "the installer never starts";
        }
    }
    sys.fail = nullptr;
    view.onQuestion = nullptr;
    view.closeWindow();
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(Requests, CloseNamesTheFilesThatCannotGoBackAndTriesThemAgain) {
    std::vector<std::string> doc{native("Sample/doc/Manual.txt")};
    for (char c = 'a'; c <= 'j'; ++c) {
        tmp.write(std::string("Sample/doc/") + c + ".txt");
        doc.push_back(native(std::string("Sample/doc/") + c + ".txt"));
    }
    tmp.write("Sample/taken/t.txt");
    sys.enumerationOrder = [](const auto& a, const auto& b) { return a.name < b.name; };
    fill("x");
    install();
    // The subfolder the relocation emptied is deleted, and the installer took
    // a file away: that one is not missed.
    std::filesystem::remove_all(tmp.native("Sample/doc"));
    std::filesystem::remove(tmp.native("Sample/t.txt"));
    // Before trying again the user brings the folder back, but another file
    // has taken a.txt's place.
    view.answers.push_back(form::Answer::Retry);
    bool heldDuringTheBox = false;
    view.onQuestion = [&] {
        view.onQuestion = nullptr;
        heldDuringTheBox = held("Sample");
        tmp.write("Sample/doc/a.txt", "another");
    };
    view.closeWindow();
    EXPECT_TRUE(heldDuringTheBox) << "no other copy moves files while the user is asked";
    EXPECT_FALSE(held("Sample"));
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Retry);
    EXPECT_EQ(view.boxes[0].text,
              notBackBox({doc.begin(), doc.begin() + 10}, text::CannotRestoreOneOther));
    EXPECT_EQ(view.boxes[1].text, notBackBox({doc[1]})) << "cancelled, it stays";
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(tmp.exists("Sample/a.txt")) << "left beside the program";
    EXPECT_TRUE(tmp.exists("Sample/doc/Manual.txt") && tmp.exists("Sample/doc/j.txt"));
    EXPECT_FALSE(tmp.exists("Sample/" + Ini));
}

TEST_F(Requests, AControlFileTheCloseCannotReadIsSaidAndKeptOneOutsideTheDosRangeIsNot) {
    fill("x");
    install();
    sys.fail = [](Operation op, const std::string&) { return op == Operation::readFile; };
    EXPECT_TRUE(form.FormCloseQuery());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, native("Sample/" + Ini) + text::CannotRead);
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt") && tmp.exists("Sample/" + Ini));
    // Readable again, dated 1976, its file's subfolder gone: it is met all the same.
    sys.fail = nullptr;
    std::filesystem::last_write_time(tmp.native("Sample/" + Ini),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(24 * 365 * 50));
    std::filesystem::remove(tmp.native("Sample/doc"));
    EXPECT_TRUE(form.FormCloseQuery());
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[1].text, notBackBox({native("Sample/doc/Manual.txt")}));
    EXPECT_FALSE(tmp.exists("Sample/" + Ini));
}

TEST_F(Requests, CloseDuringTheMovesUpStopsTheRequestBeforeTheInstallerStarts) {
    bool moving = true;
    sys.fail = [&](Operation op, const std::string&) {
        if (op == Operation::moveNoReplace && std::exchange(moving, false))
            view.closeWindow(); // the close box, while the last file moves up
        return false;
    };
    fill("x");
    install();
    EXPECT_TRUE(view.closed);
    for (const auto& call : sys.calls)
        EXPECT_NE(call.rfind("shellOpen", 0), 0u) << "the installer never starts";
}

TEST_F(Requests, LongSurveyShowsProgressAndItsCancelStopsTheRequest) {
    manyFiles();
    const auto before = tmp.snapshot();
    fill("x");
    form::TForm1::setProgressDelay(0);
    bool labelShown = false;
    view.onProgress = [&](std::size_t) {
        labelShown = view[Progress].visible;
        return false; // the user presses "キャンセル"
    };
    install();
    EXPECT_EQ(view.progress.size(), 1u);
    EXPECT_TRUE(labelShown) << "the progress text is up while the survey runs";
    EXPECT_FALSE(view.progressShown) << "the progress window is gone";
    EXPECT_FALSE(view[Progress].visible);
    EXPECT_TRUE(installEnabled());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(tmp.snapshot(), before);
    EXPECT_TRUE(form.runState().CreatedIniFiles().empty());
    EXPECT_FALSE(held("Sample")) << "nothing recorded: let go";
}

TEST_F(Requests, ShortSurveyOnlyKeepsTheWindowPainted) {
    manyFiles();
    fill("x");
    form::TForm1::setProgressDelay(60 * 60 * 1000);
    view.answers.push_back(form::Answer::Yes); // too many files to move
    install();
    EXPECT_TRUE(view.progress.empty());
    EXPECT_GE(view.keptPainted, 2);
    EXPECT_TRUE(tmp.exists("Sample/" + Ini));
    view.closeWindow();
}

TEST_F(Requests, CloseDuringTheSurveyWaitsForTheRequestToStop) {
    manyFiles();
    const auto before = tmp.snapshot();
    fill("x");
    form::TForm1::setProgressDelay(0);
    bool closedAtOnce = true;
    view.onProgress = [&](std::size_t) {
        view.closeWindow(); // the close box, while files are being surveyed
        closedAtOnce = view.closed;
        return true;
    };
    install();
    EXPECT_FALSE(closedAtOnce) << "the window waits for the request";
    EXPECT_TRUE(view.closed) << "and closes once it has stopped";
    EXPECT_EQ(tmp.snapshot(), before);
    EXPECT_TRUE(form.runState().CreatedIniFiles().empty());
}

TEST_F(Requests, SessionEndOrCloseDuringTheQuestionStopsTheRequest) {
    tmp.write("Sample/other/Manual.txt"); // a duplicate name: the question is asked
    const auto before = tmp.snapshot();
    for (bool byUser : {false, true}) {
        fill(byUser ? "x" : "y");
        view.answers.push_back(form::Answer::Yes);
        bool heldAfterTheSessionEnd = false;
        view.onQuestion = [&] {
            if (byUser)
                view.closeWindow();
            else
                form.SessionEnding();
            heldAfterTheSessionEnd = held("Sample");
        };
        sys.calls.clear();
        install();
        EXPECT_TRUE(heldAfterTheSessionEnd) << "the request's folder stays its own";
        EXPECT_EQ(view.closed, byUser);
        EXPECT_EQ(tmp.snapshot(), before) << "nothing written, nothing moved";
        for (const auto& call : sys.calls)
            EXPECT_NE(call.rfind("shellOpen", 0), 0u) << "the installer never starts";
    }
}

TEST_F(Requests, CancelledSessionEndThenAnotherRequestIsRestoredAtClose) {
    const auto before = tmp.snapshot();
    fill("x");
    install();
    ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));
    form.SessionEnding();
    EXPECT_EQ(tmp.snapshot(), before) << "restored when the session ends";
    EXPECT_TRUE(form.runState().CreatedIniFiles().empty()) << "and no longer on the record";

    // The session end was cancelled: the user goes on with another request.
    view.setText(NameField, "y");
    install();
    ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));
    ASSERT_TRUE(tmp.exists("Sample/" + Ini));
    view.closeWindow();
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(tmp.snapshot(), before) << "that request is restored too";
}

TEST_F(Requests, SessionEndDuringTheQuestionRestoresAtOnceThenTheRequestStopsWindowStays) {
    tmp.write("Other/Other.exe");
    tmp.write("Other/" + Installer);
    manyFiles("Other"); // too many to move: the question is asked
    tmp.write("Third/Third.exe");
    tmp.write("Third/" + Installer);
    tmp.write("Third/doc/t.txt");
    auto before = tmp.snapshot();
    sys.startsProcesses = true;
    browseProgram(native("Third/Third.exe"));
    view.setText(NameField, "x");
    install(); // its installer runs on: 1
    fill("x");
    install();
    sys.ended = {2};
    ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));

    browseProgram(native("Other/Other.exe"));
    bool restoredMeanwhile = false;
    view.answers.push_back(form::Answer::Yes);
    view.onQuestion = [&] {
        form.SessionEnding(); // Windows may end the tool right after
        restoredMeanwhile = tmp.exists("Sample/doc/Manual.txt");
    };
    install();
    EXPECT_TRUE(restoredMeanwhile) << "the earlier folder came back at once";
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(installEnabled()) << "the request stopped; the user may go on";
    EXPECT_TRUE(tmp.exists("Third/t.txt")) << "its installer still reads it there";
    sys.ended = {1, 2};
    form.SessionEnding();
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(Requests, CloseWaitsForTheInstallersStillAtWorkASecondCloseDoesNot) {
    tmp.write("Other/Other.exe");
    tmp.write("Other/" + Installer);
    tmp.write("Other/doc/o.txt");
    const auto before = tmp.snapshot();
    sys.startsProcesses = true;
    fill("x");
    install(); // its installer: 1
    browseProgram(native("Other/Other.exe"));
    install(); // 2, done by the close
    sys.ended = {2};
    view.closeWindow();
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(tmp.exists("Other/doc/o.txt")) << "its folder is back at once";
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "the installer still reads it there";
    EXPECT_TRUE(view[Progress].visible);
    EXPECT_EQ(view[Progress].text, text::WaitingForInstaller);
    for (ControlId c = 0; c < view.controls.size(); ++c)
        EXPECT_TRUE(form::controls()[c].kind == form::Kind::Label || !view[c].enabled) << c;
    EXPECT_EQ(form.installersWaitedFor(), std::vector<platform::Process>{1});
    form.InstallerEnded(); // woken, but it still runs
    EXPECT_FALSE(view.closed);
    view.closeWindow(); // the user's choice wins
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(tmp.snapshot(), before);
    EXPECT_EQ(sys.released, (std::vector<platform::Process>{2, 1})) << "each let go once";
}

TEST_F(Requests, AControlFileTheCloseCannotReadIsSaidOnceWhileTheCloseWaits) {
    tmp.write("Other/Other.exe");
    tmp.write("Other/" + Installer);
    tmp.write("Other/doc/o.txt");
    sys.startsProcesses = true;
    fill("x");
    install(); // 1
    browseProgram(native("Other/Other.exe"));
    install(); // 2
    sys.fail = [&](Operation op, const std::string& path) {
        return op == Operation::readFile && path == tmp.logic("Other/" + Ini);
    };
    sys.ended = {2};
    view.onQuestion = [&] {
        view.onQuestion = nullptr;
        sys.ended = {1, 2};
        form.InstallerEnded(); // the window's look, while the box is up
        EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "nothing comes back under a box";
        sys.ended = {2};
    };
    view.closeWindow();
    form.InstallerEnded(); // 1 still runs: every restore is tried again
    sys.ended = {1, 2};
    form.InstallerEnded();
    EXPECT_TRUE(view.closed);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, native("Other/" + Ini) + text::CannotRead);
}

// ---- one folder, one owner ----

TEST_F(Requests, AnotherCopysFolderIsRefusedAndOnceThatCopyIsGoneOfferedBack) {
    tmp.write("Other/Other.exe");
    tmp.write("Other/" + Installer);
    tmp.write("Other/a/x.txt");
    tmp.write("Other/b/x.txt"); // a request there would ask its question
    const std::string secondSpelling = spelledOtherwise();
    const auto before = tmp.snapshot();
    {
        // Another copy of the tool, over the same real platform layer.
        SecondWindow other(sys);
        other.request(native("Sample/Sample.exe"));
        ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));
        const std::string ini = tmp.read("Sample/" + Ini);
        // Its folder, held, under any spelling: no question on the browse,
        // and the request ends.
        browseProgram(secondSpelling);
        view.setText(NameField, "y");
        install();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Plain);
        EXPECT_EQ(view.boxes[0].text, text::FolderInUse);
        EXPECT_TRUE(installEnabled());
        EXPECT_EQ(tmp.read("Sample/" + Ini), ini);
        EXPECT_TRUE(form.runState().CreatedIniFiles().empty());
        // A held folder with no control file yet: refused before the survey.
        const auto otherHold = sys.holdFolder(tmp.logic("Other"));
        browseProgram(native("Other/Other.exe"));
        install();
        ASSERT_EQ(view.boxes.size(), 2u);
        EXPECT_EQ(view.boxes[1].text, text::FolderInUse);
    } // that copy dies without its close, and its installer works on
    sys.running.insert({tmp.logic("Sample/" + Installer), 7});
    browseProgram(native("Sample/Sample.exe"));
    install();
    ASSERT_EQ(view.boxes.size(), 3u) << "no question while the installer runs";
    EXPECT_EQ(view.boxes[2].kind, FakeView::Box::Plain);
    EXPECT_EQ(view.boxes[2].text, text::InstallerStillRunning);
    EXPECT_TRUE(installEnabled());
    EXPECT_FALSE(tmp.exists("Sample/doc/Manual.txt")) << "nothing moved";
    EXPECT_NE(std::find(sys.released.begin(), sys.released.end(), 7), sys.released.end())
        << "what the look found is let go";

    sys.ended.insert(7);
    view.answers = {form::Answer::No, form::Answer::Yes};
    browseProgram(native("Sample/Sample.exe"));
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "No changes nothing";
    bool heldDuringTheQuestion = false;
    view.onQuestion = [&] {
        form.SessionEnding(); // and the log-off is cancelled
        heldDuringTheQuestion = held("Sample");
    };
    browseProgram(native("Sample/Sample.exe"));
    EXPECT_TRUE(heldDuringTheQuestion);
    ASSERT_EQ(view.boxes.size(), 5u);
    EXPECT_EQ(view.boxes[4].kind, FakeView::Box::Question);
    EXPECT_EQ(view.boxes[4].caption, text::Title);
    EXPECT_EQ(view.boxes[4].text, text::LeftRelocated);
    EXPECT_EQ(tmp.snapshot(), before);
    EXPECT_EQ(view[ProgramField].text, native("Sample/Sample.exe"));
}

TEST_F(Requests, ASecondSpellingOfTheFolderIsOneRecordAndItsInstallersAreWaitedFor) {
    const std::string secondSpelling = spelledOtherwise();
    tmp.write("Other/Other.exe");
    tmp.write("Other/" + Installer);
    const auto before = tmp.snapshot();
    sys.startsProcesses = true;
    browseProgram(native("Other/Other.exe"));
    view.setText(NameField, "x");
    install(); // 1, and one found by its file there later
    sys.running.insert({tmp.logic("Other/" + Installer), 4});
    fill("x");
    browseRow(1, native("Sample/doc/Manual.txt"));
    install(); // 2
    // It restarts itself (to ask for rights): found again by its file, under
    // either spelling.
    browseProgram(secondSpelling);
    view.setText(fileField(1), "");
    for (const std::string& folder : {tmp.logic("Sample") + "\\", form.runState().ProgramFolder})
        sys.running.insert({folder + Installer, 3});
    install(); // 3: the run's own folder, whoever runs there
    const auto ini = testing_support::parseIniText(tmp.read("Sample/" + Ini));
    EXPECT_EQ(testing_support::sectionLines(ini, "Group").size(), 5u) << "the earlier row goes";
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(form.runState().CreatedIniFiles().size(), 2u);
    sys.ended = {1};
    view.closeWindow();
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "the second installer reads it there";
    sys.ended = {1, 2};
    form.InstallerEnded();
    form.SessionEnding();
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "its files stay under it";
    sys.ended = {1, 2, 3};
    form.InstallerEnded();
    EXPECT_FALSE(view.closed) << "the other folder's installer runs on";
    sys.ended.insert(4);
    form.InstallerEnded();
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(tmp.snapshot(), before);
}

// The user renames the folder above the program folder while the installer
// runs: the run still knows the folder as its own, and its files come back
// where it now lies.
TEST_F(Requests, AFolderRenamedMeanwhileStaysTheRunsAndComesBackWhereItNowLies) {
    std::filesystem::create_directory(tmp.native("Above"));
    std::filesystem::rename(tmp.native("Sample"), tmp.native("Above/Sample"));
    const auto before = tmp.snapshot();
    browseProgram(native("Above/Sample/Sample.exe"));
    view.setText(NameField, "x");
    install();
    ASSERT_TRUE(tmp.exists("Above/Sample/Manual.txt"));
    std::filesystem::rename(tmp.native("Above"), tmp.native("Moved"));
    browseProgram(native("Moved/Sample/Sample.exe"));
    install(); // the run's own folder, not another copy's
    EXPECT_TRUE(view.boxes.empty());
    view.closeWindow();
    EXPECT_TRUE(view.closed);
    std::filesystem::rename(tmp.native("Moved"), tmp.native("Above"));
    EXPECT_EQ(tmp.snapshot(), before);
}

#ifndef _WIN32
// The desktop's opener hands the installer to Wine, which maps the program it
// runs (as the stand-in does) seconds later, and gives the tool no process:
// each start is followed from the hand-off, over the real layer, the grace
// stepped.
TEST_F(Requests, EachStartHandedToTheOpenerIsFollowedUntilItsOutcomeIsKnown) {
    const std::string maps = "\"" KW_MAPS_FILE "\" \"$1\" \"$KW_UNTIL\"";
    struct Row {
        std::string opener;
        bool closeAtOnce; // closed right after インストール: waits
        bool failed;      // said at once
        bool stepGrace;   // nothing seen; the close waits out the grace
    } rows[] = {
        {"sleep 1; exit 3", false, true, false},                       // no program for .exe
        {"exit 0", false, false, false},                               // started nothing
        {"(" + maps + ") & sleep 1; exit 0", false, false, false},     // a short installer
        {"(sleep 2; exec " + maps + ") & exit 4", true, false, false}, // maps later
        {"sleep 60 & echo $! >\"$KW_UNTIL.pid\"; sleep 1; exit 0", false, false, true},
    };
    platform::System& real = platform::realSystem();
    testing_support::TestFolder aside; // the opener, and what the installer runs while there
    const std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (aside.native("bin").string() + ":" + savedPath).c_str(), 1);
    setenv("KW_UNTIL", aside.native("running").c_str(), 1);
    aside.write("bin/xdg-open");
    std::filesystem::permissions(aside.native("bin/xdg-open"), std::filesystem::perms::owner_all);
    const auto before = tmp.snapshot();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.opener);
        std::ofstream(aside.native("bin/xdg-open")) << "#!/bin/sh\n" << row.opener << "\n";
        aside.write("running");
        prepare::Clock::time_point now{};
        SecondWindow tool(real, [&] { return now; });
        tool.request(native("Sample/Sample.exe"));
        // The window's look once a second, until `done` (generously).
        auto lookUntil = [&](auto done, int tries = 200) {
            for (int i = 0; i < tries && !done(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                tool.form.InstallerEnded();
            }
            return done();
        };
        auto installerRuns = [&] {
            const auto running = real.processesRunning(tmp.logic("Sample/" + Installer));
            for (platform::Process process : running)
                real.releaseProcess(process);
            return !running.empty();
        };
        if (row.closeAtOnce) {
            tool.view.closeWindow();
            EXPECT_FALSE(tool.view.closed);
            ASSERT_TRUE(lookUntil(installerRuns));
            std::filesystem::remove(aside.native("running"));
        } else if (row.stepGrace) {
            now += prepare::OpenerGrace; // an opener slow to hand on: its end counts
            lookUntil([&] { return aside.exists("running.pid"); });
            lookUntil([] { return false; }, 40); // the opener ends meanwhile
            tool.view.closeWindow();
            now += prepare::OpenerGrace - std::chrono::seconds(1);
            tool.form.InstallerEnded();
            EXPECT_FALSE(tool.view.closed) << "its process may start the installer yet";
            now += std::chrono::seconds(1);
        } else {
            ASSERT_TRUE(lookUntil([&] { return !tool.form.looking(); }));
            EXPECT_EQ(tool.view.boxes.size(), row.failed ? 1u : 0u) << "said at once";
            std::filesystem::remove(aside.native("running"));
            ASSERT_TRUE(lookUntil([&] { return !installerRuns(); }));
            EXPECT_TRUE(tmp.exists("Sample/Manual.txt")) << "nothing comes back before the close";
            tool.view.closeWindow();
            EXPECT_TRUE(tool.view.closed) << "at once";
        }
        EXPECT_TRUE(lookUntil([&] { return tool.view.closed; }));
        EXPECT_EQ(tmp.snapshot(), before);
        ASSERT_EQ(tool.view.boxes.size(), row.failed ? 1u : 0u) << "said once";
        for (const FakeView::Box& box : tool.view.boxes)
            EXPECT_EQ(box.text, native("Sample/" + Installer) + text::CannotStart);
        EXPECT_LE(waitpid(-1, nullptr, WNOHANG), 0) << "no opener is left a zombie";
        if (aside.exists("running.pid"))
            kill(std::stoi(aside.read("running.pid")), SIGKILL);
    }
    setenv("PATH", savedPath.c_str(), 1);
}
#endif

// ---- files handed over ----

TEST_F(Handlers, OneDroppedFileIsTakenAsItsBrowseWouldTakeItAnythingElseBeeps) {
    tmp.write("Sample/Sample.exe");
    tmp.write("Sample/Other.EXE");
    tmp.write("Sample/doc/Manual.txt");
    const std::string manual = native("Sample/doc/Manual.txt");
    // Before a program file the rows are disabled: a drop there is one
    // anywhere else, where only a program file is taken.
    form.FilesDropped({manual}, 2);
    EXPECT_EQ(view.beeps, 1);
    form.FilesDropped({native("Sample/Sample.exe")}, 2);
    EXPECT_EQ(form.runState().ProgramFileName, tmp.logic("Sample/Sample.exe"));
    EXPECT_EQ(view[ProgramField].text, native("Sample/Sample.exe"));
    EXPECT_EQ(rowStates(), AllEnabled);
    form.FilesDropped({manual}, 2);
    EXPECT_EQ(view[fileField(2)].text, manual);
    form.CommandLine({native("Sample/Other.EXE")}); // in any letters
    EXPECT_EQ(form.runState().ProgramFileName, tmp.logic("Sample/Other.EXE"));
    // Several files, a folder, a file no browse would offer there: nothing.
    form.FilesDropped({manual, native("Sample/Sample.exe")}, 1);
    form.FilesDropped({native("Sample/doc")}, 1);
    form.FilesDropped({manual}, 0);
    form.CommandLine({native("Sample/Sample.exe"), manual});
    // A remote file (no native path) and a folder the logic cannot name.
    tmp.mkdir("Sample/한");
    form.FilesDropped({""}, 0);
    form.FilesDropped({native("Sample/한")}, 1);
    EXPECT_EQ(view.beeps, 6);
    EXPECT_EQ(view[ProgramField].text + view[fileField(1)].text, native("Sample/Other.EXE"));
    // The next browse starts at the file taken last, as after a browse.
    browseRow(1, manual);
    EXPECT_EQ(view.dialogs.back().startFileName, native("Sample/Other.EXE"));
    EXPECT_TRUE(view.boxes.empty());
    // A relative path on the command line, made absolute before a browse
    // moves the current folder.
    const auto started = std::filesystem::current_path();
    std::filesystem::current_path(tmp.native("Sample"));
    form.CommandLine({"Sample.exe"});
    std::filesystem::current_path(started);
    EXPECT_EQ(view[ProgramField].text, native("Sample/Sample.exe"));
#ifdef _WIN32
    // A shortcut is taken as its target, as the open dialog follows it.
    makeShortcut(tmp.native("Sample/Manual.lnk").wstring(), tmp.native("Sample/doc/Manual.txt"));
    form.FilesDropped({native("Sample/Manual.lnk")}, 3);
    EXPECT_EQ(view[fileField(3)].text, manual);
#endif
}

// ---- help and the tool's folder ----

class OwnPath : public testing_support::FaultySystem {
public:
    explicit OwnPath(std::string path) : path_(std::move(path)) {}
    std::string ownExecutablePath() override { return path_; }

private:
    std::string path_;
};

TEST(ToolFolder, IsTheExecutablesFolderWithABackslashAndHelpOpensItsReadMe) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Tools\\kwarino.exe", "C:\\Tools\\"},
        {"D:\\kwarino.exe", "D:\\"},              // a drive root keeps its one backslash
        {"\x83\x5C\\\x83\x5C.exe", "\x83\x5C\\"}, // "ソ\ソ.exe": 0x5C of a character is none
        {"\\\\server\\share\\k.exe", "\\\\server\\share\\"},
    };
    for (const auto& [exe, folder] : cases) {
        SCOPED_TRACE(exe);
        OwnPath sys(exe);
        FakeView view;
        form::TForm1 form(view, sys);
        EXPECT_EQ(form.runState().ToolFolder, folder);
        form.Help1Click();
        EXPECT_EQ(sys.calls.back(), "shellOpen " + folder + form::ReadMeName);
    }
}

TEST(ToolFolder, HelpOpensTheInstalledReadMeUnderShareDocOnlyWhenNoneLiesBesideTheProgram) {
    testing_support::TestFolder tmp;
    tmp.write("bin/kwarino");
    tmp.write(std::string("share/doc/kwarino/") + form::ReadMeName);
    OwnPath sys(tmp.logic("bin/kwarino"));
    FakeView view;
    form::TForm1 form(view, sys);
    form.Help1Click();
    EXPECT_EQ(sys.calls.back(),
              "shellOpen " + tmp.logic() + "bin\\..\\share\\doc\\kwarino\\" + form::ReadMeName);
    tmp.write(std::string("bin/") + form::ReadMeName);
    form.Help1Click();
    EXPECT_EQ(sys.calls.back(), "shellOpen " + tmp.logic() + "bin\\" + form::ReadMeName);
}

TEST(StartState, NothingChosenAndNothingRecorded) {
    testing_support::FaultySystem sys;
    FakeView view;
    form::TForm1 form(view, sys);
    const prepare::RunState& state = form.runState();
    EXPECT_TRUE(state.ProgramFileName.empty());
    EXPECT_TRUE(state.ProgramFolder.empty());
    EXPECT_EQ(state.ProgramFolderLength, 0u);
    EXPECT_TRUE(state.CreatedIniFiles().empty());
    EXPECT_FALSE(state.RelocationRefused);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_TRUE(view.boxes.empty());
}

TEST(FullStop, OnlyAfterACharacterThatSortsAfterIt) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"書き込めません", "書き込めません."},
        {"disk full", "disk full."},
        {Ini + " 0", Ini + " 0."},
        {"done.", "done."},
        {"(C:)", "(C:)"},
        {"a-", "a-"},
        {"a ", "a "},
        {"", ""},
        {"x\xF0\x9F\x98\x80", "x\xF0\x9F\x98\x80."},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(form::withFullStop(in), out) << in;
}

} // namespace
