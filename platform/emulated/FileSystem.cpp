// What the listing and the removal operations of the emulated file system
// share: Windows attributes and errors for Linux entries and errno values,
// the thread's last error, and the mapping of path arguments, ANSI and wide.
#include "FileSystem.h"

#include "FileNames.h"
#include "Operations.h"
#include "PathMapping.h"

#include <cerrno>
#include <cstring>

namespace emulated {
namespace {

thread_local DWORD lastFileError = ERROR_SUCCESS;

// The longest path the wide calls take, in UTF-16 units.
const std::size_t maxWidePath = 32767;

} // namespace

FILETIME FileTimeOf(const struct timespec& time) {
    // 100-nanosecond steps since 1601-01-01.
    const unsigned long long epochOffset = 116444736000000000ULL;
    unsigned long long ticks = epochOffset +
                               static_cast<unsigned long long>(time.tv_sec) * 10000000ULL +
                               static_cast<unsigned long long>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& entry, const char* name, bool leadsToFolder) {
    DWORD attributes = 0;
    if (S_ISLNK(entry.st_mode)) {
        attributes = FILE_ATTRIBUTE_REPARSE_POINT |
                     (leadsToFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    } else if (S_ISDIR(entry.st_mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        attributes = FILE_ATTRIBUTE_ARCHIVE;
    }
    if (!S_ISLNK(entry.st_mode) && (entry.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOTEMPTY:
    case EEXIST:
        return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG:
        return errorFilenameTooLong;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

DWORD ErrorFromFault(FaultKind kind) {
    return static_cast<DWORD>(StatusOfFault(kind, fileFaultStatuses));
}

void SetLastFileError(DWORD error) {
    lastFileError = error;
}

DWORD LastFileError() {
    return lastFileError;
}

bool MapFilePath(const char* windowsPath, std::string& linuxPath, bool* driveRoot) {
    if (windowsPath != nullptr && std::strlen(windowsPath) >= MAX_PATH) {
        SetLastFileError(errorFilenameTooLong);
        return false;
    }
    std::string utf8 =
        windowsPath != nullptr ? Utf8FromAnsi(windowsPath, std::strlen(windowsPath)) : "";
    if (!MapPath(utf8.c_str(), linuxPath, driveRoot)) {
        SetLastFileError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

bool MapFilePath(const WCHAR* windowsPath, std::string& linuxPath, bool* driveRoot) {
    std::size_t length = 0;
    while (windowsPath != nullptr && windowsPath[length] != 0) {
        ++length;
    }
    bool verbatim = length >= 4 && windowsPath[0] == '\\' && windowsPath[1] == '\\' &&
                    windowsPath[2] == '?' && windowsPath[3] == '\\';
    if (length > maxWidePath || (!verbatim && length >= MAX_PATH)) {
        SetLastFileError(errorFilenameTooLong);
        return false;
    }
    std::string utf8 = Utf8FromWide(windowsPath, length);
    if (!MapPath(utf8.c_str(), linuxPath, driveRoot)) {
        SetLastFileError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

std::string Quoted(const WCHAR* windowsPath) {
    if (windowsPath == nullptr) {
        return "NULL";
    }
    std::size_t length = 0;
    while (windowsPath[length] != 0) {
        ++length;
    }
    return Quoted(Utf8FromWide(windowsPath, length).c_str());
}

bool FindCase(std::string& linuxPath) {
    return FindCaseOnDisk(linuxPath, DriveFolderLength(linuxPath));
}

} // namespace emulated
