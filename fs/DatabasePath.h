// Whether a path read from the registry may be handed to RemoveDirectoryTree.
#pragma once

#include "TextString.h"

// True only for a full path that names a folder below the root of a drive
// ("X:\folder", "X:\a\b") or below a share ("\\server\share\folder"). False
// for the empty text, a relative path, a drive-relative one ("C:x"), one
// rooted on the current drive ("\x"), the root of a drive or a share, a
// device path ("\\?\", "\\.\"), and any path with an empty component, a
// component of only dots and spaces (".", "..", "...", which Windows folds
// into the folder above) or a character no file name may hold (<>:"|?* and
// control characters). Double-byte characters are stepped over whole.
bool IsRemovableFolderPath(const TextString& path);
