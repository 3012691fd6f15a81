#include "config/XmlParser.h"
#include "dispatch/Dispatcher.h"

#include "fakes/FakePlatform.h"
#include "fakes/Configurations.h"

#include <gtest/gtest.h>

namespace {

struct Dispatch : ::testing::Test {
    void walk(const std::wstring& configuration) {
        const auto root = XmlParser().parse(configurationOf(configuration));
        ASSERT_TRUE(root);
        Dispatcher(collectors, files, sections).walk(*root);
    }

    RecordingCollectors collectors;
    FakeFileSystem files;
    TextSink registry, file, directory, system, service;
    ReportSections sections{registry, file, directory, system, service};
};

}  // namespace

TEST_F(Dispatch, EveryFunctionReachesItsCollectorAndSection) {
    walk(L"<config><Registry><getKey>K</getKey><getValue>V</getValue></Registry>"
         L"<File><getFileVersion>F</getFileVersion></File>"
         L"<Directory><getDirectories>D1</getDirectories><getDirectoriesRecursively>D2</getDirectoriesRecursively>"
         L"<getDirectoriesAndFiles>D3</getDirectoriesAndFiles>"
         L"<getDirectoriesAndFilesRecursively>D4</getDirectoriesAndFilesRecursively>"
         L"<getFiles>D5</getFiles><getFilesRecursively>D6</getFilesRecursively></Directory>"
         L"<System><getSystem>disk</getSystem><getUser>CORP\\bob</getUser></System>"
         L"<Service><getServiceStatus>Spooler</getServiceStatus></Service></config>");
    EXPECT_EQ(collectors.calls,
              (std::vector<std::wstring>{L"getKey:K", L"getValue:V", L"getFileVersion:F", L"getDirectories:D1",
                                         L"getDirectoriesRecursively:D2", L"getDirectoriesAndFiles:D3",
                                         L"getDirectoriesAndFilesRecursively:D4", L"getFiles:D5",
                                         L"getFilesRecursively:D6", L"getSystem:disk", L"getUser:CORP\\bob",
                                         L"serviceStatus:Spooler"}));
    EXPECT_EQ(registry.text(), L"<getKey>K</getKey>\n<getValue>V</getValue>\n");
    EXPECT_EQ(file.text(), L"<getFileVersion>F</getFileVersion>\n<f>D3</f>\n<f>D4</f>\n<getFiles>D5</getFiles>\n");
    EXPECT_EQ(directory.text(),
              L"<getDirectories>D1</getDirectories>\n<getDirectoriesRecursively>D2</getDirectoriesRecursively>\n"
              L"<getDirectoriesAndFiles>D3</getDirectoriesAndFiles>\n"
              L"<getDirectoriesAndFilesRecursively>D4</getDirectoriesAndFilesRecursively>\n");
    EXPECT_EQ(system.text(), L"<getSystem>disk</getSystem>\n<getUser>CORP\\bob</getUser>\n");
    EXPECT_EQ(service.text(), L"<serviceStatus>Spooler</serviceStatus>\n");
}

TEST_F(Dispatch, MisplacedAndUnknownRequestsLeaveNoTrace) {
    walk(L"<config><getKey>root</getKey><File><getKey>K</getKey><getFiles>X</getFiles></File>"
         L"<Directory><getUser>U</getUser><getfiles>Y</getfiles><Directory>Z</Directory></Directory>"
         L"<Other><getFile>G</getFile></Other><config><getFile>H</getFile></config></config>");
    EXPECT_TRUE(collectors.calls.empty());
    EXPECT_TRUE(registry.text().empty() && file.text().empty() && directory.text().empty());
}

TEST_F(Dispatch, AllInAnyCaseListsEveryServiceOtherNamesStayAsWritten) {
    walk(L"<config><Service><getServiceStatus>all</getServiceStatus><getServiceStatus>All</getServiceStatus>"
         L"<getServiceStatus>spooler</getServiceStatus><getServiceStatus> ALL</getServiceStatus></Service></config>");
    EXPECT_EQ(collectors.calls,
              (std::vector<std::wstring>{L"allServices:", L"allServices:", L"serviceStatus:spooler",
                                         L"serviceStatus: ALL"}));
}

