// Storage for text values.
//
// Every allocation of the text layer goes through here, so that a test can
// make a chosen allocation fail exactly as an exhausted heap would: by throwing
// std::bad_alloc.
#pragma once

#include <cstddef>

// Returns storage of the given size, or throws std::bad_alloc.
char* AllocateTextStorage(std::size_t bytes);
void ReleaseTextStorage(char* storage);

// Testing aid: the Nth allocation from now (1 = the next one) fails, and so
// does every one after it while `sticky` is true. 0 turns failures off.
void FailTextAllocation(long nth, bool sticky = false);
// How many allocations have been made since the count was last reset.
long TextAllocationCount();
void ResetTextAllocationCount();
