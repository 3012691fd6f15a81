#pragma once
#include "read/ReportRecord.h"
#include "report-tool/Summary.h"

#include <string>
#include <vector>

namespace reporttool {

// One self-contained page of a report: the summary, then a table per kind of
// element. Report texts reach the page only as escaped HTML or as JSON data
// that the page's script puts into the document as text, never as markup.
// Tables are drawn a page of rows at a time, so listings of any length stay quick.
class HtmlPage final : public report::RecordHandler {
public:
    HtmlPage();
    void record(report::Record&& record) override;
    std::string html() const;

    // A file's contents beyond this many bytes are cut on the page.
    static constexpr std::size_t shownContents = 1u << 20;

private:
    struct Table {
        const char* id;
        const char* title;
        std::vector<const char*> columns;  // "~" before a name: a time; "*": contents
        std::string rows = {};             // JSON arrays, comma-separated
        std::size_t count = 0;
    };
    void addRow(std::size_t table, bool failure, const std::vector<std::string>& cells);

    Summary summary_;
    std::vector<Table> tables_;
};

}  // namespace reporttool
