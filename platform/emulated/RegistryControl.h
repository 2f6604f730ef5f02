// Control of the emulated registry, for tests and the host stand-in only.
// Included by EmulatedControl.h.
//
// Roots are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE;
// paths are relative to them, with backslashes. Nothing here counts as a
// platform operation: no fault is taken, nothing is traced.
#pragma once

#include "PlatformTypes.h"

#include <string>
#include <vector>

namespace emulated {

// --- The registry file: GANTREL_REGISTRY, read at first use, in a process
// that has not reset the platform; after ResetPlatform, none until chosen.
// Empties the registry and loads it from `path` now; "" keeps the registry
// in memory only. Every operation then reads the changes other processes
// made to the file and appends its own, under the file's lock. False for a
// file that cannot be read, is not a regular file, or is malformed: the
// reason goes to standard error and to `error`, every registry operation
// fails (ERROR_BADDB) until the file is mended, and it is never written.
bool UseRegistryFile(const std::string& path, std::string* error = nullptr);
// Why the registry file was refused; empty when it was not.
std::string RegistryFileError();
// Changes refused because the file could not take them (read-only, full,
// failing): the first one is reported on standard error, once.
long RegistryChangesRefused();
// The whole registry as the REGEDIT4 text the file holds.
std::string RegistryText();

// --- Seeding and inspecting state.
void SeedRegistryKey(HKEY root, const std::string& path);
// Creates or replaces a value (with its key and missing parents).
void SeedRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                       const std::string& bytes);
bool RegistryKeyExists(HKEY root, const std::string& path);
// False when the key or the value does not exist.
bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD& type,
                       std::string& bytes);
// Names in registry order, in the case they were first given; empty when
// the key does not exist.
std::vector<std::string> RegistrySubKeyNames(HKEY root, const std::string& path);
std::vector<std::string> RegistryValueNames(HKEY root, const std::string& path);
// Paths and names in UTF-8, whatever the code page: keys named with
// characters the ANSI code page cannot carry. The names above are the ANSI
// view of the same keys, with '?' for such characters.
void SeedRegistryKeyUtf8(HKEY root, const std::string& path);
bool RegistryKeyExistsUtf8(HKEY root, const std::string& path);
std::vector<std::string> RegistrySubKeyNamesUtf8(HKEY root, const std::string& path);

// --- Behaviour.
// RegDeleteKeyA on a key that still has sub-keys: refused with
// ERROR_ACCESS_DENIED, as Windows NT does (the default), or the key is
// removed with everything below it, as Windows 95 did.
void SetDeleteRemovesTree(bool removesTree);
// Every operation that opens, creates, reads, writes or deletes the key at
// `path` or any key below it fails with ERROR_ACCESS_DENIED, and so does a
// whole-tree delete of a key above it.
void DenyRegistryAccess(HKEY root, const std::string& path);

// Key handles opened and not yet closed.
int OpenRegistryKeyCount();

} // namespace emulated
