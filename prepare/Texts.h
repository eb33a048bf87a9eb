// Every text the user reads, once: the window's captions, hints and names, the
// open dialog's filters and titles, the progress texts, the boxes' buttons
// (where the toolkit does not label them), the questions and the messages.
// The source holds them in UTF-8, as the views take them ("\r" a line break);
// the logic's messages come in code page 932, as every text of the logic, and
// name the control file and the installer by their one constant.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class System;
}

namespace prepare {

// A literal of the tool's own converted to code page 932. Every literal the
// tool uses can be written in code page 932; anything else is a programming
// error and aborts.
std::string sjis(std::string_view utf8);

namespace text {

// ---- The window (UTF-8) ----
inline constexpr const char* ApplicationTitle = "クワリノ";
inline constexpr const char* HelpMenu = "ヘルプ(&H)";
inline constexpr const char* ProgramFileLabel = "プログラムファイルの名前";
inline constexpr const char* ApplicationLabel = "ソフトの名前";
inline constexpr const char* StartMenuLabel =
    "スタートメニューに追加するショートカット（プログラムファイル以外）";
inline constexpr const char* NameColumnLabel = "名前";
inline constexpr const char* FileColumnLabel = "ファイル名";
inline constexpr const char* Browse = "参照";
inline constexpr const char* Install = "インストール";
inline constexpr const char* ProgramFileHint =
    "「参照」ボタンを押して、インストールする\rプログラムファイル(*.exe)を指定してください。";
inline constexpr const char* ApplicationHint = "ソフトの名前を入力します。（例\u3000クワリノ）";
inline constexpr const char* StartMenuNameHint =
    "プログラムファイル以外でスタートメニューに追加したい\rショートカットがあればその名前を入力"
    "します。（例\u3000初めにお読みください）\r空欄の場合はファイル名を名前とします。";
inline constexpr const char* StartMenuFileHint =
    "「参照」ボタンを押して、プログラムファイル以外で\rスタートメニューに追加したいファイルを指定"
    "してください。";
// What a screen reader says for the browse buttons: the program file's, and a
// row's (after the row's file column name and number).
inline constexpr const char* ProgramFileBrowseName = "プログラムファイルの参照";
inline constexpr const char* RowBrowseNameEnd = " の参照";
// The progress texts: while a request runs, and while a close waits for an
// installer the tool started.
inline constexpr const char* Preparing = "インストールの準備中・・・";
inline constexpr const char* WaitingForInstaller = "インストール終了待ち・・・";
// The progress window of a long survey: its text and its one button.
std::string surveyProgress(std::size_t entriesSoFar);
inline constexpr const char* SurveyCancel = "キャンセル";

// ---- The open dialog (UTF-8): "description|pattern" ----
inline constexpr const char* ProgramFileFilter = "プログラムファイル(*.exe)|*.exe";
inline constexpr const char* ProgramFileTitle = "プログラムファイルの指定";
inline constexpr const char* AnyFileFilter = "すべてのファイル(*.*)|*.*";
inline constexpr const char* AnyFileTitle = "ファイルの指定";

// ---- Boxes (UTF-8) ----
// The buttons of the question and of the box for files that cannot go back,
// where the toolkit does not give Windows' own.
inline constexpr const char* Yes = "はい(&Y)";
inline constexpr const char* No = "いいえ(&N)";
inline constexpr const char* Retry = "再試行(&R)";
inline constexpr const char* Cancel = "キャンセル";
// A chosen or handed-over file whose name the logic cannot hold.
inline constexpr const char* UnusableName =
    "指定されたファイルの名前には使用できない文字が含まれています。\r別のファイルを指定して"
    "ください。";
// Asked when the program file chosen lies in a folder a run cut short left
// relocated (caption: the application title).
inline constexpr const char* LeftRelocatedQuestion =
    "このフォルダは前回のインストールの準備が途中で終わったままです。\rファイルを元の場所に"
    "戻しますか？";

// ---- The request's messages (code page 932) ----
// The checks (plain message boxes).
std::string noProgramFile();
std::string noApplication();
std::string programFileMissing();
std::string startMenuFileOutsideFolder();
std::string startMenuFileMissing();
std::string installerMissing();
std::string programFileIsInstaller();
// A text that cannot be written to the control file faithfully; `what` names it.
std::string unwritableText(std::string_view what);
// A name the installer gives a shortcut or the start-menu group that holds a
// character Windows does not allow in a name; `what` names the field.
std::string unusableShortcutName(std::string_view what);
// Such a name that Windows keeps for a device, or one of dots only.
std::string reservedShortcutName(std::string_view what);
// A file below the program folder whose name cannot be written faithfully.
std::string unwritableFileName(std::string_view displayPath);
// The names of the fields, for the message above.
std::string fieldProgramFile();
std::string fieldApplication();
std::string fieldStartMenuName(int row);
std::string fieldStartMenuFile(int row);
// Another copy of the tool holds the program folder (a plain message box).
std::string folderInUse();
// An installer the run did not start still runs from the program folder.
std::string installerStillRunning();

// The question asked when the software cannot be installed elsewhere.
std::string confirmCaption();
std::string confirmRelocationRefused();

// A path as the user sees it, for a message.
std::string shownPath(platform::System& sys, const std::string& path);

// The errors of the tool's own work (the application's error box); each takes
// a path as shownPath gives it.
std::string cannotWrite(std::string_view path); // the control file
std::string cannotMove(std::string_view path);  // a file the relocation could not move up
std::string cannotStart(std::string_view path); // the installer
std::string cannotRead(std::string_view path);  // a control file the close cannot read
// Files the close could not put back: where each of the first NamedNotBack
// belongs (as shownPath gives it), and how many others there are; the box
// offers to try again.
constexpr std::size_t NamedNotBack = 10;
std::string cannotRestore(const std::vector<std::string>& paths, std::size_t others);

} // namespace text
} // namespace prepare
