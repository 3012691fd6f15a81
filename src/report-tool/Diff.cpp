#include "report-tool/Diff.h"

#include "report-tool/Json.h"
#include "report-tool/TerminalText.h"

#include <algorithm>
#include <cstdio>
#include <future>

namespace reporttool {
namespace {

// Of an unreadable stretch's first line, this much tells it apart.
constexpr std::size_t unreadableIdentity = 256;

// Field positions that move between any two runs, as a mask by element.
unsigned movingFields(std::string_view element) {
    if (element == "disk") return 1u << 1;
    if (element == "ram") return 1u << 0 | 1u << 2;
    return element == "cpu" ? 1u << 2 : 0;
}

const char* kindWord(Change::Kind kind) {
    switch (kind) {
        case Change::Kind::added: return "hinzugefuegt";
        case Change::Kind::removed: return "entfernt";
        default: return "geaendert";
    }
}

// The older report's entries, indexed once the report is whole, so that reading
// stays sequential. A thing listed twice (two requests for one file) is told
// apart by its count, in report order.
class Inventory final : public EntrySink {
public:
    void add(std::string_view key, std::string_view value) override { store_.add(key, value, keyHash(key)); }
    void end() override {
        const std::size_t count = store_.entries().size();
        store_.reserve(count);
        for (std::size_t entry = 0; entry < count; ++entry) {
            if (store_.find(store_.entries()[entry]) != EntryStore::none) rename(entry);
            store_.indexNext();
        }
    }
    const EntryStore& store() const { return store_; }

private:
    void rename(std::size_t entry) {
        const std::string listed(store_.entries()[entry].key());
        for (int occurrence = 2;; ++occurrence) {
            const std::string key = listed + " #" + std::to_string(occurrence);
            if (store_.find(key, keyHash(key)) == EntryStore::none) return store_.rekey(entry, key, keyHash(key));
        }
    }

    EntryStore store_;
};

// The newer report's entries against the older inventory, as they come. A key
// the newer report has used already (it matched an older entry or was added)
// is told apart by its count, as in the older report.
class Comparison final : public EntrySink {
public:
    explicit Comparison(const EntryStore& older) : older_(older), matched_(older.entries().size()) {}

    void add(std::string_view key, std::string_view value) override {
        key_.assign(key);
        for (int occurrence = 2;; ++occurrence) {
            if (take(key_, keyHash(key_), value)) return;
            key_.assign(key).append(" #").append(std::to_string(occurrence));
        }
    }

    // Sorted by section, element and name.
    std::vector<Change> changes() const;

private:
    struct Found {
        std::string_view key;
        Change::Kind kind;
        std::string_view oldValue, newValue;
    };

    // Two reports of one configuration list things in the same order: the older
    // entry after the last match is tried first, the index only where they part.
    bool take(std::string_view key, std::uint64_t hash, std::string_view value) {
        const auto& entries = older_.entries();
        const std::size_t match =
            next_ < entries.size() && entries[next_].hasKey(key, hash) ? next_ : older_.find(key, hash);
        if (match == EntryStore::none) {
            if (added_.find(key, hash) != EntryStore::none) return false;
            added_.add(key, value, hash);
            added_.indexNext();
            return true;
        }
        if (matched_[match]) return false;
        matched_[match] = true;
        next_ = match + 1;
        const EntryStore::Entry& old = entries[match];
        if (old.value() != value) found_.push_back({old.key(), Change::Kind::changed, old.value(), added_.keep(value)});
        return true;
    }

    const EntryStore& older_;
    std::vector<bool> matched_;
    std::size_t next_ = 0;
    EntryStore added_;  // what the older report lacks; also keeps changed values
    std::vector<Found> found_;
    std::string key_;
};

std::vector<Change> Comparison::changes() const {
    std::vector<Found> found = found_;
    for (std::size_t entry = 0; entry < matched_.size(); ++entry) {
        const EntryStore::Entry& old = older_.entries()[entry];
        if (!matched_[entry]) found.push_back({old.key(), Change::Kind::removed, old.value(), {}});
    }
    for (const EntryStore::Entry& entry : added_.entries())
        found.push_back({entry.key(), Change::Kind::added, {}, entry.value()});
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.key < b.key; });
    std::vector<Change> changes;
    changes.reserve(found.size());
    for (const Found& each : found) {
        const std::size_t elementStart = each.key.find('\x1f') + 1;
        const std::size_t nameStart = each.key.find('\x1f', elementStart) + 1;
        changes.push_back({each.kind, std::string(each.key.substr(0, elementStart - 1)),
                           std::string(each.key.substr(elementStart, nameStart - elementStart - 1)),
                           std::string(each.key.substr(nameStart)), std::string(each.oldValue),
                           std::string(each.newValue)});
    }
    return changes;
}

}  // namespace

