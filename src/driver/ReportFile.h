#pragma once
#include "archive/ReportPacker.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
    void clearQueue();
    // A piece the packing has read, for the next write to fill.
    std::string takeSpare();
    void keepSpare(std::string piece);

    platform::OwnFolder& folder_;
    platform::OwnFile file_;
    const std::size_t queueLimit_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    // Enough for the writing and the packing to take turns; bounded, as the queue is.
    static constexpr std::size_t mostSpares = 2;
    std::vector<std::string> spare_;
    std::size_t frontRead_ = 0;  // bytes of the first queued piece already read
    std::size_t queued_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t handedOut_ = 0;
    bool readerAttached_ = true;
    bool complete_ = false;
    bool abandoned_ = false;
    bool rewritten_ = false;
    bool kept_ = false;
};
