#include "platform/Native.h"

#include <windows.h>
#include <oleauto.h>

namespace platform {
namespace {

class Win32DynamicLibraries final : public DynamicLibraries {
public:
    // Beside the executable or on the normal library search path.
    std::wstring engineFileName() const override {
#if defined(_WIN64)
        return L"7zx64.dll";
#else
        return L"7zx86.dll";
#endif
    }

    Library load(const std::wstring& name, ErrorCode& error) override {
        HMODULE library = LoadLibraryW(name.c_str());
        if (!library) error = GetLastError();
        return library;
    }

    void* symbol(Library library, const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    }

    bool release(Library library) override { return FreeLibrary(static_cast<HMODULE>(library)) != FALSE; }

    // The engine frees strings with the system allocator.
    wchar_t* allocateString(Library, const std::wstring& text) const override {
        return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
};

}  // namespace

DynamicLibraries& nativeDynamicLibraries() {
    static Win32DynamicLibraries libraries;
    return libraries;
}

}  // namespace platform
