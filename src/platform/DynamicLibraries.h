#pragma once
#include "platform/ErrorCode.h"

#include <string>

namespace platform {

// Libraries loaded at run time, and the strings such a library takes over and frees itself.
class DynamicLibraries {
public:
    using Library = void*;

    virtual ~DynamicLibraries() = default;

    // The compression engine's library as this build loads it.
    virtual std::wstring engineFileName() const = 0;
    // A bare file name follows the platform's library search. Nothing, with the
    // error set, when the library cannot be loaded.
    virtual Library load(const std::wstring& name, ErrorCode& error) = 0;
    // The address of an export; nothing when the library has none.
    virtual void* symbol(Library library, const char* name) const = 0;
    // False when the platform could not free the library.
    virtual bool release(Library library) = 0;
    // A length-prefixed system string that the library frees with its own
    // allocator; nothing when it cannot be allocated.
    virtual wchar_t* allocateString(Library library, const std::wstring& text) const = 0;
};

}  // namespace platform
