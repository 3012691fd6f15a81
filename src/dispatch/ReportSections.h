#pragma once
#include "dispatch/ReportSink.h"
#include "platform/FileSystem.h"
#include "text/Utf8.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// One section of the report. What the collectors write is encoded at once into
// the report's bytes (UTF-8, every LF as CR LF); beyond a bounded buffer the
// bytes go to a spill file of the section's own beside the report, so memory
// stays flat whatever the section's size. The spill file is removed with the
// section, whatever path the run took.
class ReportSection final : public ReportSink {
public:
    static constexpr std::size_t defaultBufferSize = std::size_t{1} << 20;

    // The spill file is created, only when needed, as spillStem + ".tmp", or
    // spillStem + ".N.tmp" with the first free N.
    ReportSection(platform::FileSystem& files, std::wstring spillStem, std::size_t bufferSize = defaultBufferSize);
    ReportSection(const ReportSection&) = delete;
    ReportSection& operator=(const ReportSection&) = delete;
    ~ReportSection() override;

    void write(std::wstring_view text) override;
    std::uint64_t tell() const override { return spilled_ + buffer_.size(); }
    void truncate(std::uint64_t position) override;
    // True until any text arrives.
    bool empty() const { return empty_; }
    // Moves the section's bytes, in the order they came, to the report; the
    // spill file is gone afterwards, so it never sits beside the finished
    // report. The first failure of spilling, reading back or writing; 0 on success.
    platform::ErrorCode drainTo(platform::FileStream& report);

private:
    void spill();
    platform::ErrorCode createSpillFile();
    platform::ErrorCode copyTo(platform::FileStream& report);
    void removeSpillFile();

    platform::FileSystem& files_;
    const std::wstring spillStem_;
    const std::size_t bufferSize_;
    text::Utf8Encoder encoder_{text::Utf8Encoder::LineEnds::crlf};
    std::string buffer_;
    std::wstring spillPath_;
    std::unique_ptr<platform::FileStream> spillFile_;
    std::uint64_t spilled_ = 0;
    platform::ErrorCode failure_ = platform::error::success;
    bool empty_ = true;
};

// Writes every byte or answers the failure; a stream that takes nothing counts
// as a full disk.
platform::ErrorCode writeAll(platform::FileStream& stream, std::string_view bytes);

// The five sections of the report as the dispatcher fills them, in the order
// of the requests.
struct ReportSections {
    ReportSink& registry;
    ReportSink& file;
    ReportSink& directory;
    ReportSink& system;
    ReportSink& service;
};
