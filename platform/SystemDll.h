// Windows only: a function of a system DLL looked up when the tool first needs
// it, so that the DLL (and all it loads in turn) is not loaded before the
// window shows. Only the system folder is searched: the tool runs beside
// software folders that may hold DLLs of the same names.
#pragma once

#include <windows.h>

namespace platform {

// nullptr when the DLL or the function is missing.
template <typename Function> Function* systemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module)
        return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace platform
