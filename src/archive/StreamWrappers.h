#pragma once
#include "archive/EngineInterfaces.h"
#include "platform/FileStreams.h"

#include <atomic>
#include <memory>

namespace SevenZip::intl {

// The count starts at 0; the creator takes the first reference, and the object
// deletes itself when the last one is given back, from whichever thread.
class ReferenceCount {
public:
    RefCount increment() { return ++count_; }
    // Gives one reference back and destroys the owner with the last one.
    template <class Owner>
    RefCount release(Owner* owner) {
        const RefCount remaining = --count_;
        if (remaining == 0) delete owner;
        return remaining;
    }

private:
    std::atomic<RefCount> count_{0};
};

// A platform file opened for reading, as the engine reads its input. It offers
// its size only when the stream can tell it.
class InStreamWrapper final : public IInStream, public IStreamGetSize {
public:
    explicit InStreamWrapper(std::unique_ptr<platform::FileStream> stream) : stream_(std::move(stream)) {}
    InStreamWrapper(const InStreamWrapper&) = delete;
    InStreamWrapper& operator=(const InStreamWrapper&) = delete;

    HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) override;
    RefCount SEVENZIP_CALL AddRef() override { return references_.increment(); }
    RefCount SEVENZIP_CALL Release() override { return references_.release(this); }
    HResult SEVENZIP_CALL Read(void* data, std::uint32_t size, std::uint32_t* processedSize) override;
    HResult SEVENZIP_CALL Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) override;
    HResult SEVENZIP_CALL GetSize(std::uint64_t* size) override;

private:
    friend class ReferenceCount;
    ~InStreamWrapper() = default;
    bool knowsSize() const;

    ReferenceCount references_;
    std::unique_ptr<platform::FileStream> stream_;
};

// A platform file opened for writing, as the engine writes the archive.
class OutStreamWrapper final : public IOutStream {
public:
    explicit OutStreamWrapper(std::unique_ptr<platform::FileStream> stream) : stream_(std::move(stream)) {}
    OutStreamWrapper(const OutStreamWrapper&) = delete;
    OutStreamWrapper& operator=(const OutStreamWrapper&) = delete;

    HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) override;
    RefCount SEVENZIP_CALL AddRef() override { return references_.increment(); }
    RefCount SEVENZIP_CALL Release() override { return references_.release(this); }
    HResult SEVENZIP_CALL Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) override;
    HResult SEVENZIP_CALL Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) override;
    HResult SEVENZIP_CALL SetSize(std::uint64_t newSize) override;

private:
    friend class ReferenceCount;
    ~OutStreamWrapper() = default;

    ReferenceCount references_;
    std::unique_ptr<platform::FileStream> stream_;
};

}  // namespace SevenZip::intl
