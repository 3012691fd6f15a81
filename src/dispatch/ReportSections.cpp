#include "dispatch/ReportSections.h"

#include <algorithm>
#include <cstdint>

using platform::ErrorCode;
namespace error = platform::error;

namespace {

// Wide characters encoded per step: a single large write cannot grow the buffer far past its bound.
constexpr std::size_t encodingStep = 1 << 14;
// Spill names tried before the section gives up.
constexpr int spillNameAttempts = 100;

}  // namespace

ReportSection::ReportSection(platform::FileSystem& files, std::wstring spillStem, std::size_t bufferSize)
    : files_(files), spillStem_(std::move(spillStem)), bufferSize_(bufferSize) {}

ReportSection::~ReportSection() { removeSpillFile(); }

void ReportSection::removeSpillFile() {
    if (!spillFile_) return;
    spillFile_.reset();
    files_.removeFile(spillPath_);
}

void ReportSection::write(std::wstring_view text) {
    if (!text.empty()) empty_ = false;
    while (!text.empty()) {
        const std::wstring_view step = text.substr(0, encodingStep);
        encoder_.encode(step, buffer_);
        text.remove_prefix(step.size());
        if (buffer_.size() >= bufferSize_) spill();
    }
}

// After a failure the bytes are dropped: the section can no longer be
// complete, and the report fails with it.
void ReportSection::spill() {
    if (failure_ == error::success && !spillFile_) failure_ = createSpillFile();
    if (failure_ == error::success) failure_ = writeAll(*spillFile_, buffer_);
    spilled_ += buffer_.size();
    buffer_.clear();
}

// A half-encoded character goes with the text that is taken back.
void ReportSection::truncate(std::uint64_t position) {
    encoder_ = text::Utf8Encoder(text::Utf8Encoder::LineEnds::crlf);
    if (position >= spilled_) {
        buffer_.resize(static_cast<std::size_t>(position - spilled_));
    } else {
        buffer_.clear();
        spilled_ = position;
        std::uint64_t end = 0;
        if (failure_ == error::success) failure_ = spillFile_->setSize(position);
        if (failure_ == error::success) failure_ = spillFile_->seek(0, platform::FileStream::fromEnd, end);
    }
    empty_ = position == 0;
}

ErrorCode ReportSection::createSpillFile() {
    ErrorCode failure = error::success;
    for (int attempt = 0; attempt < spillNameAttempts; ++attempt) {
        spillPath_ = spillStem_ + (attempt == 0 ? L"" : L"." + std::to_wstring(attempt)) + L".tmp";
        spillFile_ = files_.createNew(spillPath_, failure);
        if (spillFile_ || failure != error::fileExists) break;
    }
    return spillFile_ ? error::success : failure;
}

ErrorCode ReportSection::drainTo(platform::FileStream& report) {
    const ErrorCode result = copyTo(report);
    removeSpillFile();
    buffer_.clear();
    return result;
}

ErrorCode ReportSection::copyTo(platform::FileStream& report) {
    encoder_.finish(buffer_);
    if (failure_ != error::success) return failure_;
    if (spillFile_) {
        std::uint64_t position = 0;
        if (const ErrorCode sought = spillFile_->seek(0, platform::FileStream::fromBegin, position)) return sought;
        std::string chunk(std::max<std::size_t>(bufferSize_, encodingStep), '\0');
        for (;;) {
            std::uint32_t count = 0;
            const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), UINT32_MAX));
            if (const ErrorCode read = spillFile_->read(chunk.data(), size, count)) return read;
            if (count == 0) break;
            if (const ErrorCode written = writeAll(report, std::string_view(chunk.data(), count))) return written;
        }
    }
    return writeAll(report, buffer_);
}

ErrorCode writeAll(platform::FileStream& stream, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 24));
        std::uint32_t written = 0;
        if (const ErrorCode failure = stream.write(bytes.data(), size, written)) return failure;
        if (written == 0) return error::diskFull;
        bytes.remove_prefix(written);
    }
    return error::success;
}
