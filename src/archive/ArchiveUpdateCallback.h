#pragma once
#include "archive/EngineInterfaces.h"
#include "archive/EngineLibrary.h"
#include "archive/PathScanner.h"
#include "archive/StreamWrappers.h"
#include "platform/FileStreams.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SevenZip::intl {

// Opens an entry's bytes for the engine; nothing, with the error set, when they cannot be read.
using ItemOpener = std::function<std::unique_ptr<platform::FileStream>(const FileEntry&, platform::ErrorCode&)>;

// Describes the entries to the engine while it writes a new archive and hands it
// their contents. The engine calls it from several threads.
class ArchiveUpdateCallback final : public IArchiveUpdateCallback,
                                    public ICryptoGetTextPassword2,
                                    public ICompressProgressInfo {
public:
    // Item paths are the entries' paths relative to the prefix.
    ArchiveUpdateCallback(std::wstring directoryPrefix, const std::vector<FileEntry>& entries,
                          const EngineLibrary& library, ItemOpener open)
        : directoryPrefix_(std::move(directoryPrefix)), entries_(entries), library_(library), open_(std::move(open)) {}
    ArchiveUpdateCallback(const ArchiveUpdateCallback&) = delete;
    ArchiveUpdateCallback& operator=(const ArchiveUpdateCallback&) = delete;

    HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) override;
    RefCount SEVENZIP_CALL AddRef() override { return references_.increment(); }
    RefCount SEVENZIP_CALL Release() override { return references_.release(this); }

    HResult SEVENZIP_CALL SetTotal(std::uint64_t) override { return S_Ok; }
    HResult SEVENZIP_CALL SetCompleted(const std::uint64_t*) override { return S_Ok; }
    HResult SEVENZIP_CALL GetUpdateItemInfo(std::uint32_t index, std::int32_t* newData, std::int32_t* newProperties,
                                            std::uint32_t* indexInArchive) override;
    HResult SEVENZIP_CALL GetProperty(std::uint32_t index, std::uint32_t propertyId, PropVariant* value) override;
    HResult SEVENZIP_CALL GetStream(std::uint32_t index, ISequentialInStream** inStream) override;
    HResult SEVENZIP_CALL SetOperationResult(std::int32_t) override { return S_Ok; }

    HResult SEVENZIP_CALL CryptoGetTextPassword2(std::int32_t* passwordIsDefined, wchar_t** password) override;
    HResult SEVENZIP_CALL SetRatioInfo(const std::uint64_t*, const std::uint64_t*) override { return S_Ok; }

private:
    friend class ReferenceCount;
    ~ArchiveUpdateCallback() = default;
    HResult property(std::uint32_t index, std::uint32_t propertyId, PropVariant& value) const;
    HResult stream(std::uint32_t index, ISequentialInStream*& inStream) const;

    ReferenceCount references_;
    std::wstring directoryPrefix_;
    const std::vector<FileEntry>& entries_;
    const EngineLibrary& library_;
    ItemOpener open_;
};

}  // namespace SevenZip::intl
