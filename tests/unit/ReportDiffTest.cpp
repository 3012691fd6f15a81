#include "read/ReportParser.h"
#include "report-tool/Diff.h"
#include "report-tool/Summary.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

void readInto(report::RecordHandler& handler, const std::string& text) {
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    report::ReportParser parser(handler);
    parser.feed(bytes.data(), bytes.size() - 2);  // the last line has no line end
    parser.finish();
}

std::vector<reporttool::Change> compared(const std::string& older, const std::string& newer, bool withMovingFigures) {
    return reporttool::compareReports([&](report::RecordHandler& handler) { readInto(handler, older); },
                                      [&](report::RecordHandler& handler) { readInto(handler, newer); },
                                      withMovingFigures)
        .changes;
}

// The old and the new inventory differ in every section, and in moving figures.
const std::string older =
    "<?xml version=\"1.0\"?>\r\n<computer hostname=\"pc1\" username=\"d\\u\" date=\"100\">\n"
    "<registry>\n<key name=\"HKLM\\S\\A\" type=\"String\">1</key>\n<key name=\"HKLM\\S\\Gone\" type=\"DWORD\">5</key>\n"
    "</registry>\n<file>\n<filecontent name=\"/etc/hosts\" noparse=\"TRUE\">\nold\n</filecontent>\n"
    "<filecontent name=\"/m\">File not found</filecontent>\n"
    "<properties name=\"/f\">1|2|3|none|none</properties>\n<properties name=\"/f\">5|5|5|none|none</properties>\n"
    "</file>\n<directory name=\"/d\">1|2</directory>\n<directory name=\"/k\">3|4</directory>\n"
    "<system handle=\"10\" uptime=\"20\" processes=\"30\">\n<disk>/|10.00|20.00</disk>\n<ram>5|16.00|3.00</ram>\n"
    "<cpu>CPU\n|2|7.5%\n</cpu>\n<localuser name=\"root\">administrator</localuser>\n<user name=\"d\\u\">a|b|</user>\n"
    "</system>\n<service name=\"cron\">Cron|Own Process|running|root|Automatisch</service>\n</computer>\n";
const std::string newer =
    "<?xml version=\"1.0\"?>\r\n<computer hostname=\"pc2\" username=\"d\\v\" date=\"200\">\n"
    "<registry>\n<key name=\"HKLM\\S\\A\" type=\"String\">2</key>\n<key name=\"HKLM\\S\\New\" type=\"QWORD\">7</key>\n"
    "</registry>\n<file>\n<filecontent name=\"/etc/hosts\" noparse=\"TRUE\">\nnew\n</filecontent>\n"
    "<filecontent name=\"/m\">File not found</filecontent>\n"
    "<properties name=\"/f\">1|2|4|none|none</properties>\n<properties name=\"/f\">5|5|6|none|none</properties>\n"
    "</file>\n<directory name=\"/k\">3|4</directory>\n<directory name=\"/e\">1|2</directory>\n"
    "<system handle=\"11\" uptime=\"21\" processes=\"31\">\n<disk>/|9.00|20.00</disk>\n<ram>6|16.00|2.00</ram>\n"
    "<cpu>CPU\n|2|9%\n</cpu>\n<localuser name=\"root\">user</localuser>\n<user name=\"d\\u\">a|c|</user>\n"
    "</system>\n<service name=\"cron\">Cron|Own Process|stopped|root|Automatisch</service>\n</computer>\n";

}  // namespace

std::vector<std::string> described(const std::vector<reporttool::Change>& changes) {
    static const char* const kinds[] = {"+", "-", "~"};
    std::vector<std::string> lines;
    for (const auto& change : changes) {
        // A file's contents compare by size and checksum; the checksum's digits are the library's.
        const bool contents = change.element == "filecontent";
        lines.push_back(std::string(kinds[static_cast<int>(change.kind)]) + " " + change.element + " " +
                        change.name + (contents ? "" : ": " + change.oldValue + " > " + change.newValue));
    }
    return lines;
}

