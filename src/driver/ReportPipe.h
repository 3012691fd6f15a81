#pragma once
#include "archive/ReportPacker.h"
#include "driver/ByteQueue.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

// The report handed to the packing as it is written, through a bounded queue
// the packing reads along: a write waits while the queue is full. It keeps no
// copy, so bytes the packing has read cannot be given again: taking them back
// marks the report rewritten, to be packed again from a copy of the writer's.
class ReportPipe : public SevenZip::GrowingReport {
public:
    static constexpr std::size_t defaultQueueLimit = std::size_t{2} << 20;

    explicit ReportPipe(std::size_t queueLimit = defaultQueueLimit);
    ReportPipe(const ReportPipe&) = delete;
    ReportPipe& operator=(const ReportPipe&) = delete;

    // Passes the bytes on; once the packing stopped reading, only counts them.
    void write(std::string_view bytes);
    // Takes back the bytes past the size.
    void takeBack(std::uint64_t size);
    // Nothing more is written.
    void complete();

    bool awaitBytes(std::uint64_t bytes) override;
    std::uint64_t size() const override;
    std::unique_ptr<platform::FileStream> openGrowing() override;
    bool rewritten() const override;
    // Nothing: the pipe holds no copy to start over from.
    std::unique_ptr<platform::FileStream> openComplete() override;
    void abandon() override;

protected:
    // Waits until the report is complete; false when it was abandoned.
    bool awaitComplete();

private:
    class GrowingReader;

    platform::ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed);
    void detachReader();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    ByteQueue queue_;
    std::uint64_t written_ = 0;
    std::uint64_t handedOut_ = 0;
    bool readerAttached_ = true;
    bool complete_ = false;
    bool abandoned_ = false;
    bool rewritten_ = false;
};
