// What every emulated operation does first and last: count itself, take an
// injected fault, answer it with its family's status, and report itself to
// the trace. Internal to the backend.
#pragma once

#include "Control.h"

#include <string>

namespace emulated {

// Counts the operation and answers the fault injected for it (None mostly).
FaultKind BeginOperation(const char* name);

bool TraceEnabled();
// One trace line: "name(arguments) = result".
void TraceOperation(const char* name, const std::string& arguments, const std::string& result);

// The statuses one family of operations fails with, for each injected fault.
struct FaultStatuses {
    unsigned long accessDenied;
    unsigned long inUse;
    unsigned long notFound;
    unsigned long outOfMemory;
};
const FaultStatuses registryFaultStatuses = {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
                                             ERROR_FILE_NOT_FOUND, ERROR_OUTOFMEMORY};
// A file in use: an open is refused with a sharing violation.
const FaultStatuses fileFaultStatuses = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                                         ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};

// The status `kind` stands for in a family; 0 for None.
unsigned long StatusOfFault(FaultKind kind, const FaultStatuses& statuses);

// One platform operation, from its first step to its trace line. Made first
// thing in the operation: it counts the operation and takes the fault
// injected for it.
class Operation {
  public:
    explicit Operation(const char* name) : name_(name), fault_(BeginOperation(name)) {}
    bool Faulted() const { return fault_ != FaultKind::None; }
    FaultKind Fault() const { return fault_; }
    // The status the injected fault stands for in the family; 0 for none.
    unsigned long FaultStatus(const FaultStatuses& statuses) const {
        return StatusOfFault(fault_, statuses);
    }
    bool Tracing() const { return TraceEnabled(); }
    // "name(arguments) = result" on the trace, when it is on.
    void Trace(const std::string& arguments, const std::string& result) const {
        TraceOperation(name_, arguments, result);
    }

  private:
    const char* name_;
    FaultKind fault_;
};

// A text argument as the trace shows it: quoted, or NULL.
std::string Quoted(const char* text);
std::string Hex(unsigned long value);

// The value of an environment setting, or null.
const char* Setting(const char* name);

// Each part's own reset, which ResetPlatform makes in turn.
void ResetCodePage();
void ResetSockets();
void ResetRegistry();
void ResetFiles();
void ResetUserInterface();

} // namespace emulated
