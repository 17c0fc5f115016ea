// Holds a file open as another program would (an XML viewer, say) until its standard input
// ends, so that a test can export over a file in use. Prints "held" once the file is open.
// Usage: hold_open FILE read-write|read
//   read-write  others may read and write the file, but not delete or rename it
//   read        others may only read it

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 3 ||
        (std::strcmp(argv[2], "read-write") != 0 && std::strcmp(argv[2], "read") != 0)) {
        std::fprintf(stderr, "usage: hold_open FILE read-write|read\n");
        return 2;
    }
    const DWORD share =
        std::strcmp(argv[2], "read") == 0 ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    const HANDLE file = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_open: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    CloseHandle(file);
    return 0;
}
