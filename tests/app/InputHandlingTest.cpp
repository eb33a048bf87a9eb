// The handlers through which the user fills the window: the browse buttons,
// the rules for the install button, the help menu item and the tool's folder.
#include "app/QtPrinters.h"
#include "app/Unit1.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/PathRules.h"
#include "support/FaultySystem.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using platform::MessageBox;
using platform::OpenDialog;

const QString ProgramFileTitle = QStringLiteral("プログラムファイルの指定");
const QString ProgramFileFilter = QStringLiteral("プログラムファイル(*.exe)|*.exe");
const QString AnyFileTitle = QStringLiteral("ファイルの指定");
const QString AnyFileFilter = QStringLiteral("すべてのファイル(*.*)|*.*");

// The logic's form of an absolute native path, worked out here on its own:
// code page 932 bytes, backslashes for slashes.
std::string logicOf(const QString& native) {
    std::optional<std::string> cp932 = platform::cp932FromUtf8(native.toStdString());
    if (!cp932)
        return "<not representable>";
    std::string out;
    for (std::size_t i = 0; i < cp932->size(); ++i) {
        const auto b = static_cast<unsigned char>((*cp932)[i]);
        if (pathrules::isLeadByte(b) && i + 1 < cp932->size()) {
            out += (*cp932)[i];
            out += (*cp932)[++i];
        } else {
            out += b == '/' ? '\\' : static_cast<char>(b);
        }
    }
    return out;
}

