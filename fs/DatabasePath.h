// Which folder a path read from the registry lets RemoveDirectoryTree remove.
#pragma once

#include "TextString.h"

// The plain spelling of a full path that names a folder below the root of a
// drive ("X:\folder", "X:\a\b") or below a share ("\\server\share\folder"):
// forward slashes become backslashes, and doubled separators inside the path
// and one at its end are dropped, as the platform reads them
// ("D:/Lumeno//db/" gives "D:\Lumeno\db"). The empty text for the empty
// text, a relative path, a drive-relative one ("C:x"), one rooted on the
// current drive ("\x"), the root of a drive or a share however spelled
// ("D:\\", "\\server\share\"), a device path ("\\?\", "\\.\"), and any path
// with a component of only dots and spaces (".", "..", "...", which Windows
// folds into the folder above), one with a component before the last that
// ends in a dot or a space ("D:\Lumeno.\db", which Windows reads as
// "D:\Lumeno\db" and the verbatim walk would not), or a character no file
// name may hold
// (<>:"|?* and control characters). Double-byte characters are stepped over
// whole, so a second byte is never taken for a separator.
TextString ResolveRemovableFolder(const TextString& path);
