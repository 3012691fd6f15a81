#pragma once
#include "config/XmlNode.h"
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"

#include <string>

// The report's frame: the opening computer line, the five section buffers
// the requests fill, and their assembly into one document.
class ReportBuilder {
public:
    // Appends the opening computer line to the report text.
    ReportBuilder(std::wstring& report, const platform::Host& host);

    const std::wstring& registryText() const { return sections_.registry; }
    const std::wstring& fileText() const { return sections_.file; }
    const std::wstring& directoryText() const { return sections_.directory; }
    const std::wstring& systemText() const { return sections_.system; }
    const std::wstring& serviceText() const { return sections_.service; }

    // Serves every request of the tree; returns the category code of the last one.
    int walk(const XmlNodeVector& root, Collectors& collectors, const platform::FileSystem& files,
             Progress* progress = nullptr);
    // Puts the declaration in front, then the non-empty sections in their fixed
    // order with their wrappers, then the closing tag. The sections are emptied.
    void assemble(std::wstring& report, Collectors& collectors);

    static std::wstring openingLine(const platform::Host& host);

private:
    ReportSections sections_;
};

// The report as the file holds it: UTF-8 without byte-order mark, every LF
// written as CR LF the way a Windows text-mode stream writes it.
std::string reportFileBytes(const std::wstring& report);

// False when the file cannot be opened.
bool writeReportFile(platform::FileSystem& files, const std::wstring& path, const std::wstring& report);
