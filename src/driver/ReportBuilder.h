#pragma once
#include "config/XmlNode.h"
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"

#include <string>

// The report's frame: the opening computer line, the five sections the
// requests fill, and their streaming into the report file.
class ReportBuilder {
public:
    // Takes the opening line's facts now; the sections spill beside the report.
    ReportBuilder(const platform::Host& host, platform::FileSystem& files, const std::wstring& reportPath,
                  std::size_t sectionBufferSize = ReportSection::defaultBufferSize);

    // Serves every request of the tree; returns the category code of the last one.
    int walk(const XmlNodeVector& root, Collectors& collectors, Progress* progress = nullptr);
    // The declaration and the opening line. Written before collecting, so that
    // even an unfinished report shows it is one of this tool's.
    platform::ErrorCode writeHead(platform::FileStream& report) const;
    // The non-empty sections in their fixed order with their wrappers, then the
    // closing tag. The first failure, 0 on success.
    platform::ErrorCode writeBody(platform::FileStream& report, Collectors& collectors);

    static std::wstring openingLine(const platform::Host& host);
    // The bytes every report of this tool begins with.
    static std::string signature();

private:
    platform::FileSystem& files_;
    const std::wstring openingLine_;
    ReportSection registry_;
    ReportSection file_;
    ReportSection directory_;
    ReportSection system_;
    ReportSection service_;
};
