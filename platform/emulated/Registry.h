// The emulated registry, internal to the backend and the host's dump: the key
// tree and its names, the REGEDIT4 text of the registry file, the file shared
// by every process naming it, and the process's access to it all.
//
// Names are kept in UTF-8, which holds every character, as the platform's
// registry keeps them in Unicode; the ANSI calls see them through the ANSI
// code page, with '?' for each character it cannot carry.
#pragma once

#include "CodePages.h"

#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace emulated {

// Keys are at most this many levels below their root, as on Windows.
const std::size_t maxRegistryKeyDepth = 512;
const LONG errorBadRegistryFile = 1009;  // ERROR_BADDB: the file is refused
const LONG errorRegistryIoFailed = 1016; // ERROR_REGISTRY_IO_FAILED

// ASCII letters compare without regard to case, other bytes as unsigned.
struct RegistryNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
bool SameRegistryName(const std::string& a, const std::string& b);

struct RegistryValue {
    std::string name; // as first given
    DWORD type = REG_NONE;
    std::string bytes;
};

// Sorted maps: a look-up costs O(log n), and the first sub-key is at hand.
struct RegistryKey {
    std::string name; // as first given; the root's own name for a root
    RegistryKey* parent = nullptr;
    bool deleted = false; // handles still open on a removed key learn of it
    std::map<std::string, std::shared_ptr<RegistryKey>, RegistryNameLess> keys;
    std::map<std::string, RegistryValue, RegistryNameLess> values;
};

struct RegistryRoots {
    RegistryRoots();
    std::shared_ptr<RegistryKey> classesRoot;
    std::shared_ptr<RegistryKey> currentUser;
    std::shared_ptr<RegistryKey> localMachine;
};

// The root named "HKEY_CURRENT_USER" (or HKCU...), or null.
std::shared_ptr<RegistryKey> RootNamed(const RegistryRoots& roots, const std::string& name);
// The three roots in the order a registry file lists them.
std::vector<std::shared_ptr<RegistryKey>> AllRoots(const RegistryRoots& roots);

// A name given in `codePage` (or in UTF-8 for utf8CodePage), as kept. A byte
// the code page does not define is kept as the lone surrogate U+DC00 + byte,
// which no real name holds, so that it comes back byte for byte through
// NameToAnsi.
std::string NameFromAnsi(const std::string& text, UINT codePage);
std::string NameToAnsi(const std::string& name, UINT codePage);
// Whether the name, as text in `codePage`, comes back as it is.
bool CodePageCarries(const std::string& name, UINT codePage);

// A path's components as kept, split at backslashes; doubled and trailing
// backslashes add none. The path is text in the ANSI code page `codePage`:
// a byte that ends a double-byte character is part of its name even when it
// has the backslash's code. False for a path that begins with a backslash.
bool SplitRegistryPath(const std::string& path, UINT codePage,
                       std::vector<std::string>& components);

// The key at the components below `from`, or null; Make makes those missing.
std::shared_ptr<RegistryKey> FindRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components);
std::shared_ptr<RegistryKey> MakeRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components);
// Marks the key and everything below it deleted; a root stays.
void RemoveRegistryKey(RegistryKey& key);
// A replaced value keeps its old name.
void PutRegistryValue(RegistryKey& key, RegistryValue value);

// "HKEY_CURRENT_USER\Software\...", or the path of the key `below` it.
std::string RegistryKeyPath(const RegistryKey& key, const std::vector<std::string>& below = {});
std::size_t RegistryKeyDepth(const RegistryKey& key);

// --- REGEDIT4 text, which a person can read and the registry editor imports.
// Every value survives a save and a load with its type and exact bytes.

const char utf8FileHeader[] = "\xEF\xBB\xBFREGEDIT4\n";

// The first line above, and names in UTF-8, when asked or when the ANSI
// code page cannot carry one of them.
std::string WriteRegistryText(const RegistryRoots& roots, bool inUtf8 = false);