class InputHandling : public testing::Test {
protected:
    testing_support::TestFolder tmp;
    testing_support::FaultySystem sys{platform::realSystem()};
    TForm1 form{sys};

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QString native(const std::string& relative) const {
        return QString::fromStdString(tmp.native(relative).string());
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void browseProgram(const QString& path) {
        OpenDialog::setNextFileName(path);
        click(form.BtnSansho);
    }

    std::vector<bool> rowStates() const {
        std::vector<bool> out;
        for (QWidget* w : form.StartMenuRows)
            out.push_back(w->isEnabled());
        return out;
    }
};

const std::vector<bool> AllEnabled(9, true);
const std::vector<bool> AllDisabled(9, false);

// ---- the program-file browse ----

TEST_F(InputHandling, ProgramBrowseSetsFolderValuesFieldAndRows) {
    const QString program = native("Sample/Sample.exe");
    browseProgram(program);

    EXPECT_EQ(OpenDialog::shownCount(), 1);
    EXPECT_EQ(OpenDialog::lastTitle(), ProgramFileTitle);
    EXPECT_EQ(OpenDialog::lastFilter(), ProgramFileFilter);
    const prepare::RunState& state = form.runState();
    EXPECT_EQ(state.ProgramFileName, logicOf(program));
    EXPECT_EQ(state.ProgramFolder, logicOf(native("Sample")) + "\\");
    EXPECT_EQ(state.ProgramFolderLength, state.ProgramFolder.size());
    EXPECT_EQ(form.EditProgramFile->text(), program);
    EXPECT_EQ(rowStates(), AllEnabled);
    // The software's name is still empty.
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(InputHandling, FolderOfAProgramFileIsFoundCharacterByCharacter) {
    // "ソ" is 0x83 0x5C in code page 932: its second byte is no backslash.
    const QString program = native("ソフト/ソ.exe");
    browseProgram(program);
    const prepare::RunState& state = form.runState();
    EXPECT_EQ(state.ProgramFolder, logicOf(native("ソフト")) + "\\");
    EXPECT_EQ(state.ProgramFolderLength, state.ProgramFolder.size());
    EXPECT_EQ(state.ProgramFileName, logicOf(program));
    EXPECT_EQ(form.EditProgramFile->text(), program);
}

TEST_F(InputHandling, CancelledBrowseChangesNothing) {
    OpenDialog::setNextCancel();
    click(form.BtnSansho);
    EXPECT_EQ(OpenDialog::shownCount(), 1);
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_EQ(form.runState().ProgramFolderLength, 0u);
    EXPECT_TRUE(form.EditProgramFile->text().isEmpty());
    EXPECT_EQ(rowStates(), AllDisabled);
    EXPECT_TRUE(form.OpenDialog1.fileName().isEmpty());

    const QString program = native("Sample/Sample.exe");
    browseProgram(program);
    const prepare::RunState before = form.runState();

    // A cancelled program-file browse, then a cancelled start-menu browse.
    OpenDialog::setNextCancel();
    click(form.BtnSansho);
    OpenDialog::setNextCancel();
    click(form.BtnStartMenuSansho1);
    EXPECT_EQ(OpenDialog::lastStartFileName(), program);
    EXPECT_EQ(form.runState().ProgramFileName, before.ProgramFileName);
    EXPECT_EQ(form.runState().ProgramFolder, before.ProgramFolder);
    EXPECT_EQ(form.runState().ProgramFolderLength, before.ProgramFolderLength);
    EXPECT_EQ(form.EditProgramFile->text(), program);
    EXPECT_TRUE(form.EditStartMenuFile1->text().isEmpty());
    // Not even the dialog's remembered name changes.
    EXPECT_EQ(form.OpenDialog1.fileName(), program);
    OpenDialog::setNextCancel();
    click(form.BtnSansho);
    EXPECT_EQ(OpenDialog::lastStartFileName(), program);
}

TEST_F(InputHandling, LastChosenFileIsTheStartOfEitherBrowse) {
    const QString program = native("Sample/Sample.exe");
    const QString manual = native("Sample/doc/Manual.txt");
    browseProgram(program);

    OpenDialog::setNextFileName(manual);
    click(form.BtnStartMenuSansho1);
    EXPECT_EQ(OpenDialog::lastStartFileName(), program);

    OpenDialog::setNextCancel();
    click(form.BtnSansho);
    EXPECT_EQ(OpenDialog::lastStartFileName(), manual);
    EXPECT_EQ(OpenDialog::lastTitle(), ProgramFileTitle);
    EXPECT_EQ(OpenDialog::lastFilter(), ProgramFileFilter);
}

TEST_F(InputHandling, ChoosingTheNameAlreadyInTheFieldStillRunsTheWholeHandler) {
    const QString program = native("Sample/Sample.exe");
    // Typed, not browsed: only the field's text changes.
    form.EditProgramFile->setText(program);
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_EQ(rowStates(), AllDisabled);

    browseProgram(program);
    EXPECT_EQ(form.runState().ProgramFileName, logicOf(program));
    EXPECT_EQ(form.runState().ProgramFolder, logicOf(native("Sample")) + "\\");
    EXPECT_EQ(rowStates(), AllEnabled);
    EXPECT_EQ(form.EditProgramFile->text(), program);
}

TEST_F(InputHandling, TypingIntoTheProgramFieldKeepsTheBrowsedValues) {
    const QString first = native("One/One.exe");
    browseProgram(first);
    form.EditProgramFile->setText(native("Two/Two.exe"));
    EXPECT_EQ(form.runState().ProgramFileName, logicOf(first));
    EXPECT_EQ(form.runState().ProgramFolder, logicOf(native("One")) + "\\");

    // A later browse replaces all three values.
    const QString second = native("Two/Sub/Two.exe");
    browseProgram(second);
    EXPECT_EQ(form.runState().ProgramFileName, logicOf(second));
    EXPECT_EQ(form.runState().ProgramFolder, logicOf(native("Two/Sub")) + "\\");
    EXPECT_EQ(form.runState().ProgramFolderLength, form.runState().ProgramFolder.size());
}

TEST_F(InputHandling, NameThatCodePage932CannotHoldIsRefusedWithAPlainBox) {
    MessageBox::setNextAnswer(MessageBox::Button::Ok);
    browseProgram(native("한국/Sample.exe"));
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const MessageBox::Shown& box = MessageBox::shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("クワリノ"));
    EXPECT_EQ(box.text,
              QStringLiteral("指定されたファイルの名前には使用できない文字が含まれています。"
                             "\r別のファイルを指定してください。"));
    EXPECT_EQ(box.icon, MessageBox::Icon::None);
    // Nothing changes.
    EXPECT_TRUE(form.runState().ProgramFileName.empty());
    EXPECT_TRUE(form.runState().ProgramFolder.empty());
    EXPECT_EQ(form.runState().ProgramFolderLength, 0u);
    EXPECT_TRUE(form.EditProgramFile->text().isEmpty());
    EXPECT_EQ(rowStates(), AllDisabled);
}

// ---- the start-menu browse ----

TEST_F(InputHandling, StartMenuButtonsBrowseForTheirOwnRowOnly) {
    const QString program = native("Sample/Sample.exe");
    browseProgram(program);
    const prepare::RunState before = form.runState();
    QPushButton* buttons[] = {form.BtnStartMenuSansho1, form.BtnStartMenuSansho2,
                              form.BtnStartMenuSansho3};
    QLineEdit* files[] = {form.EditStartMenuFile1, form.EditStartMenuFile2,
                          form.EditStartMenuFile3};
    QLineEdit* names[] = {form.EditStartMenu1, form.EditStartMenu2, form.EditStartMenu3};
    names[1]->setText(QStringLiteral("説明書"));

    // Row 2 first, so a fixed row would show.
    for (int row : {1, 0, 2}) {
        SCOPED_TRACE(row + 1);
        const int shownBefore = OpenDialog::shownCount();
        const QString chosen = native("Sample/doc/File" + std::to_string(row + 1) + ".txt");
        OpenDialog::setNextFileName(chosen);
        click(buttons[row]);

        // One dialog, the start-menu one, and the program values untouched.
        EXPECT_EQ(OpenDialog::shownCount(), shownBefore + 1);
        EXPECT_EQ(OpenDialog::lastTitle(), AnyFileTitle);
        EXPECT_EQ(OpenDialog::lastFilter(), AnyFileFilter);
        EXPECT_EQ(files[row]->text(), chosen);
        EXPECT_EQ(form.EditProgramFile->text(), program);
        EXPECT_EQ(form.runState().ProgramFileName, before.ProgramFileName);
        EXPECT_EQ(form.runState().ProgramFolder, before.ProgramFolder);
        EXPECT_EQ(form.runState().ProgramFolderLength, before.ProgramFolderLength);
    }
    EXPECT_EQ(files[0]->text(), native("Sample/doc/File1.txt"));
    EXPECT_EQ(files[1]->text(), native("Sample/doc/File2.txt"));
    EXPECT_EQ(files[2]->text(), native("Sample/doc/File3.txt"));
    EXPECT_TRUE(names[0]->text().isEmpty());
    EXPECT_EQ(names[1]->text(), QStringLiteral("説明書"));
    EXPECT_TRUE(names[2]->text().isEmpty());
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(InputHandling, StartMenuFileMayLieAnywhere) {
    browseProgram(native("Sample/Sample.exe"));
    const QString elsewhere = native("Other/なまえ.txt");
    OpenDialog::setNextFileName(elsewhere);
    click(form.BtnStartMenuSansho3);
    EXPECT_EQ(form.EditStartMenuFile3->text(), elsewhere);
}

// ---- the install button ----

TEST_F(InputHandling, InstallButtonWaitsForTheSoftwareName) {
    browseProgram(native("Sample/Sample.exe"));
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    QTest::keyClicks(form.EditApplication, QStringLiteral("K"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());
}

TEST_F(InputHandling, InstallButtonWaitsForTheProgramFile) {
    QTest::keyClicks(form.EditApplication, QStringLiteral("Kwa"));
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    browseProgram(native("Sample/Sample.exe"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());
}

TEST_F(InputHandling, ClearingEitherFieldDisablesTheInstallButton) {
    browseProgram(native("Sample/Sample.exe"));
    QTest::keyClicks(form.EditApplication, QStringLiteral("Kw"));
    ASSERT_TRUE(form.BitBtnInstall->isEnabled());

    form.EditApplication->clear();
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    QTest::keyClicks(form.EditApplication, QStringLiteral("K"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());

    // Deleting the field's text key by key.
    form.EditProgramFile->setFocus();
    form.EditProgramFile->selectAll();
    QTest::keyClick(form.EditProgramFile, Qt::Key_Backspace);
    EXPECT_TRUE(form.EditProgramFile->text().isEmpty());
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
}

TEST_F(InputHandling, ChangeWithTheOtherFieldEmptyKeepsTheButtonsState) {
    // Disabled stays disabled.
    QTest::keyClicks(form.EditProgramFile, QStringLiteral("/a.exe"));
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    form.EditProgramFile->clear();

    // Enabled stays enabled: a failed check enables the button again even
    // when a field is empty.
    form.BitBtnInstall->setEnabled(true);
    QTest::keyClicks(form.EditApplication, QStringLiteral("K"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());
    form.EditApplication->clear(); // the changed field is empty now
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());

    form.BitBtnInstall->setEnabled(true);
    QTest::keyClicks(form.EditProgramFile, QStringLiteral("/b.exe"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());
}

TEST_F(InputHandling, PressedInstallButtonIsEnabledAgainByAChange) {
    tmp.write("Sample/Sample.exe");
    tmp.write("Sample/Inst.exe");
    browseProgram(native("Sample/Sample.exe"));
    QTest::keyClicks(form.EditApplication, QStringLiteral("Kw"));
    click(form.BitBtnInstall);
    EXPECT_FALSE(form.BitBtnInstall->isEnabled());
    QTest::keyClicks(form.EditApplication, QStringLiteral("a"));
    EXPECT_TRUE(form.BitBtnInstall->isEnabled());
}

// ---- help and the tool's folder ----

// The folder of this test program in the logic's form, ending with a backslash.
std::string ownFolder() {
    return logicOf(QDir(QCoreApplication::applicationDirPath()).canonicalPath()) + "\\";
}

TEST_F(InputHandling, HelpOpensTheReadMeBesideTheTool) {
    sys.calls.clear();
    form.Help1->trigger();
    const std::string expected = "shellOpen " + ownFolder() + "ReadMe.txt";
    EXPECT_EQ(sys.calls, std::vector<std::string>{expected});
}

TEST_F(InputHandling, ToolFolderIsTheExecutablesFolderFromAnyWorkingFolder) {
    const std::string expected = ownFolder();
    EXPECT_EQ(form.runState().ToolFolder, expected);
    ASSERT_EQ(form.runState().ToolFolder.back(), '\\');

    // Started from another working folder.
    struct WorkingFolder {
        std::filesystem::path before = std::filesystem::current_path();
        explicit WorkingFolder(const std::filesystem::path& to) {
            std::filesystem::current_path(to);
        }
        ~WorkingFolder() { std::filesystem::current_path(before); }
    } elsewhereFolder(tmp.path());
    ASSERT_NE(std::filesystem::current_path(),
              std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()));
    TForm1 elsewhere(sys);
    EXPECT_EQ(elsewhere.runState().ToolFolder, expected);
    sys.calls.clear();
    elsewhere.Help1->trigger();
    EXPECT_EQ(sys.calls, std::vector<std::string>{"shellOpen " + expected + "ReadMe.txt"});
}

} // namespace
