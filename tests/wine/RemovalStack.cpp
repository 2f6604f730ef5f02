// How much stack CleanupDatabase takes: the module's call on a thread of
// its own with a 1 MB stack, whose free part is first filled with a pattern;
// what is left of the pattern afterwards tells the deepest point the call
// reached.
//   RemovalStack.exe MODULE
// Prints "CleanupDatabase = N, stack B bytes"; exit status 1 when the module
// or its entry point cannot be had, or the thread does not run.
#include <windows.h>

#include <cstdio>

namespace {

typedef LONG(WINAPI* EntryPoint)(HWND, LONG, LPSTR);

const DWORD threadStack = 1024 * 1024;
// What is filled: most of the thread's stack, short of the pages the
// thread itself has taken and a margin for the guard page below.
const DWORD filled = 960 * 1024;
const unsigned char pattern = 0xA5;

struct Call {
    EntryPoint entry;
    LONG result;
    DWORD used;
};

// Not inlined, so that its frame lies below the caller's pattern.
__attribute__((noinline)) void Fill(volatile unsigned char* top) {
    // Downwards, a page at a time, as the stack grows through its guard page.
    for (DWORD at = 1; at <= filled; ++at) {
        top[-static_cast<LONG>(at)] = pattern;
    }
}

DWORD WINAPI Run(LPVOID context) {
    Call* call = static_cast<Call*>(context);
    volatile unsigned char here = 0;
    // An address, not an object: the pattern lies below every frame of this
    // function.
    volatile unsigned char* top =
        reinterpret_cast<volatile unsigned char*>(reinterpret_cast<UINT_PTR>(&here) - 256);
    Fill(top);
    call->result = call->entry(nullptr, 0, nullptr);
    DWORD untouched = 0;
    while (untouched < filled && top[-static_cast<LONG>(filled - untouched)] == pattern) {
        ++untouched;
    }
    call->used = filled - untouched;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    FARPROC entry = module != nullptr ? GetProcAddress(module, "CleanupDatabase") : nullptr;
    if (entry == nullptr) {
        return 1;
    }
    Call call = {reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(entry)), -1, 0};
    HANDLE thread =
        CreateThread(nullptr, threadStack, Run, &call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr || WaitForSingleObject(thread, 120000) != WAIT_OBJECT_0) {
        return 1;
    }
    CloseHandle(thread);
    std::printf("CleanupDatabase = %ld, stack %lu bytes\n", call.result, call.used);
    return 0;
}
