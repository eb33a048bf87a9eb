// Windows only: a function of a system DLL looked up when the tool first needs
// it, so that the DLL (and all it loads in turn) is not loaded before the
// window shows. Only the system folder is searched: the tool runs beside
// software folders that may hold DLLs of the same names.
#pragma once

#include <windows.h>

namespace platform {

// From here on every library the process loads by its bare name, whoever
// loads it (the tool, the shell, the common dialogs, the theming code), is
// looked for in the system folder only: never in the program's own folder (a
// Downloads folder, where any web page can drop a file) or the current one.
inline void loadLibrariesFromTheSystemFolderOnly() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

// nullptr when the DLL or the function is missing.
template <typename Function> Function* systemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module)
        return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace platform
