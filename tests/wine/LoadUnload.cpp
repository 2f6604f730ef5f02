// Loads a module and unloads it again without calling anything:
//   LoadUnload.exe PATH  ->  "loaded and unloaded"
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: LoadUnload PATH\n");
        return 2;
    }
    HMODULE module = ::LoadLibraryA(argv[1]);
    if (module == nullptr) {
        std::printf("cannot load %s (error %lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    ::FreeLibrary(module);
    std::printf("loaded and unloaded\n");
    return 0;
}
