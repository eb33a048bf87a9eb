#include "support/TestFolder.h"

#include "platform/System.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace testing_support {

namespace {

// Paths to and from UTF-8 text, on every system: path::string() would use the
// ANSI code page on Windows.
fs::path pathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end())).make_preferred();
}

std::string utf8Of(const fs::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
}

#ifndef _WIN32
std::string genericUtf8Of(const fs::path& p) {
    const std::u8string text = p.generic_u8string();
    return std::string(text.begin(), text.end());
}
#endif

#ifdef _WIN32
// MinGW's directory walk stops at MAX_PATH, so on Windows the tree is walked
// with the system's own search in the extended-length form: tests make trees
// far deeper than that.
std::wstring longForm(const std::wstring& path) {
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

// Calls visit(relative path with "/", full native path, attributes) for every
// entry below `folder`, a folder before what it holds.
template <typename Visit>
void walk(const std::wstring& folder, const std::wstring& relative, Visit& visit) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(longForm(folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring rel = relative.empty() ? name : relative + L"/" + name;
        const std::wstring full = folder + L"\\" + name;
        visit(rel, full, data.dwFileAttributes);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            walk(full, rel, visit);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

void removeTree(const std::wstring& root) {
    std::vector<std::pair<std::wstring, bool>> entries; // full path, folder
    auto collect = [&](const std::wstring&, const std::wstring& full, DWORD attributes) {
        entries.emplace_back(full, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    };
    walk(root, L"", collect);
    // Deepest first: what a folder holds was met after the folder.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::wstring path = longForm(it->first);
        SetFileAttributesW(path.c_str(),
                           it->second ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
        if (it->second)
            RemoveDirectoryW(path.c_str());
        else
            DeleteFileW(path.c_str());
    }
    SetFileAttributesW(longForm(root).c_str(), FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(longForm(root).c_str());
}
#endif

} // namespace

TestFolder::TestFolder() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("kw-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            root_ = fs::canonical(p);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TestFolder::~TestFolder() {
#ifdef _WIN32
    // Read-only, hidden and system attributes set by the tests go too.
    removeTree(root_.wstring());
#else
    std::error_code ec;
    // Make everything writable again so that read-only test folders go too.
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
#endif
}

fs::path TestFolder::native(const std::string& relative) const {
    return relative.empty() ? root_ : root_ / pathFromUtf8(relative);
}

std::string TestFolder::logic(const std::string& relative) const {
    std::string nativeText = utf8Of(native(relative));
    auto converted = platform::realSystem().fromNativePath(nativeText);
    if (!converted)
        throw std::runtime_error("not representable: " + nativeText);
    std::string out = *converted;
    if (relative.empty() && (out.empty() || out.back() != '\\'))
        out += '\\';
    return out;
}

void TestFolder::write(const std::string& relative, const std::string& contents) {
    fs::path p = native(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out)
        throw std::runtime_error("cannot write " + utf8Of(p));
}

std::string TestFolder::read(const std::string& relative) const {
    std::ifstream in(native(relative), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + relative);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool TestFolder::exists(const std::string& relative) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(native(relative), ec));
}

void TestFolder::mkdir(const std::string& relative) {
    fs::create_directories(native(relative));
}

std::map<std::string, std::string> TestFolder::snapshot() const {
    std::map<std::string, std::string> out;
#ifdef _WIN32
    auto visit = [&](const std::wstring& relative, const std::wstring& full, DWORD attributes) {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            return;
        std::ifstream in(fs::path(longForm(full)), std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot read " + utf8Of(fs::path(relative)));
        std::ostringstream ss;
        ss << in.rdbuf();
        out[utf8Of(fs::path(relative))] = ss.str();
    };
    walk(root_.wstring(), L"", visit);
#else
    for (auto& e : fs::recursive_directory_iterator(root_)) {
        if (e.is_regular_file() && !e.is_symlink()) {
            std::string rel = genericUtf8Of(fs::relative(e.path(), root_));
            out[rel] = read(rel);
        }
    }
#endif
    return out;
}

} // namespace testing_support
