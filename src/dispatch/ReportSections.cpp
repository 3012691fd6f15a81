#include "dispatch/ReportSections.h"

#include <algorithm>
#include <cstdint>

using platform::ErrorCode;
namespace error = platform::error;

namespace {

// Wide characters encoded per step: a single large write cannot grow the buffer far past its bound.
constexpr std::size_t encodingStep = 1 << 14;

}  // namespace

// Room for the bound and the piece that crosses it, taken at once: grown by
// doubling, the buffer would copy itself and touch fresh pages up to twice
// over. Pages never written cost nothing.
ReportSection::ReportSection(platform::OwnFolder& spillFolder, std::size_t bufferSize)
    : spillFolder_(spillFolder), bufferSize_(bufferSize) {
    buffer_.reserve(2 * bufferSize_);
}

ReportSection::~ReportSection() { removeSpillFile(); }

void ReportSection::removeSpillFile() {
    if (!spillFile_.stream) return;
    spillFile_.stream.reset();
    spillFolder_.removeOwn(spillFile_.name);
}

void ReportSection::write(std::wstring_view text) {
    if (!text.empty()) empty_ = false;
    while (!text.empty()) {
        const std::wstring_view step = text.substr(0, encodingStep);
        encoder_.encode(step, buffer_);
        text.remove_prefix(step.size());
        if (buffer_.size() >= bufferSize_) moveOut();
    }
}

void ReportSection::writeTextFile(TextFileDecoder& decoder, std::string_view bytes) {
    if (!bytes.empty()) empty_ = false;
    decoder.decodeToReport(bytes, buffer_);
    if (buffer_.size() >= bufferSize_) moveOut();
}

void ReportSection::endTextFile(TextFileDecoder& decoder) {
    empty_ = false;
    decoder.finishToReport(buffer_);
    if (buffer_.size() >= bufferSize_) moveOut();
}

void ReportSection::moveOut() {
    if (report_) {
        send(buffer_);
    } else {
        spill();
    }
    moved_ += buffer_.size();
    buffer_.clear();
}

// After a failure the bytes are dropped: the section can no longer be
// complete, and the report fails with it.
void ReportSection::spill() {
    if (failure_ == error::success && !spillFile_.stream) failure_ = createSpillFile();
    if (failure_ == error::success) failure_ = writeAll(*spillFile_.stream, buffer_);
}

void ReportSection::send(std::string_view bytes) {
    if (failure_ != error::success) return;
    if (!opened_) {
        openedAt_ = report_->size();
        opened_ = true;
        failure_ = report_->write(opening_);
    }
    if (failure_ == error::success) failure_ = report_->write(bytes);
}

// A half-encoded character goes with the text that is taken back; so does the
// opening, when nothing of the section is left.
void ReportSection::truncate(std::uint64_t position) {
    encoder_ = text::Utf8Encoder(text::Utf8Encoder::LineEnds::crlf);
    empty_ = position == 0;
    if (position >= moved_) {
        buffer_.resize(static_cast<std::size_t>(position - moved_));
        return;
    }
    buffer_.clear();
    moved_ = position;
    if (failure_ != error::success) return;
    if (report_) {
        opened_ = position > 0;
        failure_ = report_->truncate(openedAt_ + (opened_ ? opening_.size() + position : 0));
        return;
    }
    std::uint64_t end = 0;
    failure_ = spillFile_.stream->setSize(position);
    if (failure_ == error::success) failure_ = spillFile_.stream->seek(0, platform::FileStream::fromEnd, end);
}

ErrorCode ReportSection::createSpillFile() {
    ErrorCode failure = error::success;
    spillFile_ = spillFolder_.createOwn(failure);
    return spillFile_.stream ? error::success : failure;
}

void ReportSection::streamTo(ReportOutput& report, std::wstring_view opening) {
    report_ = &report;
    opening_ = reportBytes(opening);
    if (!spillFile_.stream) return;
    if (failure_ == error::success) failure_ = copySpillTo();
    removeSpillFile();
}

ErrorCode ReportSection::copySpillTo() {
    std::uint64_t position = 0;
    if (const ErrorCode sought = spillFile_.stream->seek(0, platform::FileStream::fromBegin, position)) return sought;
    std::string chunk(std::max<std::size_t>(bufferSize_, encodingStep), '\0');
    for (;;) {
        std::uint32_t count = 0;
        const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), UINT32_MAX));
        if (const ErrorCode read = spillFile_.stream->read(chunk.data(), size, count)) return read;
        if (count == 0) return failure_;
        send(std::string_view(chunk.data(), count));
        if (failure_ != error::success) return failure_;
    }
}

ErrorCode ReportSection::endStream(std::wstring_view closing) {
    encoder_.finish(buffer_);
    if (!buffer_.empty()) moveOut();
    if (opened_ && failure_ == error::success) failure_ = report_->write(reportBytes(closing));
    removeSpillFile();
    report_ = nullptr;
    return failure_;
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

std::string reportBytes(std::wstring_view text) {
    std::string bytes;
    text::Utf8Encoder encoder(text::Utf8Encoder::LineEnds::crlf);
    encoder.encode(text, bytes);
    encoder.finish(bytes);
    return bytes;
}
