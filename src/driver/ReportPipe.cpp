#include "driver/ReportPipe.h"

using platform::ErrorCode;
namespace error = platform::error;

// What the engine reads while the report grows.
class ReportPipe::GrowingReader final : public platform::FileStream {
public:
    explicit GrowingReader(ReportPipe& report) : report_(report) {}
    ~GrowingReader() override { report_.detachReader(); }

    ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        return report_.read(data, size, processed);
    }
    ErrorCode write(const void*, std::uint32_t, std::uint32_t&) override { return error::invalidFunction; }
    ErrorCode seek(std::int64_t, std::uint32_t, std::uint64_t&) override { return error::invalidFunction; }
    ErrorCode setSize(std::uint64_t) override { return error::invalidFunction; }
    // Unknown until the report is complete.
    ErrorCode size(std::uint64_t&) override { return error::invalidFunction; }
    ErrorCode close() override { return error::success; }

private:
    ReportPipe& report_;
};

ReportPipe::ReportPipe(std::size_t queueLimit) : queue_(queueLimit) {}

void ReportPipe::write(std::string_view bytes) {
    std::unique_lock lock(mutex_);
    written_ += bytes.size();
    while (!bytes.empty() && readerAttached_) {
        if (queue_.full()) {
            changed_.wait(lock);
            continue;
        }
        bytes.remove_prefix(queue_.push(bytes));
        changed_.notify_all();
    }
}

void ReportPipe::takeBack(std::uint64_t size) {
    const std::lock_guard lock(mutex_);
    if (size < handedOut_) {
        // The engine has packed what is taken back: it must start over from a copy.
        rewritten_ = true;
        readerAttached_ = false;
    }
    if (readerAttached_) {
        queue_.dropNewest(static_cast<std::size_t>(written_ - size));
    } else {
        queue_.clear();
    }
    written_ = size;
    changed_.notify_all();
}

void ReportPipe::complete() {
    const std::lock_guard lock(mutex_);
    complete_ = true;
    changed_.notify_all();
}

bool ReportPipe::awaitBytes(std::uint64_t bytes) {
    std::unique_lock lock(mutex_);
    // A full queue waits for the packing: it must start now.
    changed_.wait(lock, [&] { return written_ >= bytes || queue_.full() || complete_ || abandoned_; });
    return complete_;
}

std::uint64_t ReportPipe::size() const {
    const std::lock_guard lock(mutex_);
    return written_;
}

std::unique_ptr<platform::FileStream> ReportPipe::openGrowing() { return std::make_unique<GrowingReader>(*this); }

bool ReportPipe::rewritten() const {
    const std::lock_guard lock(mutex_);
    return rewritten_;
}

std::unique_ptr<platform::FileStream> ReportPipe::openComplete() { return nullptr; }

void ReportPipe::abandon() {
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
    readerAttached_ = false;
    queue_.clear();
    changed_.notify_all();
}

bool ReportPipe::awaitComplete() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return complete_ || abandoned_; });
    return !abandoned_;
}

ErrorCode ReportPipe::read(void* data, std::uint32_t size, std::uint32_t& processed) {
    processed = 0;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() > 0 || complete_ || !readerAttached_; });
    if (!readerAttached_) return error::operationAborted;
    processed = static_cast<std::uint32_t>(queue_.pop(static_cast<char*>(data), size));
    handedOut_ += processed;
    changed_.notify_all();
    return error::success;
}

void ReportPipe::detachReader() {
    const std::lock_guard lock(mutex_);
    readerAttached_ = false;
    queue_.clear();
    changed_.notify_all();
}
