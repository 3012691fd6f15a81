#pragma once
#include "archive/ReportPacker.h"
#include "driver/ByteQueue.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The report on disk, under a private name beside the archive, and the bytes
// the packing has yet to read: what is written goes to the file and, while the
// packing reads along, to a bounded queue for it, so the report is packed as
// it is written and the file is read only when packing must start over. The
// file is removed when this object ends, unless it was kept.
class ReportFile final : public ReportOutput, public SevenZip::GrowingReport {
public:
    static constexpr std::size_t defaultQueueLimit = std::size_t{2} << 20;

    ReportFile(platform::OwnFolder& folder, platform::OwnFile file, std::size_t queueLimit = defaultQueueLimit);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile() override;

    platform::ErrorCode write(std::string_view bytes) override;
    std::uint64_t size() const override;
    platform::ErrorCode truncate(std::uint64_t size) override;
    // Nothing more is written; a failure of writing ends the packing too.
    void complete(platform::ErrorCode writing);
    // Closes the file and gives it the name unless something is there; its
    // name afterwards, the private one when the name was taken, nothing when
    // the file is gone (its folder removed, say).
    std::optional<std::wstring> keepAs(const std::wstring& name);

    bool awaitBytes(std::uint64_t bytes) override;
    std::unique_ptr<platform::FileStream> openGrowing() override;
    bool rewritten() const override;
    std::unique_ptr<platform::FileStream> openComplete() override;
    void abandon() override;

private:
    class GrowingReader;
    friend class GrowingReader;

    platform::ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed);
    void detachReader();

    platform::OwnFolder& folder_;
    platform::OwnFile file_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    ByteQueue queue_;
    std::uint64_t written_ = 0;
    std::uint64_t handedOut_ = 0;
    bool readerAttached_ = true;
    bool complete_ = false;
    bool abandoned_ = false;
    bool rewritten_ = false;
    bool kept_ = false;
};