// Adds REGEDIT4 text, key paths in `codePage`, to `roots`. False for
// malformed text (a key deeper than maxRegistryKeyDepth is), with `error`
// naming the line; `roots` may then hold part of it. `records`: the text
// follows the beginning of a file, and no REGEDIT4 line is expected.
bool ReadRegistryText(const std::string& text, RegistryRoots& roots, std::string& error,
                      UINT codePage = 1252, bool records = false);

// One change as the whole lines a registry file appends for it; `path` is
// the key's full path, names are as kept (UTF-8).
std::string KeyRecord(const std::string& path);
std::string RemovedKeyRecord(const std::string& path);
std::string ValueRecord(const std::string& path, const RegistryValue& value);

// --- The registry file: a REGEDIT4 snapshot followed by a journal of
// records, one per change, appended under an advisory lock. A line without
// its line break at the end is the unfinished write of a process that died.

// What Lock found: nothing new, records appended, or a file to read whole.
enum class JournalNews { None, Appended, Whole };

class RegistryJournal {
  public:
    // "" for none. A symbolic link is followed: changes go to its target.
    void Choose(const std::string& path);
    bool InUse() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

    // Takes the lock (exclusive with `change`, which makes a missing file)
    // and reads what is new. errorBadRegistryFile (with `error`) for a file
    // that is not regular or cannot be opened; errorRegistryIoFailed.
    LONG Lock(bool change, JournalNews& news, std::string& text, std::string& error);
    void Unlock();

    // The record with the file's first line before it in a file yet empty.
    std::string Framed(const std::string& record) const;
    // ERROR_ACCESS_DENIED for a file (or folder) the user may not write, or
    // that injected `fault`; errorRegistryIoFailed, and the file as it was.
    LONG Append(const std::string& text, LONG fault, std::string& error);
    bool WantsCompaction() const;
    // False when the file cannot be replaced, and then nothing changed.
    bool Compact(const std::string& snapshot);

  private:
    LONG Open(bool change, std::string& error);
    void Close();
    bool SameFileAtPath() const;
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

// Reads the file as Lock reads it (none is an empty registry); false, with
// an error naming the file, for one that cannot be read or is malformed.
bool LoadRegistryFile(const std::string& path, UINT codePage, RegistryRoots& roots,
                      std::string& error);

// --- The process's access.

// Every operation holds the registry, and the file's lock, for its whole
// length, and sees every change made before it; nested accesses share the
// outer one. ERROR_SUCCESS, or why the file cannot be used.
LONG BeginRegistryAccess(bool change);
void EndRegistryAccess();
struct RegistryAccess {
    explicit RegistryAccess(bool change) : status(BeginRegistryAccess(change)) {}
    ~RegistryAccess() { EndRegistryAccess(); }
    const LONG status;
};

// Makes one change durable before it is made in memory: ERROR_SUCCESS, or
// the status to fail the operation with (ERROR_ACCESS_DENIED,
// errorRegistryIoFailed), and then nothing may change.
LONG SaveRegistryChange(const std::string& record);
bool RegistryFileInUse();
// The record is built only when there is a file to save it to.
template <typename RecordMaker> LONG SaveRegistryChangeWith(const RecordMaker& makeRecord) {
    return RegistryFileInUse() ? SaveRegistryChange(makeRecord()) : ERROR_SUCCESS;
}

// ERROR_INVALID_HANDLE for a handle not open, ERROR_KEY_DELETED for a key
// removed since. A predefined root is always open.
LONG KeyOfHandle(HKEY handle, std::shared_ptr<RegistryKey>& key);
HKEY OpenKeyHandle(const std::shared_ptr<RegistryKey>& key);
bool CloseKeyHandle(HKEY handle);

// Whether access to the key, or to the key `below` it, is denied.
bool IsAccessDenied(const RegistryKey& key, const std::vector<std::string>& below = {});

} // namespace emulated