TEST_F(Dispatch, FileContentIsEmbeddedVerbatim) {
    files.files[L"a.txt"] = "x < & y\r\nzweite Zeile\xE4";
    files.files[L"empty.txt"] = "";
    // A read that fails in the middle leaves no shortened text behind.
    files.files[L"damaged.log"] = std::string(200000, 'x');
    files.damagedAt[L"damaged.log"] = 150000;
    const std::wstring cut = L"a.txt" + std::wstring(1, L'\0') + L".log";
    walk(L"<config><File><getFile>a.txt</getFile><getFile>empty.txt</getFile><getFile>none</getFile><getFile>" + cut +
         L"</getFile><getFile>damaged.log</getFile><getFile>empty.txt</getFile></File></config>");
    EXPECT_EQ(file.text(),
              L"<filecontent name=\"a.txt\" noparse=\"TRUE\">\nx < & y\nzweite Zeile\u00E4\n</filecontent>\n"
              L"<filecontent name=\"empty.txt\" noparse=\"TRUE\">\n\n</filecontent>\n"
              L"<filecontent name=\"none\">File not found</filecontent>\n"
              L"<filecontent name=\"" + cut + L"\">File not found</filecontent>\n"
              L"<filecontent name=\"damaged.log\">File not found</filecontent>\n"
              L"<filecontent name=\"empty.txt\" noparse=\"TRUE\">\n\n</filecontent>\n");
}

// A value longer than any name reaches its request cut short and is never
// widened whole, yet the report names it in full, alone or within an element.
TEST_F(Dispatch, AValueLongerThanAnyNameIsWrittenWhole) {
    const std::wstring name = std::wstring(40000, L'\u20AC') + L"x";  // three bytes a character in UTF-8
    walk(L"<config><Registry><getKey>" + name + L"</getKey></Registry><File><getFile>" + name +
         L"</getFile></File></config>");
    EXPECT_EQ(collectors.calls, std::vector<std::wstring>{L"getKey:" + name.substr(0, 32768)});
    EXPECT_TRUE(registry.text() == L"<getKey>" + name + L"</getKey>\n");
    EXPECT_TRUE(file.text() == L"<filecontent name=\"" + name + L"\">File not found</filecontent>\n");
}

TEST_F(Dispatch, RequestsRunInDocumentOrderAfterMerging) {
    walk(L"<config><Registry><getKey>1</getKey></Registry><File><getFileVersion>2</getFileVersion></File>"
         L"<Registry><getKey>3</getKey></Registry></config>");
    EXPECT_EQ(collectors.calls, (std::vector<std::wstring>{L"getKey:1", L"getKey:3", L"getFileVersion:2"}));
}

TEST_F(Dispatch, ReturnsTheCategoryCode) {
    Dispatcher dispatcher(collectors, files, sections);
    EXPECT_EQ(dispatcher.dispatch(L"File", L"getKey", L"x"), CommandTable::file);
    EXPECT_EQ(dispatcher.dispatch(L"Nothing", L"getKey", L"x"), CommandTable::notFound);
    EXPECT_TRUE(collectors.calls.empty());
}

TEST_F(Dispatch, AFailingRequestBecomesAnErrorElementAndTheWalkGoesOn) {
    const std::wstring memory = L"Not enough memory resources are available to process this command.";
    const struct {
        const wchar_t* request;
        TextSink Dispatch::*section;
        std::wstring element;
    } cases[] = {
        {L"<Registry><getKey>exhausting</getKey>", &Dispatch::registry,
         L"<key name=\"exhausting\">" + memory + L"</key>\n"},
        {L"<File><getFileVersion>throwing</getFileVersion>", &Dispatch::file,
         L"<searchedproperties name=\"throwing\">Unexpected error</searchedproperties>\n"},
        {L"<Directory><getDirectoriesAndFiles>exhausting</getDirectoriesAndFiles>", &Dispatch::directory,
         L"<directory name=\"exhausting\">" + memory + L"</directory>\n"},
        {L"<Directory><getFiles>exhausting</getFiles>", &Dispatch::file,
         L"<properties name=\"exhausting\">" + memory + L"</properties>\n"},
        {L"<System><getUser>throwing</getUser>", &Dispatch::system,
         L"<user name=\"throwing\">Unexpected error</user>\n"},
        {L"<Service><getServiceStatus>exhausting</getServiceStatus>", &Dispatch::service,
         L"<service name=\"exhausting\">" + memory + L"</service>\n"},
    };
    for (const auto& sample : cases) {
        for (TextSink* sink : {&registry, &file, &directory, &system, &service}) *sink = TextSink();
        const std::wstring request = sample.request;
        const std::wstring category = request.substr(1, request.find(L'>') - 1);
        walk(L"<config>" + request + L"</" + category + L"><Registry><getValue>next</getValue></Registry></config>");
        EXPECT_EQ((this->*(sample.section)).text().substr(0, sample.element.size()), sample.element);
        EXPECT_EQ(collectors.calls.back(), L"getValue:next");
    }
}
