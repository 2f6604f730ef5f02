// An entry of a listing as the find data of FindFirstFile and FindNextFile
// show it, in their ANSI and their wide form.
#include "FindData.h"

#include "FileNames.h"
#include "FileSystem.h"

#include <cstring>
#include <fcntl.h>
#include <string>

namespace emulated {
namespace {

bool LeadsToFolder(int folderFd, const char* name) {
    struct stat target;
    return ::fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// The name as each kind of find data holds it: false when it does not fit,
// and the entry is then not listed, as Windows lists no name it cannot hand
// out.
bool PutName(const std::string& name, LPWIN32_FIND_DATAA data) {
    std::string ansi = AnsiFromUtf8(name);
    if (ansi.size() >= MAX_PATH) {
        return false;
    }
    std::memcpy(data->cFileName, ansi.c_str(), ansi.size() + 1);
    return true;
}

bool PutName(const std::string& name, LPWIN32_FIND_DATAW data) {
    std::u16string wide = WideFromUtf8(name);
    if (wide.size() >= MAX_PATH) {
        return false;
    }
    std::memcpy(data->cFileName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    return true;
}

// Describe, for either kind of find data.
template <typename FindData>
bool DescribeAs(int folderFd, const char* name, FindData* data, struct stat& entry) {
    if (::fstatat(folderFd, name, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    bool isLink = S_ISLNK(entry.st_mode);
    std::memset(data, 0, sizeof *data);
    if (!PutName(name, data)) {
        return false;
    }
    data->dwFileAttributes = AttributesOf(entry, name, isLink && LeadsToFolder(folderFd, name));
    data->ftCreationTime = FileTimeOf(entry.st_ctim);
    data->ftLastAccessTime = FileTimeOf(entry.st_atim);
    data->ftLastWriteTime = FileTimeOf(entry.st_mtim);
    if (!S_ISDIR(entry.st_mode)) {
        unsigned long long size = static_cast<unsigned long long>(entry.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    if (isLink) {
        data->dwReserved0 = 0xA000000C; // IO_REPARSE_TAG_SYMLINK
    }
    return true;
}

} // namespace

bool Describe(int folderFd, const char* name, WIN32_FIND_DATAA* data, struct stat& entry) {
    return DescribeAs(folderFd, name, data, entry);
}

bool Describe(int folderFd, const char* name, WIN32_FIND_DATAW* data, struct stat& entry) {
    return DescribeAs(folderFd, name, data, entry);
}

} // namespace emulated
