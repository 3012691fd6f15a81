#include "driver/ReportBuilder.h"

#include "config/XmlParser.h"

#include "fakes/Configurations.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

// Bytes with CR LF read back as LF, and the declaration's CR CR LF as CR LF.
std::wstring textOf(const std::string& bytes) {
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += static_cast<wchar_t>(bytes[i]);
    }
    return text;
}

// The report as the walk leaves it, and as it ends.
struct Assembled {
    std::wstring afterWalk;
    std::wstring whole;
};

Assembled assemble(const std::wstring& configuration, RecordingCollectors& collectors) {
    FakeHost host;
    FakeFileSystem files;
    StringOutput report;
    FakeFolder folder(files, L"");
    ReportBuilder builder(host, files, folder);
    const auto root = XmlParser().parse(configurationOf(configuration));
    EXPECT_EQ(builder.writeHead(report), 0u);
    builder.walk(*root, collectors, report);
    const std::wstring afterWalk = textOf(report.bytes);
    EXPECT_EQ(builder.writeBody(report, collectors), 0u);
    EXPECT_TRUE(files.own.empty()) << "spill file left";
    return {afterWalk, textOf(report.bytes)};
}

std::wstring assembled(const std::wstring& configuration, RecordingCollectors& collectors) {
    return assemble(configuration, collectors).whole;
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

// A section goes into the report once no request left can write a section
// before it; the system section waits for its figures at the end.
TEST(ReportBuilder, SectionsStreamAsSoonAsTheSectionsBeforeThemAreComplete) {
    RecordingCollectors collectors;
    const Assembled report = assemble(L"<config><Registry><getValue>R1</getValue></Registry>"
                                      L"<File><getFileVersion>F</getFileVersion></File>"
                                      L"<Registry><getValue>R2</getValue></Registry>"
                                      L"<Directory><getDirectories>D</getDirectories></Directory>"
                                      L"<System><getSystem>S</getSystem></System></config>",
                                      collectors);
    const std::wstring streamed = declarationAndOpening +
                                  L"<registry>\n<getValue>R1</getValue>\n<getValue>R2</getValue>\n</registry>\n"
                                  L"<file>\n<getFileVersion>F</getFileVersion>\n</file>\n<getDirectories>D</getDirectories>\n";
    EXPECT_EQ(report.afterWalk, streamed);
    EXPECT_EQ(report.whole,
              streamed + L"<system uptime=\"5\" processes=\"7\">\n<getSystem>S</getSystem>\n</system>\n</computer>");
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
    StringOutput report;
    FakeFolder folder(files, L"");
    ReportBuilder builder(host, files, folder);
    EXPECT_EQ(builder.writeHead(report), 0u);
    RecordingCollectors collectors;
    EXPECT_EQ(builder.writeBody(report, collectors), 0u);
    const std::string& bytes = report.bytes;
    EXPECT_EQ(bytes, "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"\xC3\xA4\xE2\x82\xAC\" username=\"WORKGROUP\\admin\" "
                     "date=\"1430395200\">\r\n</computer>");
}
