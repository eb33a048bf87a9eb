// クワリノ for Windows: prepares a software folder for the installer Inst.exe.
#include "platform/System.h"
#include "platform/SystemDll.h"
#include "win32/Start.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR afterName, int showCommand) {
    // Before any window, dialog or COM call loads a library.
    platform::loadLibrariesFromTheSystemFolderOnly();
    // With nothing after the program's name, the shell's parser is not loaded.
    return win32::runTool(instance, showCommand, platform::realSystem(),
                          afterName && *afterName ? win32::commandLineArguments(GetCommandLineW())
                                                  : std::vector<std::string>());
}
