// Tries to rename a folder while the module walks it, as a racer would who
// wants to put a link in its place.
//   RenameDuringWalk.exe FOLDER NEWNAME READY
// Counts FOLDER's entries, writes the file READY, waits until the count
// drops (the walk has begun deleting inside FOLDER), then tries once to
// rename FOLDER to NEWNAME. Prints "refused N entries left, error E" or
// "renamed"; exit status 1 when the walk never began within a minute.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

long CountEntries(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return -1;
    }
    long count = 0;
    do {
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    std::string folder = argv[1];
    long before = CountEntries(folder);
    HANDLE ready = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(ready);
    for (int tries = 0; tries < 60000; ++tries) {
        long now = CountEntries(folder);
        if (now >= 0 && now < before) {
            if (MoveFileA(folder.c_str(), argv[2])) {
                std::printf("renamed\n");
            } else {
                std::printf("refused %ld entries left, error %lu\n", now, GetLastError());
            }
            return 0;
        }
        Sleep(1);
    }
    return 1;
}
