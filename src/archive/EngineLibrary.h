#pragma once
#include "archive/EngineInterfaces.h"
#include "platform/DynamicLibraries.h"

#include <string>

namespace SevenZip {

// The loaded compression engine and its entry for creating archive handlers.
class EngineLibrary {
public:
    explicit EngineLibrary(platform::DynamicLibraries& libraries) : libraries_(libraries) {}
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;
    ~EngineLibrary() { release(); }

    // Releases a library already held, then loads the named one; throws SevenZipException.
    void load(const std::wstring& name);
    // False when nothing was held or the platform could not free the library.
    bool release();
    bool isLoaded() const { return library_ != nullptr; }
    // The 7z format handler for writing archives, with one reference for the caller.
    void createArchiveHandler(intl::IOutArchive** handler) const;
    // The 7z format handler for reading archives, with one reference for the caller.
    void createArchiveReader(intl::IInArchive** handler) const;
    // A string the engine takes over and frees; nothing when it cannot be allocated.
    wchar_t* allocateString(const std::wstring& text) const;

private:
    void createObject(const intl::Guid& interfaceId, void** object) const;

    platform::DynamicLibraries& libraries_;
    platform::DynamicLibraries::Library library_ = nullptr;
    intl::CreateObjectFunction createObject_ = nullptr;
};

}  // namespace SevenZip
