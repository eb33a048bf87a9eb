// クワリノ for Windows: prepares a software folder for the installer Inst.exe.
#include "form/Unit1.h"
#include "platform/System.h"
#include "win32/Form1View.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // No command-line argument is read.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    win32::Form1View view(instance);
    form::TForm1 Form1(view, platform::realSystem()); // its creation runs FormCreate
    view.attach(Form1);
    view.show(showCommand);
    return view.run();
}
