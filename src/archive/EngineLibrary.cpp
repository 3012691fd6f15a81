#include "archive/EngineLibrary.h"

#include "archive/SevenZipException.h"

namespace SevenZip {

void EngineLibrary::load(const std::wstring& name) {
    release();
    platform::ErrorCode error = platform::error::success;
    platform::DynamicLibraries::Library library = libraries_.load(name, error);
    if (!library) throw SevenZipException(lastErrorMessage(L"LoadLibrary", error));
    void* entry = libraries_.symbol(library, "CreateObject");
    if (!entry) {
        libraries_.release(library);
        throw SevenZipException(L"Loaded library is missing required CreateObject function");
    }
    library_ = library;
    createObject_ = reinterpret_cast<intl::CreateObjectFunction>(entry);
}

bool EngineLibrary::release() {
    if (!library_) return false;
    const bool freed = libraries_.release(library_);
    library_ = nullptr;
    createObject_ = nullptr;
    return freed;
}

void EngineLibrary::createArchiveHandler(intl::IOutArchive** handler) const {
    createObject(intl::IID_IOutArchive, reinterpret_cast<void**>(handler));
}

void EngineLibrary::createArchiveReader(intl::IInArchive** handler) const {
    createObject(intl::IID_IInArchive, reinterpret_cast<void**>(handler));
}

void EngineLibrary::createObject(const intl::Guid& interfaceId, void** object) const {
    if (!createObject_) throw SevenZipException(L"Library is not loaded");
    const intl::HResult result = createObject_(&intl::CLSID_CFormat7z, &interfaceId, object);
    if (result < 0) throw SevenZipException(resultMessage(L"CreateObject", result));
}

wchar_t* EngineLibrary::allocateString(const std::wstring& text) const {
    return library_ ? libraries_.allocateString(library_, text) : nullptr;
}

}  // namespace SevenZip
