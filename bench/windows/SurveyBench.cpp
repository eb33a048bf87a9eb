// The survey on Windows: the tool's survey of a program folder of 100,000 files
// in 1,000 folders against a bare FindFirstFileW walk of the same tree (names
// only, nothing kept).
//
//   kw_windows_survey_bench FOLDER
//
// FOLDER is a Windows path; the tree is made below it and removed again.
// Prints "survey_tool ms" and "survey_walk ms": medians of 9 alternating runs.
#include "Timing.h"
#include "platform/System.h"
#include "prepare/RunState.h"
#include "prepare/Survey.h"
#include "win32/Text.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::milliseconds;

constexpr int Folders = 1000;
constexpr int FilesPerFolder = 100;

std::wstring folderName(const std::wstring& root, int folder) {
    wchar_t name[32];
    swprintf(name, 32, L"\\d%03d", folder);
    return root + name;
}

std::wstring fileName(int file) {
    wchar_t name[32];
    swprintf(name, 32, L"\\f%03d.dat", file);
    return name;
}

bool makeTree(const std::wstring& root) {
    if (!CreateDirectoryW(root.c_str(), nullptr))
        return false;
    for (int d = 0; d < Folders; ++d) {
        const std::wstring folder = folderName(root, d);
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            return false;
        for (int f = 0; f < FilesPerFolder; ++f) {
            HANDLE h = CreateFileW((folder + fileName(f)).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return false;
            CloseHandle(h);
        }
    }
    return true;
}

void removeTree(const std::wstring& root) {
    for (int d = 0; d < Folders; ++d) {
        const std::wstring folder = folderName(root, d);
        for (int f = 0; f < FilesPerFolder; ++f)
            DeleteFileW((folder + fileName(f)).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    RemoveDirectoryW(root.c_str());
}

// The baseline: every entry of the tree met once, the files counted.
std::size_t walk(const std::wstring& folder) {
    std::size_t files = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
                files += walk(folder + L"\\" + data.cFileName);
        } else {
            ++files;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kw_windows_survey_bench FOLDER\n");
        return 2;
    }
    const std::wstring root = std::wstring(argv[1]) + L"\\survey";
    if (!makeTree(root)) {
        std::fprintf(stderr, "cannot make the tree below %ls\n", argv[1]);
        removeTree(root);
        return 1;
    }
    platform::System& sys = platform::realSystem();
    prepare::RunState state;
    const std::optional<std::string> program =
        sys.fromNativePath(win32::utf8(root + L"\\Prog.exe"));
    if (!program)
        return 1;
    prepare::setProgramFile(state, *program);

    std::vector<double> tool, bare;
    bool counted = true;
    for (int run = 0; run < 10; ++run) { // the first of each warms the caches
        auto start = std::chrono::steady_clock::now();
        const std::size_t listed = prepare::surveyProgramFolder(sys, state).FolderFiles.size();
        const double toolMs = milliseconds(start);
        start = std::chrono::steady_clock::now();
        const std::size_t walked = walk(root);
        const double bareMs = milliseconds(start);
        counted = counted && listed == walked && walked == std::size_t{Folders} * FilesPerFolder;
        if (run > 0) {
            tool.push_back(toolMs);
            bare.push_back(bareMs);
        }
    }
    removeTree(root);
    if (!counted) {
        std::fprintf(stderr, "the survey and the walk did not both find every file\n");
        return 1;
    }
    std::printf("survey_tool %.1f\nsurvey_walk %.1f\n", median(tool), median(bare));
    return 0;
}
