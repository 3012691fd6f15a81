#include "archive/ArchiveUpdateCallback.h"

#include "archive/PathFunctions.h"

#include <new>

namespace SevenZip::intl {
namespace {

constexpr std::uint32_t noItemInArchive = 0xFFFFFFFF;

// No exception may travel into the engine's frames: running out of memory becomes a result.
template <typename Action>
HResult guarded(Action action) {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        return E_OutOfMemory;
    }
}

void setFileTime(PropVariant& value, std::uint64_t time) {
    value.vt = VT_FileTime;
    value.uhVal = time;
}

}  // namespace

HResult ArchiveUpdateCallback::QueryInterface(const Guid& iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IArchiveUpdateCallback) {
        *object = static_cast<IArchiveUpdateCallback*>(this);
    } else if (iid == IID_ICryptoGetTextPassword2) {
        *object = static_cast<ICryptoGetTextPassword2*>(this);
    } else if (iid == IID_ICompressProgressInfo) {
        *object = static_cast<ICompressProgressInfo*>(this);
    } else {
        *object = nullptr;
        return E_NoInterface;
    }
    AddRef();
    return S_Ok;
}

HResult ArchiveUpdateCallback::GetUpdateItemInfo(std::uint32_t, std::int32_t* newData, std::int32_t* newProperties,
                                                 std::uint32_t* indexInArchive) {
    if (newData) *newData = 1;
    if (newProperties) *newProperties = 1;
    if (indexInArchive) *indexInArchive = noItemInArchive;
    return S_Ok;
}

HResult ArchiveUpdateCallback::GetProperty(std::uint32_t index, std::uint32_t propertyId, PropVariant* value) {
    return guarded([&] { return property(index, propertyId, *value); });
}

HResult ArchiveUpdateCallback::property(std::uint32_t index, std::uint32_t propertyId, PropVariant& value) const {
    if (propertyId == kpidIsAnti) {
        value.vt = VT_Bool;
        value.boolVal = 0;
        return S_Ok;
    }
    if (index >= entries_.size()) return E_InvalidArg;
    const FileEntry& entry = entries_[index];
    switch (propertyId) {
    case kpidPath:
        value.bstrVal = library_.allocateString(relativePath(directoryPrefix_, entry.path));
        if (!value.bstrVal) return E_OutOfMemory;
        value.vt = VT_Bstr;
        break;
    case kpidIsDir:
        value.vt = VT_Bool;
        value.boolVal = entry.isDirectory ? variantTrue : 0;
        break;
    case kpidSize:
        value.vt = VT_UI8;
        value.uhVal = entry.size;
        break;
    case kpidAttrib:
        value.vt = VT_UI4;
        value.ulVal = entry.attributes;
        break;
    case kpidCTime: setFileTime(value, entry.creationTime); break;
    case kpidATime: setFileTime(value, entry.lastAccessTime); break;
    case kpidMTime: setFileTime(value, entry.lastWriteTime); break;
    default: break;
    }
    return S_Ok;
}

HResult ArchiveUpdateCallback::GetStream(std::uint32_t index, ISequentialInStream** inStream) {
    *inStream = nullptr;
    return guarded([&] { return stream(index, *inStream); });
}

HResult ArchiveUpdateCallback::stream(std::uint32_t index, ISequentialInStream*& inStream) const {
    if (index >= entries_.size()) return E_InvalidArg;
    const FileEntry& entry = entries_[index];
    if (entry.isDirectory) return S_Ok;
    platform::ErrorCode error = platform::error::success;
    auto file = open_(entry, error);
    // Success without a stream would be stored as an empty file, so a failure never reads as success.
    if (!file) return error == platform::error::success ? E_Fail : resultFromWin32(error);
    auto* wrapper = new InStreamWrapper(std::move(file));
    wrapper->AddRef();
    inStream = wrapper;
    return S_Ok;
}

HResult ArchiveUpdateCallback::CryptoGetTextPassword2(std::int32_t* passwordIsDefined, wchar_t** password) {
    *passwordIsDefined = 0;
    *password = library_.allocateString(L"");
    return *password ? S_Ok : E_OutOfMemory;
}

}  // namespace SevenZip::intl
