#include "read/ReportParser.h"
#include "read/ReportWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using report::Record;

class Records final : public report::RecordHandler {
public:
    void record(Record&& record) override { all.push_back(std::move(record)); }
    std::vector<Record> all;
};

std::vector<Record> read(const std::string& bytes, std::size_t piece = 1u << 20) {
    Records records;
    report::ReportParser parser(records);
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        parser.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    parser.finish();
    return records.all;
}

std::string reportBytes(const std::vector<Record>& records) {
    std::string bytes;
    report::ReportWriter writer([&](std::string_view text) { bytes += report::withCrLf(text); });
    writer.start();
    for (const Record& record : records) writer.next(record);
    writer.end();
    return bytes;
}

const std::string everyElement =
    "<?xml version=\"1.0\"?>\r\r\n"
    "<computer hostname=\"h\"q\" username=\"d\\u\" date=\"1\">\r\n"
    "<registry>\r\n"
    "<key name=\"HKEY_LOCAL_MACHINE\\S\\A\" type=\"String\">a\"<b> & c</key>\r\n"
    "<key name=\"HKEY_LOCAL_MACHINE\\S\\E\"/>\r\n"
    "<key name=\"HKEY_CURRENT_USER\\none\">The system cannot find the file specified.\r\r\n</key>\r\n"
    "<key name=\"HKEY_LOCAL_MACHINE\\S\\B\" type=\"Binary\">in utf-16: \r\n0x0001 0x00ab </key>\r\n"
    "</registry>\r\n"
    "<file>\r\n"
    "<filecontent name=\"/a&b<c>\" noparse=\"TRUE\">\r\n<script>\r\r\n</filecontent>\r\nrest\r\n</filecontent>\r\n"
    "<filecontent name=\"/m\">File not found</filecontent>\r\n"
    "<searchedproperties name=\"/bin/sh\">1|2|3|</searchedproperties>\r\n"
    "<searchedproperties name=\"/nope\">File not found.</searchedproperties>\r\n"
    "<properties name=\"/f\">1|2|3|none|none</properties>\r\n"
    "<properties name=\"/g\">Problem getting File information: \r\nFile /g not found.\r\n</properties>\r\n"
    "</file>\r\n"
    "<directory name=\"/d\">1|2</directory>\r\n"
    "<directory name=\"/x\">Does not exist</directory>\r\n"
    "<system handle=\"1\" uptime=\"2\" processes=\"couldn't receive number of processes\">\r\n"
    "<disk>/a|b|1.00|2.00</disk>\r\n"
    "<disk>21</disk>\r\n"
    "<ram>5|15.98|3.00</ram>\r\n"
    "<os>Debian | Linux\r\n|x64|de-DE</os>\r\n"
    "<cpu>CPU\r\n|2|7.5%\r\n</cpu>\r\n"
    "<localuser name=\"root\">administrator</localuser>\r\n"
    "<localuser>Access Denied</localuser>\r\n"
    "<user name=\"d\\u\">a|b|</user>\r\n"
    "<user name=\"x\"></user>\r\n"
    "</system>\r\n"
    "<service name=\"cron\">Cron | daemon|Own Process|running|root|Automatisch</service>\r\n"
    "<service name=\"nosuch\">Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\r\nnot found\r\r\n</service>\r\n"
    "<service name=\"\">Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\r\nInvalid name.\r\r\n</service>\r\n"
    "<service>Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\r\n</service>\r\n"
    "</computer>";

struct Expected {
    const char* section;
    const char* element;
    std::string name;
    std::vector<std::string> fields;
    bool failure;
};

}  // namespace

