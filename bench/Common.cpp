#include "Common.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {
namespace {

std::string& rootFolder() {
    static std::string folder;
    return folder;
}

[[noreturn]] void fail(const std::string& what) {
    std::perror(what.c_str());
    std::exit(2);
}

} // namespace

void setRoot(std::string nativeFolder) {
    while (nativeFolder.size() > 1 && nativeFolder.back() == '/')
        nativeFolder.pop_back();
    rootFolder() = std::move(nativeFolder);
}

const std::string& root() {
    return rootFolder();
}

std::string native(const std::string& relative) {
    return root() + "/" + relative;
}

std::string logic(const std::string& nativePath, bool folder) {
    std::optional<std::string> form = platform::realSystem().fromNativePath(nativePath);
    if (!form) {
        std::fprintf(stderr, "not a path the tool can take: %s\n", nativePath.c_str());
        std::exit(2);
    }
    if (folder && (form->empty() || form->back() != '\\'))
        *form += '\\';
    return *form;
}

void makeFolders(const std::string& nativePath) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = nativePath.find('/', slash + 1);
        const std::string part = nativePath.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            fail("mkdir " + part);
    }
}

void makeFile(const std::string& nativePath, std::size_t size, bool written) {
    const std::size_t slash = nativePath.rfind('/');
    if (slash != std::string::npos && slash > 0)
        makeFolders(nativePath.substr(0, slash));
    const int fd = open(nativePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("create " + nativePath);
    if (size > 0) {
        if (written) {
            std::string block(size, '\0');
            for (std::size_t i = 0; i < size; ++i)
                block[i] = static_cast<char>('a' + i % 26);
            if (write(fd, block.data(), size) != static_cast<ssize_t>(size))
                fail("write " + nativePath);
        } else if (posix_fallocate(fd, 0, static_cast<off_t>(size)) != 0) {
            fail("fallocate " + nativePath);
        }
    }
    close(fd);
}

void ensureTree(const std::string& name, const std::function<void(const std::string&)>& build) {
    const std::string marker = native(name + ".ready");
    if (access(marker.c_str(), F_OK) == 0)
        return;
    build(native(name));
    makeFile(marker, 0);
}

void buildFlatTree(const std::string& top, int folders, int filesEach) {
    makeFolders(top);
    char name[64];
    for (int d = 0; d < folders; ++d) {
        std::snprintf(name, sizeof name, "/d%04d", d);
        const std::string folder = top + name;
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            fail("mkdir " + folder);
        for (int f = 0; f < filesEach; ++f) {
            std::snprintf(name, sizeof name, "/file%03d.dat", f);
            const std::string file = folder + name;
            const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                fail("create " + file);
            close(fd);
        }
    }
}

} // namespace bench
