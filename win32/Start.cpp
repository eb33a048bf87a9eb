#include "win32/Start.h"

#include "form/Unit1.h"
#include "win32/Form1View.h"
#include "win32/Text.h"

#include "platform/SystemDll.h"

#include <commctrl.h>
#include <shellapi.h>

namespace win32 {

namespace {

// The message loop, until the window is gone; while a close waits, it also
// waits for the installers. The exit code.
int run(HWND window, form::TForm1& form) {
    for (;;) {
        // Messages, and while a close waits, the end of an installer.
        std::vector<HANDLE> installers;
        for (platform::Process process : form.installersWaitedFor())
            if (installers.size() < MAXIMUM_WAIT_OBJECTS - 1)
                installers.push_back(reinterpret_cast<HANDLE>(process));
        const DWORD count = static_cast<DWORD>(installers.size());
        // An installer that restarted itself is found again by its file: a
        // look at least once a second.
        const bool looking = form.looking();
        const DWORD woke = MsgWaitForMultipleObjectsEx(
            count, installers.data(), looking ? 1000 : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (looking &&
            (woke < WAIT_OBJECT_0 + count || woke == WAIT_TIMEOUT || woke == WAIT_FAILED)) {
            form.InstallerEnded();
            continue;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return 0;
            // Tab, Shift+Tab and the arrow keys move between the controls.
            if (IsWindow(window) && IsDialogMessageW(window, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace

int runTool(HINSTANCE instance, int showCommand, platform::System& system,
            const std::vector<std::string>& arguments) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    Form1View view(instance);
    form::TForm1 Form1(view, system); // its creation runs FormCreate
    view.attach(Form1);
    view.show(showCommand);
    // A file dropped on the program's icon, or sent to it.
    Form1.CommandLine(arguments);
    return run(view.window(), Form1);
}

std::vector<std::string> commandLineArguments(const wchar_t* commandLine) {
    std::vector<std::string> arguments;
    static const auto split = platform::systemFunction<decltype(CommandLineToArgvW)>(
        L"shell32.dll", "CommandLineToArgvW");
    int count = 0;
    LPWSTR* argv = split ? split(commandLine, &count) : nullptr;
    if (!argv)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8(argv[i]));
    LocalFree(argv);
    return arguments;
}

} // namespace win32
