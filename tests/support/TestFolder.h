// A temporary folder for tests, removed with everything in it at the end.
// Names are native (UTF-8, "/" separators); `logic()` gives the logic's form.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return root_; }
    // The native path of a relative UTF-8 name ("doc/readme.txt").
    std::filesystem::path native(const std::string& relative) const;
    // The logic's form (code page 932, backslashes) of the folder or of a
    // relative name; the folder form ends with a backslash.
    std::string logic(const std::string& relative = "") const;

    // Creates the file (and its folders) with the given contents.
    void write(const std::string& relative, const std::string& contents = "");
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void mkdir(const std::string& relative);

    // Every regular file below the folder: relative UTF-8 path -> contents.
    std::map<std::string, std::string> snapshot() const;

private:
    std::filesystem::path root_;
};

} // namespace testing_support
