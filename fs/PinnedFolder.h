// What the folder walk knows of an entry before it deals with it: what the
// listing of its parent shows, whether a handle on it holds a real folder,
// and whether the platform opens a link as the link. Internal to fs/.
#pragma once

#include "Platform.h"
#include "WideText.h"

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

inline bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

inline bool IsFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The attributes the listing of a folder's parent shows for the entry at
// `path` (the listing asked for the entry itself: its path, no wildcard), or
// INVALID_FILE_ATTRIBUTES when it shows none.
DWORD ListedAttributes(const WideText& path);

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
    explicit PinnedFolder(const WideText& path);
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

// Whether a handle opened on the link at `path` describes the link itself,
// as on Windows. Wine opens a symbolic link's target instead, and removes
// the target too: RemoveDirectoryW on a link to an empty folder removes that
// folder and leaves the link.
bool OpensTheLinkItself(const WideText& path);
