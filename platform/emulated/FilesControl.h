// Control of the emulated file system, for tests and the host stand-in only.
// Included by EmulatedControl.h.
#pragma once

#include "PlatformTypes.h"

namespace emulated {} // namespace emulated