void Keying::record(report::Record&& record) {
    const std::string_view element = record.element;
    if (element == "computer") {
        hostname_ = record.attribute("hostname");
        add(record, "username", record.attribute("username"));
        if (withMovingFigures_) add(record, "date", record.attribute("date"));
    } else if (element == "system") {
        if (withMovingFigures_)
            for (const auto& [key, value] : record.attributes) add(record, key, value);
    } else if (element == "key") {
        const std::string type = record.attribute("type");
        identity_.assign(record.name);
        if (!type.empty()) identity_.append(" (").append(type).append(")");
        add(record, identity_, joined(record.fields, 0));
    } else if (element == "filecontent") {
        add(record, record.name, contentsValue(record));
    } else if (element == report::unreadable) {
        // Known by its first line, wherever it stands: lines move between reports.
        const std::string_view text = record.fields[0];
        add(record, text.substr(0, std::min({text.find('\n'), text.size(), unreadableIdentity})), text);
    } else if (element == "user") {
        if (record.fields.empty()) add(record, record.name, "");
        for (const std::string& group : record.fields) {
            identity_.assign(record.name).append(" / ").append(group);
            add(record, identity_, "Mitglied");
        }
    } else if (element == "disk") {
        add(record, record.failure ? std::string_view() : record.fields[0],
            joined(record.fields, withMovingFigures_ || record.failure ? 0 : movingFields(element)));
    } else {
        add(record, record.name, joined(record.fields, withMovingFigures_ ? 0 : movingFields(element)));
    }
}

// Fields that come first and are empty leave no bar.
std::string_view Keying::joined(const std::vector<std::string>& fields, unsigned leftOut) {
    value_.clear();
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (index < 32 && (leftOut >> index & 1)) continue;
        if (!value_.empty()) value_ += '|';
        value_ += fields[index];
    }
    return value_;
}

std::string_view Keying::contentsValue(const report::Record& record) {
    if (record.failure) return record.fields.empty() ? std::string_view() : record.fields[0];
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(keyHash(record.fields.empty() ? std::string_view() : record.fields[0])));
    value_.assign(std::to_string(record.contentSize)).append(" Bytes, Pruefsumme ").append(hash);
    return value_;
}

void Keying::add(const report::Record& record, std::string_view identity, std::string_view value) {
    key_.assign(record.section).append(1, '\x1f').append(record.element).append(1, '\x1f').append(identity);
    sink_.add(key_, value);
}

Differences compareReports(const ReportReading& older, const ReportReading& newer, bool withMovingFigures) {
    EntryQueue queue;
    Keying newerKeys(withMovingFigures, queue);
    auto newerRead = std::async(std::launch::async, [&] {
        try {
            newer(newerKeys);
        } catch (...) {
            queue.fail(std::current_exception());
        }
    });
    try {
        Inventory inventory;
        Keying olderKeys(withMovingFigures, inventory);
        older(olderKeys);
        Comparison comparison(inventory.store());
        queue.drainInto(comparison);
        return {comparison.changes(), olderKeys.hostname(), newerKeys.hostname()};
    } catch (...) {
        queue.abandon();  // the reading thread stops, and the future's end waits for it
        throw;
    }
}

std::string diffText(const std::vector<Change>& changes, const std::string& warning) {
    std::string out = warning.empty() ? "" : "Warnung: " + terminalText(warning) + "\n";
    for (const Change& change : changes) {
        out += std::string(kindWord(change.kind)) + " " + change.section + " " + change.element + " " +
               terminalText(change.name) + ": ";
        if (change.kind == Change::Kind::changed)
            out += terminalText(change.oldValue) + " → " + terminalText(change.newValue);
        else out += terminalText(change.kind == Change::Kind::added ? change.newValue : change.oldValue);
        out += "\n";
    }
    return out + (changes.empty() ? "Keine Unterschiede\n" : std::to_string(changes.size()) + " Unterschiede\n");
}

std::string diffJson(const std::vector<Change>& changes, const std::string& warning) {
    static const char* const kinds[] = {"added", "removed", "changed"};
    std::string out = "{\"warning\":" + (warning.empty() ? std::string("null") : jsonString(warning)) + ",\"changes\":[";
    for (const Change& change : changes) {
        if (&change != &changes.front()) out += ",";
        out += "{\"change\":\"" + std::string(kinds[static_cast<int>(change.kind)]) +
               "\",\"section\":" + jsonString(change.section) + ",\"element\":" + jsonString(change.element) +
               ",\"name\":" + jsonString(change.name);
        if (change.kind != Change::Kind::added) out += ",\"old\":" + jsonString(change.oldValue);
        if (change.kind != Change::Kind::removed) out += ",\"new\":" + jsonString(change.newValue);
        out += "}";
    }
    return out + "]}\n";
}

}  // namespace reporttool
