// The installer as the end-to-end tests see it: a program that only notes that
// it was started, with its own path and its working folder, one line each time
// (UTF-8, "path|folder"), at the end of the file named by KW_INSTALLER_RECORD;
// then, when KW_INSTALLER_HOLD names an event, it works on until the event is
// set. The tests copy it into the program folder as Inst.exe.
#include "win32/Text.h"

#include <windows.h>

#include <string>

namespace {

std::wstring variable(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring record = variable(L"KW_INSTALLER_RECORD");
    if (record.empty())
        return 2;
    wchar_t self[32768];
    DWORD selfLength = GetModuleFileNameW(nullptr, self, 32768);
    wchar_t folder[32768];
    DWORD folderLength = GetCurrentDirectoryW(32768, folder);
    const std::string line = win32::utf8(std::wstring(self, selfLength)) + "|" +
                             win32::utf8(std::wstring(folder, folderLength)) + "\n";

    HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    const std::wstring hold = variable(L"KW_INSTALLER_HOLD");
    if (HANDLE event = hold.empty() ? nullptr : OpenEventW(SYNCHRONIZE, FALSE, hold.c_str()))
        WaitForSingleObject(event, 60000);
    return ok && written == line.size() ? 0 : 1;
}
