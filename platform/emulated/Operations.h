// What every emulated operation does first and last: count itself, take an
// injected fault, and report itself to the trace. Internal to the backend.
#pragma once

#include "EmulatedControl.h"

#include <string>

namespace emulated {

// Counts the operation and answers the fault injected for it (None mostly).
FaultKind BeginOperation(const char* name);

bool TraceEnabled();
// One trace line: "name(arguments) = result".
void TraceOperation(const char* name, const std::string& arguments, const std::string& result);

// A text argument as the trace shows it: quoted, or NULL.
std::string Quoted(const char* text);
std::string Hex(unsigned long value);

// The value of an environment setting, or null.
const char* Setting(const char* name);

} // namespace emulated
