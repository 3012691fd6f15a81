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

int ReportBuilder::walk(const XmlNodeVector& root, Collectors& collectors, const platform::FileSystem& files) {
    return Dispatcher(collectors, files, sections_).walk(root);
}

void ReportBuilder::assemble(std::wstring& report, Collectors& collectors) const {
    report.insert(0, L"<?xml version=\"1.0\"?>\r\n");
    if (!sections_.registry.empty()) report += L"<registry>\n" + sections_.registry + L"</registry>\n";
    if (!sections_.file.empty()) report += L"<file>\n" + sections_.file + L"</file>\n";
    report += sections_.directory;
    if (!sections_.system.empty()) {
        report += L"<system " + collectors.systemFigures() + L">\n" + sections_.system + L"</system>\n";
    }
    report += sections_.service;
    report += L"</computer>";
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
