// The tool's own texts. The source holds them in UTF-8; the logic uses them in
// code page 932, as every text of the tool.
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
// Messages of the checks (plain message boxes).
std::string noProgramFile();
std::string noApplication();
std::string programFileMissing();
std::string startMenuFileOutsideFolder();
std::string startMenuFileMissing();
std::string installerMissing();
std::string programFileIsInstaller();
// A text that cannot be written to the control file faithfully; `what` names it.
std::string unwritableText(std::string_view what);
// A file below the program folder whose name cannot be written faithfully.
std::string unwritableFileName(std::string_view displayPath);

// The names of the fields, for the message above.
std::string fieldProgramFile();
std::string fieldApplication();
std::string fieldStartMenuName(int row);
std::string fieldStartMenuFile(int row);

// The question asked when the software cannot be installed elsewhere.
std::string confirmCaption();
std::string confirmRelocationRefused();

// Another copy of the tool holds the program folder (a plain message box).
std::string folderInUse();
// Asked when the program file chosen lies in a folder a run cut short left
// relocated (caption: the application title).
std::string leftRelocatedQuestion();

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
