#pragma once
#include "config/XmlNode.h"
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"

#include <array>
#include <cstddef>
#include <string>

// The report's frame: the opening computer line, the five sections the
// requests fill, and their streaming into the report. A section streams
// straight into the report as soon as every section before it is complete,
// which the configuration tells: no request left to serve can write it.
class ReportBuilder {
public:
    // Takes the opening line's facts now; the sections spill into the folder.
    ReportBuilder(const platform::Host& host, platform::FileSystem& files, platform::OwnFolder& spillFolder,
                  std::size_t sectionBufferSize = ReportSection::defaultBufferSize);

    // The declaration and the opening line. Written before collecting, so that
    // even an unfinished report shows it is one of this tool's.
    platform::ErrorCode writeHead(ReportOutput& report) const;
    // Serves every request of the tree; returns the category code of the last one.
    int walk(const XmlNodeVector& root, Collectors& collectors, ReportOutput& report, Progress* progress = nullptr);
    // The sections not yet in the report, in their fixed order with their
    // wrappers, then the closing tag. The first failure of the whole report, 0 on success.
    platform::ErrorCode writeBody(ReportOutput& report, Collectors& collectors);

    static std::wstring openingLine(const platform::Host& host);

private:
    enum { sectionCount = 5, systemIndex = 3 };
    struct Wrapped {
        ReportSection section;
        std::wstring opening;
        std::wstring closing;
    };

    // Ends the streaming sections no request to come can write, up to the
    // system section, whose figures are taken at the end.
    void advance(ReportOutput& report, std::ptrdiff_t served);
    void end(std::size_t index);

    platform::FileSystem& files_;
    const std::wstring openingLine_;
    std::array<Wrapped, sectionCount> sections_;
    // The last request that can write each section, -1 for none.
    std::array<std::ptrdiff_t, sectionCount> lastWriter_{};
    std::size_t streaming_ = 0;
    platform::ErrorCode failure_ = platform::error::success;
};
