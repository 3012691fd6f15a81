#include "read/ReportParser.h"
#include "report-tool/Diff.h"
#include "report-tool/Summary.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

void readInto(report::RecordHandler& handler, const std::string& text) {
    std::string bytes;
    for (const char c : text) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    report::ReportParser parser(handler);
    parser.feed(bytes.data(), bytes.size() - 2);  // the last line has no line end
    parser.finish();
}

reporttool::Inventory inventory(const std::string& text, bool withMovingFigures) {
    reporttool::Inventory result(withMovingFigures);
    readInto(result, text);
    return result;
}

// The old and the new inventory differ in every section, and in moving figures.
const std::string older =
    "<?xml version=\"1.0\"?>\r\n<computer hostname=\"pc1\" username=\"d\\u\" date=\"100\">\n"
    "<registry>\n<key name=\"HKLM\\S\\A\" type=\"String\">1</key>\n<key name=\"HKLM\\S\\Gone\" type=\"DWORD\">5</key>\n"
    "</registry>\n<file>\n<filecontent name=\"/etc/hosts\" noparse=\"TRUE\">\nold\n</filecontent>\n"
    "<properties name=\"/f\">1|2|3|none|none</properties>\n</file>\n"
    "<directory name=\"/d\">1|2</directory>\n"
    "<system handle=\"10\" uptime=\"20\" processes=\"30\">\n<disk>/|10.00|20.00</disk>\n<ram>5|16.00|3.00</ram>\n"
    "<cpu>CPU\n|2|7.5%\n</cpu>\n<localuser name=\"root\">administrator</localuser>\n<user name=\"d\\u\">a|b|</user>\n"
    "</system>\n<service name=\"cron\">Cron|Own Process|running|root|Automatisch</service>\n</computer>\n";
const std::string newer =
    "<?xml version=\"1.0\"?>\r\n<computer hostname=\"pc2\" username=\"d\\v\" date=\"200\">\n"
    "<registry>\n<key name=\"HKLM\\S\\A\" type=\"String\">2</key>\n<key name=\"HKLM\\S\\New\" type=\"QWORD\">7</key>\n"
    "</registry>\n<file>\n<filecontent name=\"/etc/hosts\" noparse=\"TRUE\">\nnew\n</filecontent>\n"
    "<properties name=\"/f\">1|2|4|none|none</properties>\n</file>\n"
    "<directory name=\"/e\">1|2</directory>\n"
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
    std::vector<std::string> found = described(reporttool::compare(inventory(older, false), inventory(newer, false)));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);

    const std::vector<std::string> moving = {
        "~ computer date: 100 > 200",   "~ system handle: 10 > 11",         "~ system uptime: 20 > 21",
        "~ system processes: 30 > 31",  "~ disk /: /|10.00|20.00 > /|9.00|20.00",
        "~ ram : 5|16.00|3.00 > 6|16.00|2.00", "~ cpu : CPU\n|2|7.5%\n > CPU\n|2|9%\n",
    };
    expected.insert(expected.end(), moving.begin(), moving.end());
    std::sort(expected.begin(), expected.end());
    found = described(reporttool::compare(inventory(older, true), inventory(newer, true)));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

TEST(ReportDiff, SameInventoryHasNoChanges) {
    EXPECT_TRUE(reporttool::compare(inventory(older, true), inventory(older, true)).empty());
    EXPECT_EQ(reporttool::diffText({}, ""), "Keine Unterschiede\n");
}

// The summary takes each figure from its field: a shifted field shows wrong figures.
TEST(ReportSummary, FiguresFromTheirFieldsAndTheAutomaticServiceThatIsNotRunning) {
    reporttool::Summary summary;
    readInto(summary, newer);
    const std::string text = summary.text();
    for (const char* line : {"Computer:       pc2\n", "Konto:          d\\v\n", "Prozessor:      CPU, 2 logische, Last 9%\n",
                             "Speicher:       [#...................] 6 % belegt, 2.00 von 16.00 GiB frei\n",
                             "Datentraeger:   [###########.........] / 9.00 von 20.00 GiB frei\n",
                             "System:         handle=11 uptime=21 processes=31\n", "Dienste:        stopped: 1;\n",
                             "  automatisch, laeuft nicht: cron\n", "Fehler:         0\n",
                             "Eintraege:      registry 2 file 2 directory 1 system 5 service 1\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
}
