#include "driver/ReportBuilder.h"

#include "config/XmlParser.h"

#include "fakes/FakePlatform.h"
#include "fakes/Configurations.h"

#include <gtest/gtest.h>

namespace {

// The report's bytes with CR LF read back as LF, and its declaration's CR CR LF as CR LF.
std::wstring assembled(const std::wstring& configuration, RecordingCollectors& collectors) {
    FakeHost host;
    FakeFileSystem files;
    std::string bytes;
    MemoryStream report(bytes);
    ReportBuilder builder(host, files, L"r.xml");
    const auto root = XmlParser().parse(configurationOf(configuration));
    EXPECT_EQ(builder.writeHead(report), 0u);
    builder.walk(*root, collectors);
    EXPECT_EQ(builder.writeBody(report, collectors), 0u);
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += static_cast<wchar_t>(bytes[i]);
    }
    return text;
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
    FakeHost host;
    host.computer = L"\u00E4\u20AC";
    FakeFileSystem files;
    std::string bytes;
    MemoryStream report(bytes);
    ReportBuilder builder(host, files, L"r.xml");
    EXPECT_EQ(builder.writeHead(report), 0u);
    RecordingCollectors collectors;
    EXPECT_EQ(builder.writeBody(report, collectors), 0u);
    EXPECT_EQ(bytes, "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"\xC3\xA4\xE2\x82\xAC\" username=\"WORKGROUP\\admin\" "
                     "date=\"1430395200\">\r\n</computer>");
    EXPECT_EQ(bytes.substr(0, ReportBuilder::signature().size()), ReportBuilder::signature());
}
