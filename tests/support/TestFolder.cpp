#include "support/TestFolder.h"

#include "platform/System.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

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
    std::error_code ec;
    // Make everything writable again so that read-only test folders go too.
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

fs::path TestFolder::native(const std::string& relative) const {
    return relative.empty() ? root_ : root_ / fs::u8path(relative);
}

std::string TestFolder::logic(const std::string& relative) const {
    std::string nativeText = native(relative).u8string();
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
        throw std::runtime_error("cannot write " + p.string());
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

void TestFolder::mkdir(const std::string& relative) { fs::create_directories(native(relative)); }

std::map<std::string, std::string> TestFolder::snapshot() const {
    std::map<std::string, std::string> out;
    for (auto& e : fs::recursive_directory_iterator(root_)) {
        if (e.is_regular_file() && !e.is_symlink()) {
            std::string rel = fs::relative(e.path(), root_).u8string();
            out[rel] = read(rel);
        }
    }
    return out;
}

} // namespace testing_support