// Every form each function writes, with the texts the writer leaves unescaped.
TEST(ReportReader, ReadsEveryElementExactly) {
    const std::vector<Expected> expected = {
        {"computer", "computer", "h\"q", {}, false},
        {"registry", "key", "HKEY_LOCAL_MACHINE\\S\\A", {"a\"<b> & c"}, false},
        {"registry", "key", "HKEY_LOCAL_MACHINE\\S\\E", {}, false},
        {"registry", "key", "HKEY_CURRENT_USER\\none", {"The system cannot find the file specified.\r\n"}, true},
        {"registry", "key", "HKEY_LOCAL_MACHINE\\S\\B", {"in utf-16: \n0x0001 0x00ab "}, false},
        {"file", "filecontent", "/a&b<c>", {"<script>\r\n</filecontent>\nrest\n"}, false},
        {"file", "filecontent", "/m", {"File not found"}, true},
        {"file", "searchedproperties", "/bin/sh", {"1", "2", "3", ""}, false},
        {"file", "searchedproperties", "/nope", {"File not found."}, true},
        {"file", "properties", "/f", {"1", "2", "3", "none", "none"}, false},
        {"file", "properties", "/g", {"Problem getting File information: \nFile /g not found.\n"}, true},
        {"directory", "directory", "/d", {"1", "2"}, false},
        {"directory", "directory", "/x", {"Does not exist"}, true},
        {"system", "system", "", {}, false},
        {"system", "disk", "", {"/a|b", "1.00", "2.00"}, false},
        {"system", "disk", "", {"21"}, true},
        {"system", "ram", "", {"5", "15.98", "3.00"}, false},
        {"system", "os", "", {"Debian | Linux\n", "x64", "de-DE"}, false},
        {"system", "cpu", "", {"CPU\n", "2", "7.5%\n"}, false},
        {"system", "localuser", "root", {"administrator"}, false},
        {"system", "localuser", "", {"Access Denied"}, true},
        {"system", "user", "d\\u", {"a", "b"}, false},
        {"system", "user", "x", {}, false},
        {"service", "service", "cron", {"Cron | daemon", "Own Process", "running", "root", "Automatisch"}, false},
        {"service", "service", "nosuch",
         {"Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\nnot found\r\n"}, true},
        {"service", "service", "", {"Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\nInvalid name.\r\n"}, true},
        {"service", "service", "", {"Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\n"}, true},
    };
    const std::vector<Record> records = read(everyElement);
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i].line);
        EXPECT_EQ(records[i].section, expected[i].section);
        EXPECT_EQ(records[i].element, expected[i].element);
        EXPECT_EQ(records[i].name, expected[i].name);
        EXPECT_EQ(records[i].fields, expected[i].fields);
        EXPECT_EQ(records[i].failure, expected[i].failure);
    }
    EXPECT_EQ(records[1].attribute("type"), "String");
    EXPECT_EQ(records[5].line, 12u);
    EXPECT_EQ(records[13].attribute("processes"), "couldn't receive number of processes");
    EXPECT_EQ(reportBytes(records), everyElement);
    // Where the pieces end changes nothing, inside CR LF and end tags included.
    for (const std::size_t piece : {1u, 2u, 7u}) {
        const std::vector<Record> again = read(everyElement, piece);
        EXPECT_EQ(reportBytes(again), everyElement) << piece;
    }
}

// A "</filecontent>" line inside contents ends them only where a file element
// or the section's end follows it.
TEST(ReportReader, ContentsEndAtTheEndTagThatAFileElementFollows) {
    const std::string frame = "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"h\" username=\"u\" date=\"1\">\r\n";
    const std::string report = frame +
                               "<file>\r\n<filecontent name=\"/a\" noparse=\"TRUE\">\r\n</filecontent>\r\n"
                               "</filecontent>\r\n<properties name=\"/b\">1|2|3|none|none</properties>\r\n"
                               "</file>\r\n</computer>";
    const std::vector<Record> records = read(report);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].fields[0], "</filecontent>\n");
    EXPECT_EQ(records[2].name, "/b");
    // Contents that are not kept are still measured.
    Records measured;
    report::ReportParser parser(measured, false);
    parser.feed(report.data(), report.size());
    parser.finish();
    EXPECT_EQ(measured.all[1].contentSize, 15u);
    EXPECT_TRUE(measured.all[1].fields[0].empty());
    // Where a limit is set, the contents' first bytes are kept up to it.
    Records started;
    report::ReportParser limited(started, report::ReportParser::ContentsLimit{3});
    limited.feed(report.data(), report.size());
    limited.finish();
    EXPECT_EQ(started.all[1].fields[0], "</f");
    EXPECT_EQ(started.all[1].contentSize, 15u);

    // A contents line longer than any element goes on in pieces; a piece ending
    // in the CR of its CR LF keeps the line end whole.
    const std::string start = frame + "<file>\r\n<filecontent name=\"/l\" noparse=\"TRUE\">\r\n";
    const std::size_t piece = 1u << 20;
    const std::string longLine(17 * piece - start.size() - 1, 'x');  // its CR ends a piece
    const std::string longContents = start + longLine + "\r\n</filecontent>\r\n</file>\r\n</computer>";
    EXPECT_EQ(read(longContents, piece)[1].fields[0], longLine + "\n");
}

