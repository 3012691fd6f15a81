#include "driver/ReportBuilder.h"

#include "dispatch/CommandTable.h"
#include "dispatch/Dispatcher.h"

ReportBuilder::ReportBuilder(std::wstring& report, const platform::Host& host) { report += openingLine(host); }

std::wstring ReportBuilder::openingLine(const platform::Host& host) {
    const auto now = host.now();
    const auto user = host.runningUser();
    std::wstring line = L"<computer hostname=\"";
    line += host.computerName().value_or(L"");
    line += L"\" username=\"";
    line += user ? user->domain + L"\\" + user->name : L"User konnte nicht ermittelt werden";
    line += L"\" date=\"";
    line += std::to_wstring(now.value_or(-1));
    line += L"\">\n";
    return line;
}

int ReportBuilder::walk(const XmlNodeVector& root, Collectors& collectors, const platform::FileSystem& files,
                        Progress* progress) {
    return Dispatcher(collectors, files, sections_).walk(root, progress);
}

namespace {

struct WrappedSection {
    std::wstring open;
    std::wstring& text;
    std::wstring close;
};

}  // namespace

// The report is written into room measured beforehand and each section is
// freed once copied, so that a large report is not held twice over.
void ReportBuilder::assemble(std::wstring& report, Collectors& collectors) {
    const std::wstring systemOpening =
        sections_.system.empty() ? L"" : L"<system " + collectors.systemFigures() + L">\n";
    WrappedSection sections[] = {{L"<registry>\n", sections_.registry, L"</registry>\n"},
                                 {L"<file>\n", sections_.file, L"</file>\n"},
                                 {L"", sections_.directory, L""},
                                 {systemOpening, sections_.system, L"</system>\n"},
                                 {L"", sections_.service, L""}};
    const std::wstring declaration = L"<?xml version=\"1.0\"?>\r\n";
    const std::wstring closing = L"</computer>";
    std::size_t length = declaration.size() + report.size() + closing.size();
    for (const WrappedSection& section : sections) {
        if (!section.text.empty()) length += section.open.size() + section.text.size() + section.close.size();
    }
    std::wstring assembled;
    assembled.reserve(length);
    assembled += declaration;
    assembled += report;
    for (WrappedSection& section : sections) {
        if (section.text.empty()) continue;
        assembled += section.open;
        assembled += section.text;
        assembled += section.close;
        std::wstring().swap(section.text);
    }
    assembled += closing;
    report = std::move(assembled);
}

std::string reportFileBytes(const std::wstring& report) {
    const std::string utf8 = CommandTable::wideToUtf8(report);
    std::string bytes;
    bytes.reserve(utf8.size() + utf8.size() / 16);
    for (const char c : utf8) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
}

bool writeReportFile(platform::FileSystem& files, const std::wstring& path, const std::wstring& report) {
    return files.writeFile(path, reportFileBytes(report));
}
