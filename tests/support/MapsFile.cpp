// A stand-in for a program Wine runs, as the platform layer sees it: it maps a
// file (Wine maps the .exe it runs) and lives until a path is gone.
//
//   kw_maps_file FILE UNTIL
//   KW_MAPS=FILE KW_UNTIL=UNTIL kw_maps_file ARGUMENTS...
//
// Maps FILE read-only, then looks every 10 ms whether UNTIL still exists and
// ends once it does not, or after 60 s. The second form's command line names
// neither, as that of a program Wine starts with arguments only. Before FILE
// come a hundred more lines of maps, so that its line lies past the first
// 4 KiB of the maps text.
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* file = argc == 3 ? argv[1] : getenv("KW_MAPS");
    const char* until = argc == 3 ? argv[2] : getenv("KW_UNTIL");
    if (!file || !until)
        return 2;
    const int fd = open(file, O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0)
        return 1;
    void* mapped = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED)
        return 1;
    // Mapped later, below it: pages of alternating access, one line each.
    for (int page = 0; page < 100; ++page)
        mmap(nullptr, 4096, page % 2 ? PROT_READ : PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    for (int waited = 0; waited < 6000 && access(until, F_OK) == 0; ++waited)
        usleep(10000);
    return 0;
}
