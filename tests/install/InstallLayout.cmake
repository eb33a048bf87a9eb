# cmake -DBUILD=build-dir -DPREFIX=scratch-dir -DVALIDATE=desktop-file-validate -P InstallLayout.cmake
# Installs the build into PREFIX: exactly these files, and a desktop entry
# desktop-file-validate has nothing to say about.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected bin/kwarino share/applications/kwarino.desktop share/doc/kwarino/ReadMe.txt
    share/icons/hicolor/32x32/apps/kwarino.png)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "installed: ${installed}\nexpected: ${expected}")
endif()
execute_process(COMMAND "${VALIDATE}" "${PREFIX}/share/applications/kwarino.desktop"
    RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed OR said)
    message(FATAL_ERROR "desktop-file-validate: ${said}")
endif()
