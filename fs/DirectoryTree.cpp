// Removal of a folder tree: the walk, depth first, in the platform's listing
// order.
//
// The path arrives as ANSI text and is converted once, with the ANSI code
// page; from then on every entry is reached through the wide calls on the
// verbatim form of its path ("\\?\D:\db\...", "\\?\UNC\server\share\db\..."),
// which the platform takes exactly as it stands. That reaches names in any
// script, whether or not the ANSI code page can carry them, paths longer than
// MAX_PATH, names that end in a dot or a space, and names of devices (a
// "con" or "nul.txt" inside the folder is a file there, not the device).
#include "DirectoryTree.h"

#include "FolderIdentity.h"
#include "PinnedFolder.h"
#include "Platform.h"
#include "WidePath.h"
#include "WideText.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

// "." and ".." by whole name: "..." and ".profile" are ordinary entries.
bool IsSelfOrParent(const WCHAR* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// A junction or a symbolic link leads out of the tree: it goes as the link
// where the platform removes the link itself, and otherwise stays. Its
// read-only mark is left alone too, since on some platforms changing it
// changes the target's.
void RemoveLink(const WideText& path, DWORD attributes) {
    if (!OpensTheLinkItself(path)) {
        return;
    }
    if (IsFolder(attributes)) {
        platform::RemoveDirectoryW(path.c_str());
    } else {
        platform::DeleteFileW(path.c_str());
    }
}

// One folder of the walk: held for as long as its entries are dealt with,
// with the listing of them. The levels of a walk live on the heap, one
// above the other, so a tree of any depth the platform's paths allow takes
// no more of the caller's stack than a single folder does.
struct Level {
    explicit Level(WideText path) : folder(std::move(path)), pinned(folder) {}
    // The listing ends before the folder is let go.
    ~Level() {
        if (search != INVALID_HANDLE_VALUE) {
            platform::FindClose(search);
        }
    }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    WideText folder;
    PinnedFolder pinned;
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found;
};

// Starts the listing of a level just entered: false when the folder is not
// to be walked (it could not be pinned, or turned out to be a link or a
// file) or cannot be listed.
bool StartListing(Level& level) {
    if (!level.pinned.IsHeld()) {
        return false;
    }
    WideText pattern = level.folder;
    AppendAscii(pattern, "\\*.*");
    level.search = platform::FindFirstFileW(pattern.c_str(), &level.found);
    return level.search != INVALID_HANDLE_VALUE;
}

// Deals with the entry a level's listing has just reported. A sub-folder
// that cannot be removed at once is handed back in `subFolder`, to be
// emptied as a level of its own before its second removal.
void RemoveEntry(const Level& level, WideText& subFolder) {
    const WIN32_FIND_DATAW& found = level.found;
    if (IsSelfOrParent(found.cFileName)) {
        return;
    }
    WideText entryPath = level.folder;
    entryPath += static_cast<WCHAR>('\\');
    entryPath += found.cFileName;
    DWORD attributes = found.dwFileAttributes;
    if (IsLink(attributes)) {
        RemoveLink(entryPath, attributes);
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        platform::SetFileAttributesW(entryPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (IsFolder(attributes)) {
        if (!platform::RemoveDirectoryW(entryPath.c_str())) {
            subFolder.swap(entryPath);
        }
    } else {
        platform::DeleteFileW(entryPath.c_str());
    }
}

// The levels of a walk, innermost last. Each is ended by its own level's
// rules: listing first, then the pin, then the level above tries once more
// to remove it.
class Walk {
  public:
    Walk() = default;
    ~Walk() {
        while (!levels_.empty()) {
            levels_.pop_back();
        }
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    bool IsOver() const { return levels_.empty(); }
    Level& Innermost() { return *levels_.back(); }
    std::size_t Depth() const { return levels_.size(); }

    // Enters `folder` as the innermost level, pinning it; false when memory
    // for the level ran out, `folder` then left as it was.
    bool Enter(WideText& folder) {
        try {
            if (levels_.size() == levels_.capacity()) {
                levels_.reserve(levels_.capacity() * 2 + 16);
            }
            levels_.push_back(std::unique_ptr<Level>(new Level(std::move(folder))));
            return true;
        } catch (...) {
            return false;
        }
    }
    // Ends the innermost level, and answers the path of its folder.
    WideText Leave() {
        WideText folder;
        folder.swap(levels_.back()->folder);
        levels_.pop_back();
        return folder;
    }

  private:
    std::vector<std::unique_ptr<Level>> levels_;
};

// How a walk of a folder ended: it went through to the end, it was cut
// short by an error in the top folder's own walk, or the folder was not to
// be touched at all.
enum class Emptied { walked, cutShort, refused };

// What a removal asks of its top folder beyond a walk: the folders it must
// leave, however they are named, and whether the folder's own read-only mark
// is to go once it is empty.
struct TopFolder {
    const std::vector<FolderIdentity>* refused;
    bool clearOwnMark;
};

// Whether the top folder, now held, is one the removal must leave.
bool IsRefused(const Level& level, const TopFolder& top) {
    return top.refused != nullptr && level.pinned.IsHeld() &&
           IsAmong(IdentityFrom(level.pinned.Information()), *top.refused);
}

// The top folder's own read-only mark goes while it is still held, so it is
// the folder's and never a link's that took its place.
void ClearOwnMark(const Level& level, const TopFolder& top) {
    DWORD attributes = level.pinned.Information().dwFileAttributes;
    if (top.clearOwnMark && level.pinned.IsHeld() && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        platform::SetFileAttributesW(level.folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
}

// Empties `folder`, depth first in listing order, each folder pinned while
// it is walked; one that cannot be pinned, or turns out to be a link or a
// file, is not walked. An error inside one folder's walk (memory for a path
// ran out) stops that folder only: the level above removes what it can of
// it and goes on. The path is the top level's own while the walk lasts, and
// is handed back in `folder` when it is over.
Emptied EmptyFolder(WideText& folder, const TopFolder& top) {
    Walk walk;
    if (!walk.Enter(folder)) {
        return Emptied::cutShort;
    }
    if (IsRefused(walk.Innermost(), top)) {
        folder = walk.Leave();
        return Emptied::refused;
    }
    bool entered = true;
    Emptied result = Emptied::walked;
    while (!walk.IsOver()) {
        Level& level = walk.Innermost();
        bool ended = false;
        bool cutShort = false;
        WideText subFolder;
        try {
            if (entered) {
                entered = false;
                ended = !StartListing(level);
            } else {
                ended = !platform::FindNextFileW(level.search, &level.found);
            }
            if (!ended) {
                RemoveEntry(level, subFolder);
            }
        } catch (...) {
            cutShort = true;
        }
        if (ended || cutShort) {
            bool atTop = walk.Depth() == 1;
            if (atTop && !cutShort) {
                ClearOwnMark(level, top);
            }
            WideText left = walk.Leave();
            if (atTop) {
                result = cutShort ? Emptied::cutShort : Emptied::walked;
                folder.swap(left);
            } else {
                platform::RemoveDirectoryW(left.c_str());
            }
        } else if (!subFolder.empty()) {
            if (walk.Enter(subFolder)) {
                entered = true;
            } else {
                // No memory for its level: its walk is cut short before it
                // began, and only the second removal is left.
                platform::RemoveDirectoryW(subFolder.c_str());
            }
        }
    }
    return result;
}

// Whether the entry at `path`, or what it leads to, is one of `refused`:
// opened as itself, and as its target where it is a link. Asked before
// anything is done with it: an empty folder would go at the first attempt,
// and a link to one of them would go as the link.
bool NamesARefusedFolder(const WideText& path, const std::vector<FolderIdentity>& refused) {
    if (refused.empty()) {
        return false;
    }
    for (DWORD link : {static_cast<DWORD>(FILE_FLAG_OPEN_REPARSE_POINT), static_cast<DWORD>(0)}) {
        HANDLE handle =
            platform::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | link, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            continue;
        }
        BY_HANDLE_FILE_INFORMATION information;
        bool found = platform::GetFileInformationByHandle(handle, &information) &&
                     IsAmong(IdentityFrom(information), refused);
        platform::CloseHandle(handle);
        if (found) {
            return true;
        }
    }
    return false;
}

} // namespace

int16_t RemoveDirectoryTree(const TextString& path) {
    return RemoveDirectoryTree(path, std::vector<FolderIdentity>());
}

int16_t RemoveDirectoryTree(const TextString& path, const std::vector<FolderIdentity>& refused) {
    WideText folder;
    try {
        folder = VerbatimPath(WideFromAnsi(path));
    } catch (...) {
        return 1;
    }
    if (folder.empty()) {
        return 0;
    }
    if (NamesARefusedFolder(folder, refused)) {
        return 0;
    }
    // A link named here is never removed blind: where the platform follows
    // it, that would remove the folder it leads to.
    DWORD attributes = ListedAttributes(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) {
        RemoveLink(folder, attributes);
        return 0;
    }
    if (platform::RemoveDirectoryW(folder.c_str())) {
        return 0;
    }
    // Only a real folder is emptied (the pin sees to that): a link named
    // here would be walked in its target, and a file or nothing has nothing
    // to empty. A folder read-only itself loses the mark once emptied, or
    // the second attempt would fail on it.
    switch (EmptyFolder(folder, TopFolder{&refused, true})) {
    case Emptied::cutShort:
        return 1;
    case Emptied::refused:
        return 0;
    case Emptied::walked:
        break;
    }
    platform::RemoveDirectoryW(folder.c_str());
    return 0;
}

int16_t EmptyDirectory(const TextString& path) {
    WideText folder;
    try {
        folder = VerbatimPath(WideFromAnsi(path));
    } catch (...) {
        return 1;
    }
    return folder.empty() || EmptyFolder(folder, TopFolder{nullptr, false}) != Emptied::cutShort
               ? 0
               : 1;
}