TEST(ReportDiff, ListsExactlyTheChangesOfEverySectionAndMovingFiguresOnlyWhenAsked) {
    const std::vector<std::string> lasting = {
        "~ computer username: d\\u > d\\v",
        "- directory /d: 1|2 > ",
        "+ directory /e:  > 1|2",
        "~ filecontent /etc/hosts",
        "~ properties /f: 1|2|3|none|none > 1|2|4|none|none",
        "~ properties /f #2: 5|5|5|none|none > 5|5|6|none|none",
        "- key HKLM\\S\\Gone (DWORD): 5 > ",
        "+ key HKLM\\S\\New (QWORD):  > 7",
        "~ key HKLM\\S\\A (String): 1 > 2",
        "~ service cron: Cron|Own Process|running|root|Automatisch > Cron|Own Process|stopped|root|Automatisch",
        "~ localuser root: administrator > user",
        "- user d\\u / b: Mitglied > ",
        "+ user d\\u / c:  > Mitglied",
    };
    std::vector<std::string> expected = lasting;
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> found = described(compared(older, newer, false));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);

    const std::vector<std::string> moving = {
        "~ computer date: 100 > 200",   "~ system handle: 10 > 11",         "~ system uptime: 20 > 21",
        "~ system processes: 30 > 31",  "~ disk /: /|10.00|20.00 > /|9.00|20.00",
        "~ ram : 5|16.00|3.00 > 6|16.00|2.00", "~ cpu : CPU\n|2|7.5%\n > CPU\n|2|9%\n",
    };
    expected.insert(expected.end(), moving.begin(), moving.end());
    std::sort(expected.begin(), expected.end());
    found = described(compared(older, newer, true));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

TEST(ReportDiff, SameInventoryHasNoChanges) {
    EXPECT_TRUE(compared(older, older, true).empty());
    EXPECT_EQ(reporttool::diffText({}, ""), "Keine Unterschiede\n");
}

// The newer report is read on a thread of its own: whichever fails, the older
// report's failure is told first, and a newer reading that waits on the full
// queue between them stops when the older one fails.
TEST(ReportDiff, TellsTheOlderReportsFailureFirstAndStopsTheOtherReading) {
    std::string longer = newer.substr(0, newer.find("<directory"));
    for (int file = 0; file < 120000; ++file) longer += "<directory name=\"/" + std::to_string(file) + "\">1|2</directory>\n";
    longer += newer.substr(newer.find("<system"));
    const auto reading = [](const std::string& text, const char* failure) -> reporttool::ReportReading {
        return [text, failure](report::RecordHandler& handler) {
            if (!text.empty()) readInto(handler, text);
            if (failure) throw report::ReportError(failure);
        };
    };
    const struct {
        reporttool::ReportReading older, newer;
        const char* message;
    } cases[] = {
        {reading("", "alt"), reading("", "neu"), "alt"},
        {reading(longer, "alt"), reading(longer, nullptr), "alt"},
        {reading(older, nullptr), reading("", "neu"), "neu"},
    };
    for (const auto& [olderReading, newerReading, message] : cases) {
        try {
            reporttool::compareReports(olderReading, newerReading, false);
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const report::ReportError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

// A local user's names and data reach the terminal only as visible text and the
// JSON only as valid UTF-8 without controls; an unreadable stretch is listed and
// compared, and the load written as "1e+02%" reads as a figure.
TEST(ReportOutput, ShowsHostileTextOnlyAsTextAndListsUnreadableStretches) {
    const std::string hostile =
        "<?xml version=\"1.0\"?>\r\n<computer hostname=\"pc\x1b]0;pwned\x07\" username=\"u\xc2\x9b\" date=\"1\">\n"
        "<registry>\n<key name=\"HKLM\\S\\A\x1b]52;c;ZXZpbA==\x07\">\xff\xfe data</key>\n</registry>\n<file>\n"
        "<properties name=\"/a</properties>\nb\">1|2|3|none|none</properties>\n"
        "<properties name=\"/g\x1b[2J\">Problem getting File information: x</properties>\n</file>\n"
        "<system handle=\"1\" uptime=\"2\" processes=\"3\">\n<cpu>CPU\n|2|1e+02%\n</cpu>\n</system>\n</computer>\n";
    reporttool::Summary summary;
    readInto(summary, hostile);
    const std::string text = summary.text(), json = summary.json();
    const std::string diff = reporttool::diffText(compared(older, hostile, false), "");
    const std::string diffJson = reporttool::diffJson(compared(older, hostile, false), "");
    for (const std::string* output : {&text, &json, &diff, &diffJson}) {
        EXPECT_TRUE(text::isUtf8(*output)) << *output;
        EXPECT_EQ(output->find_first_of(std::string("\x1b\x07\x7f\xc2\x9b", 5)), std::string::npos) << *output;
    }
    EXPECT_NE(text.find("Computer:       pc\\x1b]0;pwned\\x07\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Konto:          u\\u009b\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Last 100 %"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  unlesbar Zeilen 7-8: <properties name=\"/a</properties>\\nb\">1|"), std::string::npos) << text;
    EXPECT_NE(json.find("\"hostname\":\"pc\\u001b]0;pwned\\u0007\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"unreadableCount\":1"), std::string::npos) << json;
    EXPECT_NE(diffJson.find("\xEF\xBF\xBD\xEF\xBF\xBD data"), std::string::npos) << diffJson;
    EXPECT_NE(diff.find("hinzugefuegt file unlesbar <properties name=\"/a</properties>: "), std::string::npos) << diff;
}
