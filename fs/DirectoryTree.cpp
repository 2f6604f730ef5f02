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
#include "Platform.h"
#include "WideText.h"

#include <memory>
#include <utility>
#include <vector>

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

// The attributes the listing of a folder's parent shows for the entry at
// `path` (the listing asked for the entry itself: its path, no wildcard), or
// INVALID_FILE_ATTRIBUTES when it shows none.
DWORD ListedAttributes(const WideText& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = platform::FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return INVALID_FILE_ATTRIBUTES;
    }
    Listing listing(search);
    return found.dwFileAttributes;
}

bool ListedAsRealFolder(const WideText& path) {
    DWORD attributes = ListedAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && IsFolder(attributes) && !IsLink(attributes);
}

// A folder held open while it is walked. The handle shares reading and
// writing but not deletion, so while it is open no process can rename, move
// or remove the folder, nor put a link in its place: every path the walk
// builds below it names what its listing showed. The handle is opened on
// the entry itself, never through a link, and is kept only when it holds a
// real folder.
//
// Not every platform opens the link itself: Wine opens a symbolic link's
// target and describes the target through the handle, while its listing
// still marks the link. So once the folder is held, the listing is asked
// too, and where either says link the folder is not walked.
class PinnedFolder {
  public:
    explicit PinnedFolder(const WideText& path)
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
    ~PinnedFolder() { Release(); }
    PinnedFolder(const PinnedFolder&) = delete;
    PinnedFolder& operator=(const PinnedFolder&) = delete;

    bool IsHeld() const { return handle_ != INVALID_HANDLE_VALUE; }
    // What the handle tells of the folder held.
    const BY_HANDLE_FILE_INFORMATION& Information() const { return information_; }

  private:
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            platform::CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    HANDLE handle_;
    BY_HANDLE_FILE_INFORMATION information_;
};

void AppendAscii(WideText& text, const char* ascii) {
    while (*ascii != 0) {
        text += static_cast<WCHAR>(*ascii++);
    }
}

bool StartsWithAscii(const WideText& text, const char* ascii) {
    for (std::size_t i = 0; ascii[i] != 0; ++i) {
        if (i >= text.size() || text[i] != static_cast<WCHAR>(ascii[i])) {
            return false;
        }
    }
    return true;
}

bool IsSeparator(WCHAR unit) {
    return unit == '\\' || unit == '/';
}

// "." and ".." by whole name: "..." and ".profile" are ordinary entries.
bool IsSelfOrParent(const WCHAR* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// The ANSI path as the wide calls take it, converted with the ANSI code page.
WideText WideFromAnsi(const TextString& path) {
    WideText wide;
    if (path.Length() == 0) {
        return wide;
    }
    int units = platform::MultiByteToWideChar(CP_ACP, 0, path.Text(), path.Length(), nullptr, 0);
    if (units <= 0) {
        return wide;
    }
    wide.resize(static_cast<std::size_t>(units));
    units = platform::MultiByteToWideChar(CP_ACP, 0, path.Text(), path.Length(), &wide[0], units);
    wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    return wide;
}

// The verbatim form of a full path: "X:\a\b" gives "\\?\X:\a\b" and
// "\\server\share\a" gives "\\?\UNC\server\share\a", read as the ANSI calls
// read them (either slash separates, and the last component loses its
// trailing dots and spaces), so that the folder removed is the one the path
// names. A path already verbatim stays as it is; one with no verbatim form
// (a relative one) is taken as the platform's path rules read it.
WideText VerbatimPath(const WideText& path) {
    if (StartsWithAscii(path, "\\\\?\\")) {
        return path;
    }
    WideText verbatim;
    std::size_t rest = 0;
    bool drive = path.size() >= 3 && path[0] < 0x80 &&
                 ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                 IsSeparator(path[2]);
    if (drive) {
        AppendAscii(verbatim, "\\\\?\\");
    } else if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        AppendAscii(verbatim, "\\\\?\\UNC\\");
        rest = 2;
    } else {
        return path;
    }
    for (std::size_t i = rest; i < path.size(); ++i) {
        verbatim += IsSeparator(path[i]) ? static_cast<WCHAR>('\\') : path[i];
    }
    std::size_t last = verbatim.size();
    while (last > 0 && (verbatim[last - 1] == '.' || verbatim[last - 1] == ' ')) {
        --last;
    }
    if (last > 0 && verbatim[last - 1] != '\\') {
        verbatim.resize(last);
    }
    return verbatim;
}

// Whether a handle opened on the link at `path` describes the link itself,
// as on Windows. Wine opens a symbolic link's target instead, and removes
// the target too: RemoveDirectoryW on a link to an empty folder removes that
// folder and leaves the link.
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
