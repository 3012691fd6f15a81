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
    : folder_(folder), file_(std::move(file)), queueLimit_(queueLimit) {}

ReportFile::~ReportFile() {
    if (kept_) return;
    file_.stream.reset();
    folder_.removeOwn(file_.name);
}

ErrorCode ReportFile::write(std::string_view bytes) {
    if (const ErrorCode failure = writeAll(*file_.stream, bytes)) return failure;
    std::unique_lock lock(mutex_);
    written_ += bytes.size();
    changed_.wait(lock, [this] { return queued_ < queueLimit_ || !readerAttached_; });
    if (readerAttached_) {
        queue_.push_back(takeSpare());
        queue_.back().assign(bytes);
        queued_ += bytes.size();
    }
    changed_.notify_all();
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
    for (std::uint64_t excess = written_ - size; readerAttached_ && excess > 0;) {
        std::string& last = queue_.back();
        const std::size_t unread = last.size() - (queue_.size() == 1 ? frontRead_ : 0);
        const std::size_t dropped = static_cast<std::size_t>(std::min<std::uint64_t>(excess, unread));
        last.resize(last.size() - dropped);
        if (dropped == unread) queue_.pop_back();
        queued_ -= dropped;
        excess -= dropped;
    }
    if (!readerAttached_ || queue_.empty()) clearQueue();
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
    changed_.wait(lock, [&] { return written_ >= bytes || queued_ >= queueLimit_ || complete_ || abandoned_; });
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
    clearQueue();
    changed_.notify_all();
}

ErrorCode ReportFile::read(void* data, std::uint32_t size, std::uint32_t& processed) {
    processed = 0;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_ > 0 || complete_ || !readerAttached_; });
    if (!readerAttached_) return error::operationAborted;
    auto* to = static_cast<char*>(data);
    while (processed < size && !queue_.empty()) {
        const std::string& first = queue_.front();
        const std::size_t count = std::min<std::size_t>(size - processed, first.size() - frontRead_);
        std::copy_n(first.data() + frontRead_, count, to + processed);
        frontRead_ += count;
        processed += static_cast<std::uint32_t>(count);
        if (frontRead_ == first.size()) {
            keepSpare(std::move(queue_.front()));
            queue_.pop_front();
            frontRead_ = 0;
        }
    }
    queued_ -= processed;
    handedOut_ += processed;
    changed_.notify_all();
    return error::success;
}

void ReportFile::detachReader() {
    const std::lock_guard lock(mutex_);
    readerAttached_ = false;
    clearQueue();
    changed_.notify_all();
}

void ReportFile::clearQueue() {
    queue_.clear();
    queued_ = 0;
    frontRead_ = 0;
}

// Memory the system hands out anew is cleared page by page on first touch,
// which costs more than copying the bytes into it: pieces are used again.
std::string ReportFile::takeSpare() {
    if (spare_.empty()) return {};
    std::string piece = std::move(spare_.back());
    spare_.pop_back();
    return piece;
}

void ReportFile::keepSpare(std::string piece) {
    if (spare_.size() < mostSpares) spare_.push_back(std::move(piece));
}
