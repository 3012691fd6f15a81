#pragma once
#include "read/ReportRecord.h"
#include "report-tool/Entries.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace reporttool {

// Turns a report's records into entries keyed by what they describe. Moving
// figures (free space and memory, loads, counts, uptime, the collection time)
// are left out unless asked for.
class Keying final : public report::RecordHandler {
public:
    Keying(bool withMovingFigures, EntrySink& sink) : withMovingFigures_(withMovingFigures), sink_(sink) {}
    void record(report::Record&& record) override;
    void end() override { sink_.end(); }
    const std::string& hostname() const { return hostname_; }

private:
    void add(const report::Record& record, std::string_view identity, std::string_view value);
    std::string_view joined(const std::vector<std::string>& fields, unsigned leftOut);
    std::string_view contentsValue(const report::Record& record);

    const bool withMovingFigures_;
    EntrySink& sink_;
    std::string hostname_;
    std::string key_, identity_, value_;  // reused for every record
};

struct Change {
    enum class Kind { added, removed, changed } kind;
    std::string section, element, name;
    std::string oldValue, newValue;
};

struct Differences {
    std::vector<Change> changes;  // sorted by section, element and name
    std::string olderHost, newerHost;
};

// Reads a whole report into the handler; throws what the reading throws.
using ReportReading = std::function<void(report::RecordHandler& handler)>;

// The older report is kept as keyed entries while the newer one is read on a
// thread of its own and compared with it entry by entry, as it comes. Memory
// grows with the older report's entries and what the newer one adds; a failure
// of the older report is told before one of the newer.
Differences compareReports(const ReportReading& older, const ReportReading& newer, bool withMovingFigures);

std::string diffText(const std::vector<Change>& changes, const std::string& warning);
std::string diffJson(const std::vector<Change>& changes, const std::string& warning);

}  // namespace reporttool
