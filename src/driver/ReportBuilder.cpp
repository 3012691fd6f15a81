#include "driver/ReportBuilder.h"

#include "dispatch/Dispatcher.h"

using platform::ErrorCode;

namespace {

const std::wstring declaration = L"<?xml version=\"1.0\"?>\r\n";

}  // namespace

ReportBuilder::ReportBuilder(const platform::Host& host, platform::FileSystem& files,
                             platform::OwnFolder& spillFolder,
                             std::size_t sectionBufferSize)
    : files_(files),
      openingLine_(openingLine(host)),
      sections_{{{{spillFolder, sectionBufferSize}, L"<registry>\n", L"</registry>\n"},
                 {{spillFolder, sectionBufferSize}, L"<file>\n", L"</file>\n"},
                 {{spillFolder, sectionBufferSize}, L"", L""},
                 {{spillFolder, sectionBufferSize}, L"", L"</system>\n"},
                 {{spillFolder, sectionBufferSize}, L"", L""}}} {}

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

ErrorCode ReportBuilder::writeHead(ReportOutput& report) const {
    return report.write(reportBytes(declaration + openingLine_));
}

int ReportBuilder::walk(const XmlNodeVector& root, Collectors& collectors, ReportOutput& report, Progress* progress) {
    lastWriter_.fill(-1);
    const std::vector<unsigned> plan = Dispatcher::sectionPlan(root);
    for (std::size_t request = 0; request < plan.size(); ++request) {
        for (std::size_t index = 0; index < sectionCount; ++index) {
            if (plan[request] & (1u << index)) lastWriter_[index] = static_cast<std::ptrdiff_t>(request);
        }
    }
    Wrapped& first = sections_[0];
    first.section.streamTo(report, first.opening);
    std::ptrdiff_t served = -1;
    advance(report, served);
    ReportSections sinks{sections_[0].section, sections_[1].section, sections_[2].section, sections_[3].section,
                         sections_[4].section};
    return Dispatcher(collectors, files_, sinks).walk(root, progress, [&] { advance(report, ++served); });
}

void ReportBuilder::advance(ReportOutput& report, std::ptrdiff_t served) {
    while (streaming_ < systemIndex && lastWriter_[streaming_] <= served) {
        end(streaming_++);
        if (streaming_ < systemIndex) sections_[streaming_].section.streamTo(report, sections_[streaming_].opening);
    }
}

void ReportBuilder::end(std::size_t index) {
    const ErrorCode failure = sections_[index].section.endStream(sections_[index].closing);
    if (failure_ == platform::error::success) failure_ = failure;
}

ErrorCode ReportBuilder::writeBody(ReportOutput& report, Collectors& collectors) {
    // The figures are only asked for when the system element is written.
    Wrapped& system = sections_[systemIndex];
    if (!system.section.empty()) system.opening = L"<system " + collectors.systemFigures() + L">\n";
    for (std::size_t index = streaming_; index < sectionCount; ++index) {
        Wrapped& wrapped = sections_[index];
        if (!wrapped.section.streaming()) wrapped.section.streamTo(report, wrapped.opening);
        end(index);
    }
    streaming_ = sectionCount;
    const ErrorCode closing = report.write(reportBytes(L"</computer>"));
    return failure_ != platform::error::success ? failure_ : closing;
}
