// What the folder walk knows of an entry before it deals with it.
#include "PinnedFolder.h"

DWORD ListedAttributes(const WideText& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = platform::FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return INVALID_FILE_ATTRIBUTES;
    }
    Listing listing(search);
    return found.dwFileAttributes;
}

namespace {

bool ListedAsRealFolder(const WideText& path) {
    DWORD attributes = ListedAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && IsFolder(attributes) && !IsLink(attributes);
}

} // namespace

PinnedFolder::PinnedFolder(const WideText& path)
    : handle_(platform::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr)) {
    if (handle_ != INVALID_HANDLE_VALUE &&
        (!platform::GetFileInformationByHandle(handle_, &information_) ||
         !IsFolder(information_.dwFileAttributes) || IsLink(information_.dwFileAttributes) ||
         !ListedAsRealFolder(path))) {
        Release();
    }
}

bool OpensTheLinkItself(const WideText& path) {
    HANDLE handle = platform::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    bool link = platform::GetFileInformationByHandle(handle, &information) &&
                IsLink(information.dwFileAttributes);
    platform::CloseHandle(handle);
    return link;
}
