#include "driver/ReportBuilder.h"

#include "config/XmlParser.h"

#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

std::wstring assembled(const std::wstring& configuration, RecordingCollectors& collectors) {
    FakeHost host;
    FakeFileSystem files;
    std::wstring report;
    ReportBuilder builder(report, host);
    const auto root = XmlParser().parse(configuration);
    builder.walk(*root, collectors, files);
    builder.assemble(report, collectors);
    return report;
}

const std::wstring declarationAndOpening =
    L"<?xml version=\"1.0\"?>\r\n<computer hostname=\"PC01\" username=\"WORKGROUP\\admin\" date=\"1430395200\">\n";

}  // namespace

TEST(ReportBuilder, OpeningLineNamesComputerUserAndTime) {
    FakeHost host;
    EXPECT_EQ(ReportBuilder::openingLine(host),
              L"<computer hostname=\"PC01\" username=\"WORKGROUP\\admin\" date=\"1430395200\">\n");
    host.user.reset();
    host.clock.reset();
    EXPECT_EQ(ReportBuilder::openingLine(host),
              L"<computer hostname=\"PC01\" username=\"User konnte nicht ermittelt werden\" date=\"-1\">\n");
}

TEST(ReportBuilder, SectionsFollowInTheirFixedOrderWithTheirWrappers) {
    RecordingCollectors collectors;
    EXPECT_EQ(assembled(L"<config><Service><getServiceStatus>S</getServiceStatus></Service>"
                        L"<System><getSystem>OS</getSystem></System>"
                        L"<Directory><getDirectoriesAndFiles>D</getDirectoriesAndFiles></Directory>"
                        L"<File><getFileVersion>F</getFileVersion></File>"
                        L"<Registry><getValue>R</getValue></Registry></config>",
                        collectors),
              declarationAndOpening + L"<registry>\n<getValue>R</getValue>\n</registry>\n"
                  L"<file>\n<f>D</f>\n<getFileVersion>F</getFileVersion>\n</file>\n"
                  L"<getDirectoriesAndFiles>D</getDirectoriesAndFiles>\n"
                  L"<system uptime=\"5\" processes=\"7\">\n<getSystem>OS</getSystem>\n</system>\n"
                  L"<serviceStatus>S</serviceStatus>\n</computer>");
}

TEST(ReportBuilder, EmptySectionsLeaveNoTraceAndFiguresAreOnlyAskedForASystemSection) {
    RecordingCollectors collectors;
    EXPECT_EQ(assembled(L"<config><Registry><getFile>x</getFile></Registry></config>", collectors),
              declarationAndOpening + L"</computer>");
    EXPECT_TRUE(collectors.calls.empty());
}

TEST(ReportBuilder, FileBytesAreUtf8WithTextModeLineEnds) {
    std::wstring report = L"<?xml version=\"1.0\"?>\r\n<a>\u00E4\u20AC</a>\n</computer>";
    if constexpr (sizeof(wchar_t) == 2) {
        report += std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        report += static_cast<wchar_t>(0x1F600);
    }
    EXPECT_EQ(reportFileBytes(report),
              "<?xml version=\"1.0\"?>\r\r\n<a>\xC3\xA4\xE2\x82\xAC</a>\r\n</computer>\xF0\x9F\x98\x80");
}
