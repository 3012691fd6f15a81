#include "platform/linux/ErrorMessages.h"
#include "platform/linux/Paths.h"
#include "platform/linux/Utf16.h"
#include "platform/Native.h"

#include <cstdint>
#include <dlfcn.h>
#include <sys/stat.h>

namespace platform {
namespace {

bool isFile(const std::wstring& path) {
    struct stat status {};
    return stat(linux_layer::toNative(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::wstring executableDirectory() {
    const std::wstring path = nativeHost().executablePath();
    return path.substr(0, path.rfind(L'/') + 1);
}

// Engines built before version 23 put two destructor slots into every interface
// table, which shifts every method the tool calls: such an engine is refused
// rather than called into. Their module property 0 is missing or not 0.
bool hasCurrentInterfaceLayout(void* library) {
    struct Variant {
        std::uint16_t type;
        std::uint16_t reserved[3];
        std::uint64_t value;
    } interfaceType{};
    using GetModuleProp = std::int32_t (*)(std::uint32_t, Variant*);
    const auto getModuleProp = reinterpret_cast<GetModuleProp>(dlsym(library, "GetModuleProp"));
    constexpr std::uint16_t unsigned32 = 19;
    return getModuleProp && getModuleProp(0, &interfaceType) == 0 && interfaceType.type == unsigned32 &&
           static_cast<std::uint32_t>(interfaceType.value) == 0;
}

class LinuxDynamicLibraries final : public DynamicLibraries {
public:
    // The engine beside the executable wins over the distribution's copies.
    std::wstring engineFileName() const override {
        const std::wstring besideExecutable = executableDirectory() + L"7z.so";
        for (const wchar_t* candidate : {besideExecutable.c_str(), L"/usr/lib/p7zip/7z.so",
                                         L"/usr/libexec/p7zip/7z.so", L"/usr/lib64/p7zip/7z.so"}) {
            if (isFile(candidate)) return candidate;
        }
        return besideExecutable;
    }

    // Local binding keeps the engine's own helpers (its string allocator among
    // them) from being resolved against anything else in the process.
    Library load(const std::wstring& name, ErrorCode& error) override {
        Library library = dlopen(linux_layer::toNative(name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library && dlsym(library, "CreateObject") && !hasCurrentInterfaceLayout(library)) {
            dlclose(library);
            library = nullptr;
        }
        if (!library) error = isFile(name) ? error::badExeFormat : error::moduleNotFound;
        return library;
    }

    void* symbol(Library library, const char* name) const override { return dlsym(library, name); }

    bool release(Library library) override { return dlclose(library) == 0; }

    // The engine frees its strings with its own allocator and reads UTF-16 units,
    // one to each 4-byte character.
    wchar_t* allocateString(Library library, const std::wstring& text) const override {
        using Allocate = wchar_t* (*)(const wchar_t*, unsigned int);
        const auto allocate = reinterpret_cast<Allocate>(dlsym(library, "SysAllocStringLen"));
        if (!allocate) return nullptr;
        const std::wstring units = linux_layer::utf16Units(text);
        return allocate(units.c_str(), static_cast<unsigned int>(units.size()));
    }
};

}  // namespace

DynamicLibraries& nativeDynamicLibraries() {
    static LinuxDynamicLibraries libraries;
    return libraries;
}

}  // namespace platform
