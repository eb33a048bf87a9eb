// クワリノ for Windows: prepares a software folder for the installer Inst.exe.
#include "form/Unit1.h"
#include "platform/System.h"
#include "win32/Form1View.h"

#include <commctrl.h>
#include <objbase.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // No command-line argument is read.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The shell's open dialog and the accessible objects are COM objects.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    win32::Form1View view(instance);
    form::TForm1 Form1(view, platform::realSystem()); // its creation runs FormCreate
    view.attach(Form1);
    view.show(showCommand);
    const int exitCode = view.run();
    CoUninitialize();
    return exitCode;
}
