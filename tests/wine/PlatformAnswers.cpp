// Prints what the platform answers to the calls the module's folder removal
// and its boxes rely on, one "question: answer" line each, so that two Wines
// (or Wine and Windows) can be compared line by line:
//   PlatformAnswers.exe FOLDER LINK-TO-FOLDER
// FOLDER is a scratch folder (D:\...); LINK-TO-FOLDER a symbolic link to a
// folder that the caller made. Exit status 0 when every call could be made.
#include "WideArgument.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void Answer(const char* question, unsigned long value) {
    std::printf("%s: 0x%lX\n", question, value);
}

// What the handle, the listing and the attributes say of PATH.
void Describe(const char* what, const std::wstring& path) {
    std::string prefix(what);
    HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &information)) {
        Answer((prefix + ", through its handle").c_str(), information.dwFileAttributes);
    } else {
        Answer((prefix + ", handle error").c_str(), GetLastError());
    }
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    Answer((prefix + ", listed").c_str(),
           search == INVALID_HANDLE_VALUE ? 0xFFFFFFFFul : found.dwFileAttributes);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    Answer((prefix + ", GetFileAttributesW").c_str(), GetFileAttributesW(path.c_str()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: PlatformAnswers.exe FOLDER LINK-TO-FOLDER\n");
        return 2;
    }
    std::wstring folder = L"\\\\?\\" + Wide(argv[1]);
    std::wstring link = L"\\\\?\\" + Wide(argv[2]);

    Describe("a link to a folder", link);
    Answer("RemoveDirectoryW on the link", RemoveDirectoryW(link.c_str()) ? 0 : GetLastError());

    // A folder held open without FILE_SHARE_DELETE: may it be renamed?
    std::wstring held = folder + L"\\held";
    CreateDirectoryW(held.c_str(), nullptr);
    HANDLE pin = CreateFileW(held.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    std::wstring moved = folder + L"\\moved";
    Answer("MoveFileW of a held folder",
           MoveFileW(held.c_str(), moved.c_str()) ? 0 : GetLastError());
    Answer("RemoveDirectoryW of a held folder",
           RemoveDirectoryW(held.c_str()) ? 0 : GetLastError());
    CloseHandle(pin);
    RemoveDirectoryW(held.c_str());
    RemoveDirectoryW(moved.c_str());

    // A path of 300 characters, through the verbatim prefix.
    std::wstring deep = folder;
    for (int level = 0; deep.size() < 300; ++level) {
        deep += L"\\level-of-a-deep-tree-" + std::to_wstring(level);
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    std::wstring file = deep + L"\\page.db";
    HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    Answer("CreateFileW beyond MAX_PATH", created == INVALID_HANDLE_VALUE ? GetLastError() : 0);
    CloseHandle(created);
    Answer("DeleteFileW beyond MAX_PATH", DeleteFileW(file.c_str()) ? 0 : GetLastError());

    Answer("GetACP", GetACP());
    return 0;
}
