#include "driver/ReportFile.h"

#include "archive/LentStream.h"

#include <algorithm>

using platform::ErrorCode;
namespace error = platform::error;

// What the engine reads while the report grows.
class ReportFile::GrowingReader final : public platform::FileStream {
public:
    explicit GrowingReader(ReportFile& report) : report_(report) {}
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
    ReportFile& report_;
};

ReportFile::ReportFile(platform::OwnFolder& folder, platform::OwnFile file, std::size_t queueLimit)
    : folder_(folder), file_(std::move(file)), queue_(queueLimit) {}

ReportFile::~ReportFile() {
    if (kept_) return;
    file_.stream.reset();
    folder_.removeOwn(file_.name);
}

ErrorCode ReportFile::write(std::string_view bytes) {
    if (const ErrorCode failure = writeAll(*file_.stream, bytes)) return failure;
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
    return error::success;
}

std::uint64_t ReportFile::size() const {
    const std::lock_guard lock(mutex_);
    return written_;
}

ErrorCode ReportFile::truncate(std::uint64_t size) {
    std::uint64_t position = 0;
    if (const ErrorCode failure = file_.stream->setSize(size)) return failure;
    if (const ErrorCode failure = file_.stream->seek(0, platform::FileStream::fromEnd, position)) return failure;
    const std::lock_guard lock(mutex_);
    if (size < handedOut_) {
        // The engine has packed what is taken back: it must start over from the file.
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
    return error::success;
}

void ReportFile::complete(ErrorCode writing) {
    if (writing != error::success) return abandon();
    const std::lock_guard lock(mutex_);
    complete_ = true;
    changed_.notify_all();
}

std::optional<std::wstring> ReportFile::keepAs(const std::wstring& name) {
    file_.stream.reset();
    const ErrorCode failure = folder_.publishOwn(file_.name, name, false);
    if (failure == error::success) {
        kept_ = true;
        return name;
    }
    if (failure != error::fileExists) return std::nullopt;
    kept_ = true;
    folder_.keepOwn(file_.name);
    return file_.name;
}

bool ReportFile::awaitBytes(std::uint64_t bytes) {
    std::unique_lock lock(mutex_);
    // A full queue waits for the packing: it must start now.
    changed_.wait(lock, [&] { return written_ >= bytes || queue_.full() || complete_ || abandoned_; });
    return complete_;
}

std::unique_ptr<platform::FileStream> ReportFile::openGrowing() { return std::make_unique<GrowingReader>(*this); }

bool ReportFile::rewritten() const {
    const std::lock_guard lock(mutex_);
    return rewritten_;
}

std::unique_ptr<platform::FileStream> ReportFile::openComplete() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return complete_ || abandoned_; });
        if (abandoned_) return nullptr;
    }
    std::uint64_t start = 0;
    if (file_.stream->seek(0, platform::FileStream::fromBegin, start) != error::success) return nullptr;
    return std::make_unique<SevenZip::intl::LentStream>(*file_.stream);
}

void ReportFile::abandon() {
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
    readerAttached_ = false;
    queue_.clear();
    changed_.notify_all();
}

ErrorCode ReportFile::read(void* data, std::uint32_t size, std::uint32_t& processed) {
    processed = 0;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() > 0 || complete_ || !readerAttached_; });
    if (!readerAttached_) return error::operationAborted;
    processed = static_cast<std::uint32_t>(queue_.pop(static_cast<char*>(data), size));
    handedOut_ += processed;
    changed_.notify_all();
    return error::success;
}

void ReportFile::detachReader() {
    const std::lock_guard lock(mutex_);
    readerAttached_ = false;
    queue_.clear();
    changed_.notify_all();
}
