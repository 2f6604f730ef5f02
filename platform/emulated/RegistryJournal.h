// The registry file as a store that every process naming it shares: a
// REGEDIT4 snapshot followed by a journal of REGEDIT4 records, one per
// change, appended under an advisory lock. Internal to the backend.
//
// One operation at a time: Lock takes the file's lock (shared to read,
// exclusive to change) and hands over what the other processes changed since
// this one last looked, Append makes one change durable, Unlock lets the
// next process in. A line without its line break at the end of the file is
// an unfinished write of a process that died: it is never read, and the next
// change cuts it off before appending.
#pragma once

#include "RegistryKeys.h"

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace emulated {

const LONG errorRegistryIoFailed = 1016; // ERROR_REGISTRY_IO_FAILED

// What Lock found: nothing new, records appended after what was read
// before, or a file to read whole (the first time, or after another process
// replaced it).
enum class JournalNews { None, Appended, Whole };

class RegistryJournal {
  public:
    // Forgets the file in use and names another ("" for none). A symbolic
    // link is followed, so that changes are written through to its target.
    void Choose(const std::string& path);
    bool InUse() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

    // Takes the lock and reads what is new into `text`. ERROR_SUCCESS;
    // errorRefused (with `error`) for a file that is not a regular file or
    // cannot be opened; errorRegistryIoFailed when reading fails. With
    // `change` the lock is exclusive and a missing file is made, if the
    // folder lets it.
    LONG Lock(bool change, JournalNews& news, std::string& text, std::string& error);
    void Unlock();

    // The record as Append writes it: with the file's first line before it
    // in a file yet empty.
    std::string Framed(const std::string& record) const;
    // Appends framed records under the exclusive lock: ERROR_SUCCESS;
    // ERROR_ACCESS_DENIED for a file (or a folder, for a file yet to be
    // made) the user may not write, or for that injected `fault`;
    // errorRegistryIoFailed when the write fails (with `error`), and then
    // the file is as it was.
    LONG Append(const std::string& text, LONG fault, std::string& error);
    // Whether the journal has outgrown the snapshot it follows.
    bool WantsCompaction() const;
    // Replaces the file with `snapshot` (the whole registry), atomically and
    // with the file's mode and owner, under the exclusive lock, which the
    // new file keeps. False when that fails, and then nothing changed: the
    // journal stays, and is compacted later.
    bool Compact(const std::string& snapshot);

    static const LONG errorRefused = 1009; // ERROR_BADDB

  private:
    LONG Open(bool change, std::string& error);
    void Close();
    bool SameFileAtPath() const;
    // Forgets what this process knew of the file.
    void Forget();
    void RemoveLeftoverTemporaries();

    std::string path_;
    int fd_ = -1;
    bool writable_ = false;
    int locked_ = 0; // LOCK_SH or LOCK_EX while held
    bool cleaned_ = false;
    bool known_ = false;  // whether Lock has handed over the file once
    struct stat seen_ {}; // the file as this process last looked at it
    off_t committed_ = 0; // the end of the last whole line read
    off_t base_ = 0;      // the size of the file when last read whole
};

// Reads the file into `roots` as Lock reads it; a file that does not exist
// is an empty registry. False, with an error naming the file (and the
// line), for a file that cannot be read, is not a regular file, or is
// malformed.
bool LoadRegistryFile(const std::string& path, UINT codePage, RegistryRoots& roots,
                      std::string& error);

} // namespace emulated
