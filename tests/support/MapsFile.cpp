// A stand-in for a program Wine runs, as the platform layer sees it: it maps a
// file (Wine maps the .exe it runs) and lives until a path is gone.
//
//   kw_maps_file FILE UNTIL
//
// Maps FILE read-only, then looks every 10 ms whether UNTIL still exists and
// ends once it does not, or after 60 s.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0)
        return 1;
    void* mapped = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED)
        return 1;
    for (int waited = 0; waited < 6000 && access(argv[2], F_OK) == 0; ++waited)
        usleep(10000);
    return 0;
}
