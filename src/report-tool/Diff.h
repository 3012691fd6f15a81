#pragma once
#include "read/ReportRecord.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reporttool {

// One report's records keyed by what they describe, for comparing inventories.
// An entry is its key and value side by side in blocks of text, 24 bytes of
// entry and two to four bytes of index: nothing is allocated per record, and
// memory grows with the records (a file's contents count as size and checksum).
class Inventory final : public report::RecordHandler {
public:
    // Moving figures (free space and memory, loads, counts, uptime, the
    // collection time) are left out unless asked for.
    explicit Inventory(bool withMovingFigures) : withMovingFigures_(withMovingFigures) {}
    void record(report::Record&& record) override;
    // Tells apart what is listed twice, and indexes the keys.
    void end() override;

    struct Entry {
        const char* text;  // the key, then the value
        std::uint32_t keySize, valueSize;
        std::uint64_t hash;  // of the key
        std::string_view key() const { return {text, keySize}; }
        std::string_view value() const { return {text + keySize, valueSize}; }
        bool sameKey(const Entry& other) const { return hash == other.hash && key() == other.key(); }
    };
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    // In report order; a key is section, element and what the element describes, separated by '\x1f'.
    // Kept in pieces, so that growing never copies them.
    const std::deque<Entry>& entries() const { return entries_; }
    // The number of this inventory's entry under the other's key, or none.
    std::size_t find(const Entry& other) const { return find(other.key(), other.hash); }
    const std::string& hostname() const { return hostname_; }

private:
    void add(const report::Record& record, std::string_view identity, std::string_view value);
    std::string_view joined(const std::vector<std::string>& fields, unsigned leftOut);
    std::string_view contentsValue(const report::Record& record);
    void rename(Entry& entry);
    std::size_t find(std::string_view key, std::uint64_t hash) const;
    void index(std::uint32_t entry);
    const char* keep(std::string_view key, std::string_view value);

    const bool withMovingFigures_;
    std::deque<Entry> entries_;
    std::vector<std::uint32_t> slots_;  // entry number + 1 by the key's hash; 0 is free
    std::vector<std::unique_ptr<char[]>> blocks_;  // the entries' texts, never moved
    char* free_ = nullptr;  // the rest of the last block
    std::size_t freeSize_ = 0;
    std::string hostname_;
    std::string key_, identity_, value_;  // reused for every record
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
