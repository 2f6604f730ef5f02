// Operation counting, fault injection, the trace and the reset, shared by
// every emulated operation.
#include "Operations.h"

#include <cstdlib>
#include <cstring>

namespace emulated {
namespace {

long operationCount = 0;
long faultCountdown = 0;
FaultKind faultKind = FaultKind::None;
std::string faultOperation;
std::string faultedOperation;

bool traceChosen = false;
std::FILE* traceOut = nullptr;

std::FILE* TraceStream() {
    if (!traceChosen) {
        traceChosen = true;
        const char* wanted = Setting("GANTREL_TRACE");
        traceOut = wanted != nullptr && std::strcmp(wanted, "0") != 0 ? stderr : nullptr;
    }
    return traceOut;
}

} // namespace

const char* Setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != 0 ? value : nullptr;
}

FaultKind BeginOperation(const char* name) {
    ++operationCount;
    // Only the operations the fault waits for count down to it.
    if (faultCountdown <= 0 || (!faultOperation.empty() && faultOperation != name) ||
        --faultCountdown > 0) {
        return FaultKind::None;
    }
    FaultKind kind = faultKind;
    faultKind = FaultKind::None;
    faultedOperation = name;
    if (TraceStream() != nullptr) {
        std::fprintf(TraceStream(), "  [fault injected into %s]\n", name);
    }
    return kind;
}

unsigned long StatusOfFault(FaultKind kind, const FaultStatuses& statuses) {
    return kind == FaultKind::AccessDenied  ? statuses.accessDenied
           : kind == FaultKind::InUse       ? statuses.inUse
           : kind == FaultKind::NotFound    ? statuses.notFound
           : kind == FaultKind::OutOfMemory ? statuses.outOfMemory
                                            : 0;
}

void InjectFault(long nth, FaultKind kind, const char* operation) {
    faultCountdown = nth > 0 ? nth : 0;
    faultKind = kind;
    faultOperation = operation != nullptr ? operation : "";
    faultedOperation.clear();
}

void ClearFaults() {
    InjectFault(0, FaultKind::None);
    faultedOperation.clear();
}

const std::string& FaultedOperation() {
    return faultedOperation;
}

long OperationCount() {
    return operationCount;
}

bool TraceEnabled() {
    return TraceStream() != nullptr;
}

void SetTrace(std::FILE* out) {
    traceChosen = true;
    traceOut = out;
}

void TraceOperation(const char* name, const std::string& arguments, const std::string& result) {
    std::FILE* out = TraceStream();
    if (out != nullptr) {
        std::fprintf(out, "  %s(%s) = %s\n", name, arguments.c_str(), result.c_str());
        std::fflush(out);
    }
}

std::string Quoted(const char* text) {
    if (text == nullptr) {
        return "NULL";
    }
    std::string quoted = "\"";
    for (const char* p = text; *p != 0; ++p) {
        unsigned char byte = static_cast<unsigned char>(*p);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(byte);
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(byte);
        }
    }
    return quoted + "\"";
}

void ResetPlatform() {
    ResetCodePage();
    ResetSockets();
    ResetRegistry();
    ResetFiles();
    ResetUserInterface();
    SetDriveFolder("");
    ClearFaults();
}

std::string Hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

} // namespace emulated
