#include "driver/ReportBuilder.h"

#include "dispatch/Dispatcher.h"

using platform::ErrorCode;

namespace {

const std::wstring declaration = L"<?xml version=\"1.0\"?>\r\n";

// Frame text in the report's bytes: UTF-8, every LF as CR LF.
std::string reportBytes(std::wstring_view text) {
    std::string bytes;
    text::Utf8Encoder encoder(text::Utf8Encoder::LineEnds::crlf);
    encoder.encode(text, bytes);
    encoder.finish(bytes);
    return bytes;
}

ErrorCode writeText(platform::FileStream& report, std::wstring_view text) {
    return writeAll(report, reportBytes(text));
}

}  // namespace

ReportBuilder::ReportBuilder(const platform::Host& host, platform::FileSystem& files, const std::wstring& reportPath,
                             std::size_t sectionBufferSize)
    : files_(files),
      openingLine_(openingLine(host)),
      registry_(files, reportPath + L".registry", sectionBufferSize),
      file_(files, reportPath + L".file", sectionBufferSize),
      directory_(files, reportPath + L".directory", sectionBufferSize),
      system_(files, reportPath + L".system", sectionBufferSize),
      service_(files, reportPath + L".service", sectionBufferSize) {}

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

std::string ReportBuilder::signature() { return reportBytes(declaration + L"<computer hostname=\""); }

int ReportBuilder::walk(const XmlNodeVector& root, Collectors& collectors, Progress* progress) {
    ReportSections sections{registry_, file_, directory_, system_, service_};
    return Dispatcher(collectors, files_, sections).walk(root, progress);
}

ErrorCode ReportBuilder::writeHead(platform::FileStream& report) const {
    return writeText(report, declaration + openingLine_);
}

ErrorCode ReportBuilder::writeBody(platform::FileStream& report, Collectors& collectors) {
    struct Wrapped {
        std::wstring open;
        ReportSection& section;
        std::wstring close;
    };
    // The figures are only asked for when the system element is written.
    const std::wstring systemOpening = system_.empty() ? L"" : L"<system " + collectors.systemFigures() + L">\n";
    Wrapped sections[] = {{L"<registry>\n", registry_, L"</registry>\n"},
                          {L"<file>\n", file_, L"</file>\n"},
                          {L"", directory_, L""},
                          {systemOpening, system_, L"</system>\n"},
                          {L"", service_, L""}};
    for (Wrapped& wrapped : sections) {
        if (wrapped.section.empty()) continue;
        if (const ErrorCode failure = writeText(report, wrapped.open)) return failure;
        if (const ErrorCode failure = wrapped.section.drainTo(report)) return failure;
        if (const ErrorCode failure = writeText(report, wrapped.close)) return failure;
    }
    return writeText(report, L"</computer>");
}
