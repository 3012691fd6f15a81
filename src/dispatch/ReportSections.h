#pragma once
#include "dispatch/ReportSink.h"
#include "platform/FileSystem.h"
#include "text/Utf8.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Where the report's bytes go, in their order.
class ReportOutput {
public:
    virtual ~ReportOutput() = default;

    // Every byte, or the failure.
    virtual platform::ErrorCode write(std::string_view bytes) = 0;
    // The bytes written so far.
    virtual std::uint64_t size() const = 0;
    // Takes back the bytes past the size.
    virtual platform::ErrorCode truncate(std::uint64_t size) = 0;
};

// One section of the report. What the collectors write is encoded at once into
// the report's bytes (UTF-8, every LF as CR LF). While sections before it may
// still grow, the section holds its bytes: beyond a bounded buffer in a spill
// file of its own beside the report, so memory stays flat whatever the
// section's size. Once it streams, its bytes go on into the report. The spill
// file is removed with the section, whatever path the run took.
class ReportSection final : public ReportSink {
public:
    static constexpr std::size_t defaultBufferSize = std::size_t{1} << 20;

    // The spill file is created, only when needed, in the folder.
    ReportSection(platform::OwnFolder& spillFolder, std::size_t bufferSize);
    ReportSection(const ReportSection&) = delete;
    ReportSection& operator=(const ReportSection&) = delete;
    ~ReportSection() override;

    void write(std::wstring_view text) override;
    void writeTextFile(TextFileDecoder& decoder, std::string_view bytes) override;
    void endTextFile(TextFileDecoder& decoder) override;
    std::uint64_t tell() const override { return moved_ + buffer_.size(); }
    void truncate(std::uint64_t position) override;
    // True until any text arrives.
    bool empty() const { return empty_; }
    // From now on the section's bytes go into the report, after what it holds;
    // the opening goes first, once the section has any text.
    void streamTo(ReportOutput& report, std::wstring_view opening);
    bool streaming() const { return report_ != nullptr; }
    // Ends the streaming: the closing follows when the section had any text, and
    // the spill file is gone. The first failure of spilling, reading back or
    // writing; 0 on success.
    platform::ErrorCode endStream(std::wstring_view closing);

private:
    void moveOut();
    void spill();
    platform::ErrorCode createSpillFile();
    platform::ErrorCode copySpillTo();
    void send(std::string_view bytes);
    void removeSpillFile();

    platform::OwnFolder& spillFolder_;
    const std::size_t bufferSize_;
    text::Utf8Encoder encoder_{text::Utf8Encoder::LineEnds::crlf};
    std::string buffer_;
    platform::OwnFile spillFile_;
    // Bytes that left the buffer, for the spill file or the report.
    std::uint64_t moved_ = 0;
    platform::ErrorCode failure_ = platform::error::success;
    bool empty_ = true;
    // While streaming: the report, the opening's bytes, and where they start once written.
    ReportOutput* report_ = nullptr;
    std::string opening_;
    std::uint64_t openedAt_ = 0;
    bool opened_ = false;
};

// Writes every byte or answers the failure; a stream that takes nothing counts
// as a full disk.
platform::ErrorCode writeAll(platform::FileStream& stream, std::string_view bytes);
// Text in the report's bytes: UTF-8, every LF as CR LF.
std::string reportBytes(std::wstring_view text);

// The five sections of the report as the dispatcher fills them, in the order
// of the requests.
struct ReportSections {
    ReportSink& registry;
    ReportSink& file;
    ReportSink& directory;
    ReportSink& system;
    ReportSink& service;
};
