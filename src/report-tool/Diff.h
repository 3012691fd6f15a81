#pragma once
#include "read/ReportRecord.h"

#include <unordered_map>
#include <string>
#include <vector>

namespace reporttool {

// One report's records keyed by what they describe, for comparing inventories.
// Memory grows with the records (a file's contents count as size and hash).
class Inventory final : public report::RecordHandler {
public:
    // Moving figures (free space and memory, loads, counts, uptime, the
    // collection time) are left out unless asked for.
    explicit Inventory(bool withMovingFigures) : withMovingFigures_(withMovingFigures) {}
    void record(report::Record&& record) override;

    // Values keyed by section, element and what the element describes, separated by '\x1f'.
    const std::unordered_map<std::string, std::string>& entries() const { return entries_; }
    const std::string& hostname() const { return hostname_; }

private:
    void add(const report::Record& record, const std::string& identity, const std::string& value);

    const bool withMovingFigures_;
    std::unordered_map<std::string, std::string> entries_;
    std::string hostname_;
};

struct Change {
    enum class Kind { added, removed, changed } kind;
    std::string section, element, name;
    std::string oldValue, newValue;
};

// Sorted by section, element and name.
std::vector<Change> compare(const Inventory& older, const Inventory& newer);

std::string diffText(const std::vector<Change>& changes, const std::string& warning);
std::string diffJson(const std::vector<Change>& changes, const std::string& warning);

}  // namespace reporttool
