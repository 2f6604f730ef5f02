// Times the module's folder removal against the least a wide walk of the
// platform needs: the same tree of files (ten groups of ten folders of 100
// files) is made twice under D:\, removed once by CleanupDatabase of
// Gantrel.dll (beside this program, with dbPath naming the tree) and once by
// a plain recursive walk of FindFirstFileW, DeleteFileW and RemoveDirectoryW,
// and the times are compared. Both run inside this process, so no process
// start-up is timed.
//   FolderWalkBench.exe [ROUNDS]     3 rounds by default
// Prints the median times and their ratio; exit status 1 when a tree is not
// removed or the module cannot be loaded.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef LONG(WINAPI* HookEntry)(HWND, LONG, LPSTR);

void MakeTree(const std::wstring& root) {
    CreateDirectoryW(root.c_str(), nullptr);
    for (int group = 0; group < 10; ++group) {
        std::wstring groupPath = root + L"\\group" + std::to_wstring(group);
        CreateDirectoryW(groupPath.c_str(), nullptr);
        for (int folder = 0; folder < 10; ++folder) {
            std::wstring folderPath = groupPath + L"\\folder" + std::to_wstring(folder);
            CreateDirectoryW(folderPath.c_str(), nullptr);
            for (int file = 0; file < 100; ++file) {
                std::wstring filePath = folderPath + L"\\page" + std::to_wstring(file) + L".db";
                HANDLE handle = CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                DWORD written = 0;
                WriteFile(handle, "database page\n", 14, &written, nullptr);
                CloseHandle(handle);
            }
        }
    }
}

// The least a wide walk does: list, delete files, remove folders.
void PlainWalk(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                PlainWalk(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    HMODULE module = LoadLibraryA("Gantrel.dll");
    HookEntry cleanup = module != nullptr ? reinterpret_cast<HookEntry>(reinterpret_cast<void*>(
                                                GetProcAddress(module, "CleanupDatabase")))
                                          : nullptr;
    if (cleanup == nullptr) {
        std::fprintf(stderr, "FolderWalkBench: cannot load Gantrel.dll\n");
        return 1;
    }
    const char dbPath[] = "D:\\walk-module";
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvanet\\Lumeno", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, "dbPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dbPath), sizeof dbPath);
    RegCloseKey(key);

    std::vector<double> moduleTimes;
    std::vector<double> walkTimes;
    for (int round = 0; round < rounds; ++round) {
        MakeTree(L"D:\\walk-module");
        MakeTree(L"D:\\walk-plain");
        LARGE_INTEGER start, middle, end;
        QueryPerformanceCounter(&start);
        cleanup(nullptr, 0, nullptr);
        QueryPerformanceCounter(&middle);
        PlainWalk(L"D:\\walk-plain");
        QueryPerformanceCounter(&end);
        if (GetFileAttributesW(L"D:\\walk-module") != INVALID_FILE_ATTRIBUTES ||
            GetFileAttributesW(L"D:\\walk-plain") != INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "FolderWalkBench: a tree is still there\n");
            return 1;
        }
        moduleTimes.push_back(Milliseconds(start, middle));
        walkTimes.push_back(Milliseconds(middle, end));
    }
    double moduleMs = Median(moduleTimes);
    double walkMs = Median(walkTimes);
    std::printf("10,000 files: CleanupDatabase %.1f ms, wide walk %.1f ms, ratio %.2f "
                "(aim: at most 1.1)\n",
                moduleMs, walkMs, moduleMs / walkMs);
    return 0;
}
