#pragma once
#include "dispatch/ReportSections.h"
#include "driver/ReportPipe.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The report on disk, under a private name beside the archive, and the pipe
// to the packing: what is written goes to the file and, while the packing
// reads along, through the pipe, so the report is packed as it is written and
// the file is read only when packing must start over. The file is removed when
// this object ends, unless it was kept.
class ReportFile final : public ReportOutput, public ReportPipe {
public:
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

    std::unique_ptr<platform::FileStream> openComplete() override;

private:
    platform::OwnFolder& folder_;
    platform::OwnFile file_;
    bool kept_ = false;
};
