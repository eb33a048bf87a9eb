// Windows only: the system's profile functions against the tool's profile
// files, for a file list of 5,000 items written key by key and read back as
// the restore at close reads it (the key list, then every value).
//
//   kw_profile_api_bench FOLDER
//
// FOLDER is a Windows path ("C:\\temp"); two files are written there and
// removed again. Prints one line per figure: "name milliseconds".
#include "Timing.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::milliseconds;

constexpr int Items = 5000;

struct List {
    std::vector<std::string> keys;
    std::vector<std::string> values;
};

List fileList() {
    List list;
    char text[64];
    for (int i = 0; i < Items; ++i) {
        std::snprintf(text, sizeof text, "d%04d\\file%03d.dat", i / 100, i % 100);
        list.values.emplace_back(text);
        list.keys.push_back("Item" + std::to_string(i + 1));
    }
    list.keys.push_back("Item" + std::to_string(Items + 1));
    list.values.emplace_back("Inst.ini");
    return list;
}

// WritePrivateProfileStringA per key, then GetPrivateProfileStringA for the
// key list and for every value. Returns the bytes of the values read back.
std::size_t throughTheSystem(const List& list, const std::string& path) {
    for (std::size_t i = 0; i < list.keys.size(); ++i) {
        if (!WritePrivateProfileStringA("Files", list.keys[i].c_str(), list.values[i].c_str(),
                                        path.c_str()))
            return 0;
    }
    std::vector<char> names(std::size_t{1} << 20);
    const DWORD length = GetPrivateProfileStringA("Files", nullptr, "", names.data(),
                                                  static_cast<DWORD>(names.size()), path.c_str());
    std::size_t bytes = 0;
    char value[2048];
    for (DWORD at = 0; at < length && names[at] != '\0';) {
        const char* key = names.data() + at;
        bytes +=
            GetPrivateProfileStringA("Files", key, "Nothing", value, sizeof value, path.c_str());
        at += static_cast<DWORD>(std::strlen(key)) + 1;
    }
    return bytes;
}

// The tool's way: every key into one profile object, one write of the file,
// one read, then the key list and every value.
std::size_t throughTheTool(const List& list, const std::string& path) {
    platform::System& sys = platform::realSystem();
    platform::ProfileFile out;
    for (std::size_t i = 0; i < list.keys.size(); ++i)
        out.write("Files", list.keys[i], list.values[i]);
    if (!out.save(sys, path))
        return 0;
    const std::optional<platform::ProfileFile> in = platform::ProfileFile::load(sys, path);
    if (!in)
        return 0;
    std::size_t bytes = 0;
    for (const std::string& key : in->keys("Files"))
        bytes += in->read("Files", key, "Nothing").size();
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kw_profile_api_bench FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    const std::string apiPath = folder + "api.ini";
    const std::string toolPath = folder + "tool.ini";
    const List list = fileList();
    std::size_t expected = 0;
    for (const std::string& value : list.values)
        expected += value.size();

    std::vector<double> api;
    std::vector<double> tool;
    for (int round = 0; round < 3; ++round) {
        DeleteFileA(apiPath.c_str());
        auto start = std::chrono::steady_clock::now();
        const std::size_t apiBytes = throughTheSystem(list, apiPath);
        api.push_back(milliseconds(start));
        DeleteFileA(apiPath.c_str());
        for (int i = 0; i < 5; ++i) {
            DeleteFileA(toolPath.c_str());
            start = std::chrono::steady_clock::now();
            const std::size_t toolBytes = throughTheTool(list, toolPath);
            tool.push_back(milliseconds(start));
            if (toolBytes != expected) {
                std::fprintf(stderr, "the tool's file did not read back\n");
                return 1;
            }
        }
        DeleteFileA(toolPath.c_str());
        if (apiBytes != expected) {
            std::fprintf(stderr, "the system's file did not read back (%zu of %zu bytes)\n",
                         apiBytes, expected);
            return 1;
        }
    }
    std::printf("profile_api_%d %.3f\n", Items, median(api));
    std::printf("profile_tool_%d %.3f\n", Items, median(tool));
    return 0;
}
