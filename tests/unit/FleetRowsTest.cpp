#include "read/ReportParser.h"
#include "report-tool/fleet/RecordTables.h"

#include <gtest/gtest.h>

namespace {

// Each row a record gives, as "table: cell|cell|...", NULL as "~".
class Rows final : public report::RecordHandler {
public:
    explicit Rows(std::uint64_t keptContents) : keptContents_(keptContents) {}

    void record(report::Record&& record) override {
        const fleet::RecordTable* table = fleet::tableFor(record);
        if (!table) return;
        for (std::size_t item = 0; item < table->rowsOf(record); ++item) {
            std::string scratch, line = std::string(table->name) + ":";
            for (const fleet::Column& column : table->columns)
                line.append(&column == &table->columns.front() ? " " : "|")
                    .append(text(column.value({record, item, keptContents_, scratch})));
            all.push_back(line);
        }
    }
    std::vector<std::string> all;

private:
    static std::string text(const fleet::Value& value) {
        switch (value.kind) {
            case fleet::Value::Kind::null:
                return "~";
            case fleet::Value::Kind::integer:
                return std::to_string(value.integer);
            case fleet::Value::Kind::real:
                return std::string("r").append(std::to_string(value.real).substr(0, 5));
            default:
                return std::string(value.text);
        }
    }
    std::uint64_t keptContents_;
};

TEST(FleetRows, EveryElementGivesTheRowsOfItsTable) {
    const std::string report =
        "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"pc\" username=\"pc\\u\" date=\"5\">\r\n"
        "<registry>\r\n<key name=\"HKLM\\A\\V\" type=\"MultiString\">x\r\ny</key>\r\n<key name=\"HKLM\\B\"/>\r\n"
        "<key name=\"HKLM\\C\">Access Denied</key>\r\n</registry>\r\n"
        "<file>\r\n<filecontent name=\"/small\" noparse=\"TRUE\">\r\nab\r\n</filecontent>\r\n"
        "<filecontent name=\"/large\" noparse=\"TRUE\">\r\n0123456789\r\n</filecontent>\r\n"
        "<filecontent name=\"/gone\">File not found</filecontent>\r\n"
        "<searchedproperties name=\"/bin/sh\">10|20|30|</searchedproperties>\r\n"
        "<properties name=\"/etc/hosts\">10|20|30|none|none</properties>\r\n"
        "<properties name=\"C:\\Win\\Kernel32.DLL\">10|20|30|6.1.0.1|6.1.0.0</properties>\r\n</file>\r\n"
        "<directory name=\"/opt/x\">10|20</directory>\r\njunk line\r\n"
        "<system handle=\"7\" uptime=\"8\" processes=\"Access Denied\">\r\n<disk>C:\\|12.50|100.00</disk>\r\n"
        "<ram>41|15.80|9.20</ram>\r\n<os>Windows 10 | Pro\r\n|x64|de-DE</os>\r\n<cpu>Xeon\r\n|8|12%\r\n</cpu>\r\n"
        "<localuser name=\"anna\">administrator</localuser>\r\n<user name=\"D\\anna\">Users|Administratoren|</user>\r\n"
        "<user name=\"D\\bob\"></user>\r\n</system>\r\n"
        "<service name=\"sp\">Spooler | Drucker|Own Process|stopped|LocalSystem|Automatisch</service>\r\n"
        "</computer>";
    Rows rows(4);
    report::ReportParser parser(rows, report::ReportParser::ContentsLimit{4});
    parser.feed(report.data(), report.size());
    parser.finish();
    EXPECT_EQ(rows.all, (std::vector<std::string>{
                            "registry_value: HKLM\\A\\V|MultiString|x\ny",
                            "registry_value: HKLM\\B|~|~",
                            "failure: key|HKLM\\C|Access Denied",
                            "file_content: /small|3|ab\n",
                            "file_content: /large|11|~",
                            "failure: filecontent|/gone|File not found",
                            "file_property: /bin/sh|sh|10|20|30|~|~|1",
                            "file_property: /etc/hosts|hosts|10|20|30|~|~|0",
                            "file_property: C:\\Win\\Kernel32.DLL|kernel32.dll|10|20|30|6.1.0.1|6.1.0.0|0",
                            "directory_entry: /opt/x|10|20",
                            "unreadable: directory|22|22|9|junk",
                            "system_figures: 7|8|~",
                            "disk: C:\\|r12.50|r100.0",
                            "memory: 41|r15.80|r9.200",
                            "operating_system: Windows 10 | Pro|x64|de-DE",
                            "processor: Xeon|8|r12.00",
                            "local_account: anna|administrator",
                            "group_membership: D\\anna|Users",
                            "group_membership: D\\anna|Administratoren",
                            "group_membership: D\\bob|~",
                            "service: sp|Spooler | Drucker|Own Process|stopped|LocalSystem|Automatisch",
                        }));
}

}  // namespace
