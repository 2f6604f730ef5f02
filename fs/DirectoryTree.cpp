// Removal of a folder tree: the walk, depth first, in the platform's listing
// order.
#include "DirectoryTree.h"

#include "Platform.h"

#include <cctype>
#include <cstring>

namespace {

// Ends a listing however the walk over it ends, an error included.
class Listing {
  public:
    explicit Listing(HANDLE handle) : handle_(handle) {}
    ~Listing() { platform::FindClose(handle_); }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

  private:
    HANDLE handle_;
};

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "." and ".." by whole name: "..." and ".profile" are ordinary entries.
bool IsSelfOrParent(const char* name) {
    return CompareText(name, ".") == 0 || CompareText(name, "..") == 0;
}

// A name that ends in a dot or a space is one the platform's path rules fold
// into another: "D:\db\..." and "D:\db\.. " name D:\db itself, "D:\db\a."
// names D:\db\a. Such an entry is reached only through the verbatim form of
// its path, which the platform takes exactly as it stands.
bool FoldsIntoAnother(const char* name) {
    std::size_t length = std::strlen(name);
    return length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ');
}

// The verbatim form of a full path ("\\?\D:\db", "\\?\UNC\server\share\db"),
// or the empty value for a path that has none (a relative one).
TextString VerbatimPath(const TextString& path) {
    const char* text = path.Text();
    if (std::strncmp(text, "\\\\?\\", 4) == 0) {
        return path;
    }
    if (path.Length() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
        text[2] == '\\') {
        return "\\\\?\\" + path;
    }
    if (path.Length() >= 3 && text[0] == '\\' && text[1] == '\\') {
        return "\\\\?\\UNC\\" + path.Right(path.Length() - 2);
    }
    return TextString();
}

// One entry of a listing, with the attributes the listing reported.
void RemoveEntry(const TextString& entryPath, DWORD attributes) {
    if (IsLink(attributes)) {
        // A junction or a symbolic link leads out of the tree: it goes as the
        // link where the platform allows that, and otherwise stays. Its
        // read-only mark is left alone too, since on some platforms changing
        // it changes the target's.
        if (IsFolder(attributes)) {
            platform::RemoveDirectoryA(entryPath.Text());
        } else {
            platform::DeleteFileA(entryPath.Text());
        }
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        platform::SetFileAttributesA(entryPath.Text(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (IsFolder(attributes)) {
        if (!platform::RemoveDirectoryA(entryPath.Text())) {
            EmptyDirectory(entryPath);
            platform::RemoveDirectoryA(entryPath.Text());
        }
    } else {
        platform::DeleteFileA(entryPath.Text());
    }
}

} // namespace

int16_t RemoveDirectoryTree(const TextString& path) {
    if (platform::RemoveDirectoryA(path.Text())) {
        return 0;
    }
    // Only a real folder is emptied: a link named here would be walked in
    // its target, and a file or nothing has nothing to empty.
    DWORD attributes = platform::GetFileAttributesA(path.Text());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsFolder(attributes) || IsLink(attributes)) {
        return 0;
    }
    int16_t emptied = EmptyDirectory(path);
    if (emptied != 0) {
        return emptied;
    }
    platform::RemoveDirectoryA(path.Text());
    return 0;
}

int16_t EmptyDirectory(const TextString& path) {
    try {
        WIN32_FIND_DATAA found;
        HANDLE search = platform::FindFirstFileA((path + "\\*.*").Text(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return 0;
        }
        Listing listing(search);
        TextString folderPrefix = path + '\\';
        TextString verbatimPrefix; // made when first needed
        do {
            if (IsSelfOrParent(found.cFileName)) {
                continue;
            }
            if (!FoldsIntoAnother(found.cFileName)) {
                RemoveEntry(folderPrefix + found.cFileName, found.dwFileAttributes);
                continue;
            }
            if (verbatimPrefix.IsEmpty()) {
                verbatimPrefix = VerbatimPath(path);
                if (!verbatimPrefix.IsEmpty()) {
                    verbatimPrefix += "\\";
                }
            }
            // Without a verbatim form the entry cannot be reached, and stays.
            if (!verbatimPrefix.IsEmpty()) {
                RemoveEntry(verbatimPrefix + found.cFileName, found.dwFileAttributes);
            }
        } while (platform::FindNextFileA(search, &found));
        return 0;
    } catch (...) {
        // This level stops; the level above goes on with its own walk.
        return 1;
    }
}