TEST(ReportReader, RefusesOnlyWhatIsNoReportOrIsCutShort) {
    const std::string frame = "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"h\" username=\"u\" date=\"1\">\r\n";
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"", "Zeile 1: leer"},
        {"PK\x03\x04 not a report", "Zeile 1: kein Tavisk-Bericht"},
        {"<?xml version=\"1.0\"?>\r\r\n<config>\r\n", "Zeile 2: kein Tavisk-Bericht"},
        {frame, "Zeile 3: Bericht endet vorzeitig"},
        {frame + "<registry>\r\n<key name=\"a\" type=\"String\">x", "Zeile 4: Bericht endet vorzeitig"},
        {frame + "<file>\r\n<filecontent name=\"/a\" noparse=\"TRUE\">\r\nabc\r\n", "Zeile 6: Bericht endet vorzeitig"},
        {frame + "hello\r\n", "Zeile 4: Bericht endet vorzeitig"},
        {frame + "</computer>\r\nmore", "Zeile 4: Bericht endet vorzeitig"},
    };
    for (const auto& [bytes, message] : cases) {
        try {
            read(bytes);
            ADD_FAILURE() << "no error for: " << bytes.substr(0, 200);
        } catch (const report::ReportError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(message, 0), 0u) << error.what();
        }
    }
}

// A stretch that no element of its place starts, or that does not end as its
// element does, is one record of its own; reading goes on at the next element,
// and the records give back the report's bytes.
TEST(ReportReader, ReadsPastAnUnreadableStretch) {
    const std::string frame = "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"h\" username=\"u\" date=\"1\">\r\n";
    const std::string service = "<service name=\"s\">S|Own Process|running|root|Automatisch</service>\r\n";
    const struct {
        std::string body;
        std::string section, raw;
        std::uint64_t firstLine, lastLine;
        std::string nextElement;
    } cases[] = {
        {"<file>\r\n<properties name=\"/a</properties>\r\nb\">1|2|3|none|none</properties>\r\n"
         "<properties name=\"/c\">1|2|3|none|none</properties>\r\n</file>\r\n",
         "file", "<properties name=\"/a</properties>\nb\">1|2|3|none|none</properties>", 4, 5, "properties"},
        {"hello\r\n<directory name=\"/d\">1|2</directory>\r\n", "", "hello", 3, 3, "directory"},
        {"<file>\r\n<properties name=\"/c\">1|2|3|none|none</properties>\r\n</file>\r\n<registry>\r\n"
         "<key name=\"a\"/>\r\n</registry>\r\n" + service,
         "", "<registry>\n<key name=\"a\"/>\n</registry>", 6, 8, "service"},
        {"<system uptime=\"1>\r\n<ram>5|1.00|2.00</ram>\r\n</system>\r\n", "system", "<system uptime=\"1>", 3, 3, "ram"},
        {service + "</computer>\r\n" + service, "service", "</computer>", 4, 4, "service"},
    };
    for (const auto& [body, section, raw, firstLine, lastLine, nextElement] : cases) {
        SCOPED_TRACE(body);
        const std::string bytes = frame + body + "</computer>";
        const std::vector<Record> records = read(bytes);
        const auto stretch = std::find_if(records.begin(), records.end(),
                                          [](const Record& r) { return r.element == report::unreadable; });
        ASSERT_NE(stretch, records.end());
        EXPECT_EQ(stretch->section, section);
        EXPECT_EQ(stretch->fields, std::vector<std::string>{raw});
        EXPECT_EQ(stretch->line, firstLine);
        EXPECT_EQ(stretch->lastLine, lastLine);
        ASSERT_NE(stretch + 1, records.end());
        EXPECT_EQ(stretch[1].element, nextElement);
        EXPECT_EQ(reportBytes(records), bytes);
        EXPECT_EQ(reportBytes(read(bytes, 3)), bytes);
    }

    // A line longer than any element is kept up to that size and measured.
    const std::string longLine = "<key name=\"k\" type=\"String\">" +
                                 std::string(report::ReportParser::maximumElementSize + (2u << 20), 'x') + "</key>";
    const std::vector<Record> records =
        read(frame + "<registry>\r\n" + longLine + "\r\n<key name=\"b\"/>\r\n</registry>\r\n</computer>", 1u << 20);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].element, report::unreadable);
    EXPECT_EQ(records[1].fields[0].size(), report::ReportParser::maximumElementSize);
    EXPECT_EQ(records[1].contentSize, longLine.size() + 1);  // its CR too
    EXPECT_EQ(records[2].name, "b");
    EXPECT_EQ(records[2].line, 5u);
}

