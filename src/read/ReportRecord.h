#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace report {

// One element of a report, as the collector wrote it: texts in UTF-8, line ends
// as LF again (the report file's CR LF undone), nothing unescaped because nothing
// was escaped.
struct Record {
    std::string section;  // computer, registry, file, directory, system, service
    std::string element;  // key, filecontent, properties, disk, service, ...
    std::string name;     // the name attribute; empty where the element has none
    bool named = false;   // the element has a name attribute, empty or not
    std::vector<std::pair<std::string, std::string>> attributes;  // the others, in order
    std::vector<std::string> fields;  // the content, split where the element separates figures
    bool failure = false;             // the element reports that its request failed
    std::uint64_t line = 0;           // where the element starts, counted from 1
    std::uint64_t contentSize = 0;    // bytes of a file's contents (or an unreadable stretch), kept or not
    std::uint64_t lastLine = 0;       // where an unreadable stretch ends

    std::string attribute(const std::string& key) const {
        for (const auto& [attributeName, value] : attributes)
            if (attributeName == key) return value;
        return {};
    }
};

// A stretch of a report that the reader could not take as elements: a record of
// its element kind, its raw text (lines joined by LF, kept up to the size of the
// largest element) in fields[0], its lines from line to lastLine.
inline constexpr const char* unreadable = "unlesbar";

// A report that cannot be read, naming the place.
class ReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Receives the records in report order.
class RecordHandler {
public:
    virtual ~RecordHandler() = default;
    virtual void record(Record&& record) = 0;
    // Where the parser streams file contents: a piece of the file's contents, in
    // order, before the file's record; lineEnds where a line of them ended after it.
    virtual void fileContents(const Record& /*file*/, std::string_view /*text*/, bool /*lineEnds*/) {}
    // The report ended whole after its last record.
    virtual void end() {}
};

}  // namespace report
