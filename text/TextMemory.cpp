#include "TextMemory.h"

#include <new>

namespace {

long allocationCount = 0;
long failAt = 0;
bool failSticky = false;

} // namespace

char* AllocateTextStorage(std::size_t bytes) {
    ++allocationCount;
    if (failAt > 0) {
        if (--failAt == 0) {
            failAt = failSticky ? 1 : 0;
            throw std::bad_alloc();
        }
    }
    return static_cast<char*>(::operator new(bytes));
}

void ReleaseTextStorage(char* storage) {
    ::operator delete(storage);
}

void FailTextAllocation(long nth, bool sticky) {
    failAt = nth > 0 ? nth : 0;
    failSticky = sticky;
}

long TextAllocationCount() {
    return allocationCount;
}

void ResetTextAllocationCount() {
    allocationCount = 0;
}
