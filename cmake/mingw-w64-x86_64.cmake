# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads
# flavour, which std::thread needs). The runtime is linked statically, so the
# executables run under Wine, or on Windows, without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine, in a prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