// Each record of a report, written again, against the report's bytes where it
// stands: the first element that differs is named, whatever the report's size.
class ByteForByte final : public report::RecordHandler {
public:
    explicit ByteForByte(const std::string& path) : path_(path), bytes_(path, std::ios::binary) { writer_.start(); }
    void record(Record&& record) override {
        where_ = "line " + std::to_string(record.line) + ", <" + record.element + "> " + record.name.substr(0, 200);
        writer_.next(record);
    }
    void end() override {
        where_ = "end";
        writer_.end();
        if (!failed_) EXPECT_EQ(bytes_.peek(), std::char_traits<char>::eof()) << path_ << ": bytes after the end";
    }

private:
    void compare(std::string_view text) {
        for (std::size_t at = 0; at < text.size() && !failed_; at += piece) {
            const std::string written = report::withCrLf(text.substr(at, piece));
            std::string read(written.size(), '\0');
            bytes_.read(read.data(), static_cast<std::streamsize>(read.size()));
            read.resize(static_cast<std::size_t>(bytes_.gcount()));
            if (read == written) continue;
            failed_ = true;
            ADD_FAILURE() << path_ << ", " << where_ << ":\n  report: " << read.substr(0, 400)
                          << "\n  record: " << written.substr(0, 400);
        }
    }

    static constexpr std::size_t piece = 1u << 20;
    const std::string path_;
    std::ifstream bytes_;
    report::ReportWriter writer_{[this](std::string_view text) { compare(text); }};
    std::string where_ = "declaration";
    bool failed_ = false;
};

// Reports the tool wrote in the end-to-end tests (TAVISK_ROUND_TRIP_REPORTS, paths
// separated by ':'): read back, every element gives back the report's bytes.
TEST(ReportRoundTrip, ReportsOfTheToolReadBackByteForByte) {
    const char* paths = std::getenv("TAVISK_ROUND_TRIP_REPORTS");
    if (!paths) GTEST_SKIP() << "run by the end-to-end tests on every report they make";
    std::stringstream list(paths);
    for (std::string path; std::getline(list, path, ':');) {
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << path;
        ByteForByte check(path);
        report::ReportParser parser(check);
        std::vector<char> piece(1u << 20);
        try {
            while (file.read(piece.data(), static_cast<std::streamsize>(piece.size())) || file.gcount() > 0)
                parser.feed(piece.data(), static_cast<std::size_t>(file.gcount()));
            parser.finish();
        } catch (const report::ReportError& error) {
            ADD_FAILURE() << path << ": " << error.what();
        }
    }
}
