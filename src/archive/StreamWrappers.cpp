#include "archive/StreamWrappers.h"

namespace SevenZip::intl {
namespace {

HResult seekStream(platform::FileStream& stream, std::int64_t offset, std::uint32_t origin,
                   std::uint64_t* newPosition) {
    std::uint64_t position = 0;
    const platform::ErrorCode error = stream.seek(offset, origin, position);
    // The engine passes no position when it only rewinds to rewrite the archive's start.
    if (newPosition) *newPosition = position;
    return resultFromWin32(error);
}

}  // namespace

HResult InStreamWrapper::QueryInterface(const Guid& iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_ISequentialInStream || iid == IID_IInStream) {
        *object = static_cast<IInStream*>(this);
    } else if (iid == IID_IStreamGetSize && knowsSize()) {
        *object = static_cast<IStreamGetSize*>(this);
    } else {
        *object = nullptr;
        return E_NoInterface;
    }
    AddRef();
    return S_Ok;
}

// A stream still growing cannot tell its size, and the engine is not offered a guess.
bool InStreamWrapper::knowsSize() const {
    std::uint64_t bytes = 0;
    return stream_->size(bytes) == platform::error::success;
}

HResult InStreamWrapper::Read(void* data, std::uint32_t size, std::uint32_t* processedSize) {
    std::uint32_t processed = 0;
    const platform::ErrorCode error = stream_->read(data, size, processed);
    if (processedSize) *processedSize = processed;
    return resultFromWin32(error);
}

HResult InStreamWrapper::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) {
    return seekStream(*stream_, offset, origin, newPosition);
}

HResult InStreamWrapper::GetSize(std::uint64_t* size) {
    std::uint64_t bytes = 0;
    const platform::ErrorCode error = stream_->size(bytes);
    if (size) *size = bytes;
    return resultFromWin32(error);
}

HResult OutStreamWrapper::QueryInterface(const Guid& iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_ISequentialOutStream || iid == IID_IOutStream) {
        *object = static_cast<IOutStream*>(this);
    } else {
        *object = nullptr;
        return E_NoInterface;
    }
    AddRef();
    return S_Ok;
}

HResult OutStreamWrapper::Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) {
    std::uint32_t processed = 0;
    const platform::ErrorCode error = stream_->write(data, size, processed);
    if (processedSize) *processedSize = processed;
    return resultFromWin32(error);
}

HResult OutStreamWrapper::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) {
    return seekStream(*stream_, offset, origin, newPosition);
}

HResult OutStreamWrapper::SetSize(std::uint64_t newSize) { return resultFromWin32(stream_->setSize(newSize)); }

}  // namespace SevenZip::intl
