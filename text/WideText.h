// Wide text for the platform's wide calls (the folder walk's paths, the key
// walk's names): a string of WCHAR units whose storage comes from the text
// layer, so that running out of memory for it reads the same as it does for
// any other text of the module.
#pragma once

#include "PlatformTypes.h"
#include "TextMemory.h"

#include <cstddef>
#include <string>

template <typename Unit> struct TextStorageAllocator {
    using value_type = Unit;

    TextStorageAllocator() = default;
    template <typename Other> TextStorageAllocator(const TextStorageAllocator<Other>&) {}

    Unit* allocate(std::size_t count) {
        return reinterpret_cast<Unit*>(AllocateTextStorage(count * sizeof(Unit)));
    }
    void deallocate(Unit* storage, std::size_t) {
        ReleaseTextStorage(reinterpret_cast<char*>(storage));
    }

    template <typename Other> bool operator==(const TextStorageAllocator<Other>&) const {
        return true;
    }
    template <typename Other> bool operator!=(const TextStorageAllocator<Other>&) const {
        return false;
    }
};

typedef std::basic_string<WCHAR, std::char_traits<WCHAR>, TextStorageAllocator<WCHAR>> WideText;
