#pragma once
#include "read/ReportRecord.h"

#include <functional>
#include <string>
#include <string_view>

namespace report {

// Receives the report's text as LF text, the line ends of the records.
using TextOut = std::function<void(std::string_view text)>;

// The report again, record by record: each record's element with the section
// lines around it, exactly as the tool writes it. A file's contents go out as a
// piece of their own (never copied), or streamed between startContents and
// endContents by whoever holds them.
class ReportWriter {
public:
    explicit ReportWriter(TextOut out) : out_(std::move(out)) {}

    void start();
    void next(const Record& record);
    void startContents(const Record& file);
    void endContents();
    void end();

private:
    void enter(const Record& record);
    void close();

    TextOut out_;
    std::string open_;  // the wrapped section open, if any
};

// Text as the report file holds it: every LF as CR LF.
std::string withCrLf(std::string_view text);

}  // namespace report
