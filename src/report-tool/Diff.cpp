#include "report-tool/Diff.h"

#include "report-tool/Json.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace reporttool {
namespace {

constexpr std::size_t blockSize = 1u << 20;

// Field positions that move between any two runs, as a mask by element.
unsigned movingFields(std::string_view element) {
    if (element == "disk") return 1u << 1;
    if (element == "ram") return 1u << 0 | 1u << 2;
    return element == "cpu" ? 1u << 2 : 0;
}

std::uint64_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

const char* kindWord(Change::Kind kind) {
    switch (kind) {
        case Change::Kind::added: return "hinzugefuegt";
        case Change::Kind::removed: return "entfernt";
        default: return "geaendert";
    }
}

}  // namespace

void Inventory::record(report::Record&& record) {
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
    } else if (element == "user") {
        if (record.fields.empty()) add(record, record.name, "");
        for (const std::string& group : record.fields) {
            identity_.assign(record.name).append(" / ").append(group);
            add(record, identity_, "Mitglied");
        }
    } else if (element == "disk") {
        add(record, record.failure ? "" : record.fields[0],
            joined(record.fields, withMovingFigures_ || record.failure ? 0 : movingFields(element)));
    } else {
        add(record, record.name, joined(record.fields, withMovingFigures_ ? 0 : movingFields(element)));
    }
}

// Fields that come first and are empty leave no bar.
std::string_view Inventory::joined(const std::vector<std::string>& fields, unsigned leftOut) {
    value_.clear();
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (index < 32 && (leftOut >> index & 1)) continue;
        if (!value_.empty()) value_ += '|';
        value_ += fields[index];
    }
    return value_;
}

std::string_view Inventory::contentsValue(const report::Record& record) {
    if (record.failure) return record.fields.empty() ? "" : record.fields[0];
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(hashOf(record.fields.empty() ? "" : record.fields[0])));
    value_.assign(std::to_string(record.contentSize)).append(" Bytes, Pruefsumme ").append(hash);
    return value_;
}

void Inventory::add(const report::Record& record, std::string_view identity, std::string_view value) {
    key_.assign(record.section).append(1, '\x1f').append(record.element).append(1, '\x1f').append(identity);
    entries_.push_back({keep(key_, value), static_cast<std::uint32_t>(key_.size()),
                        static_cast<std::uint32_t>(value.size()), hashOf(key_)});
}

// Indexed once the report is whole, so reading stays sequential. A thing listed
// twice (two requests for one file) is told apart by its count, in report order.
void Inventory::end() {
    std::size_t size = 1024;
    while (size < entries_.size() * 2) size *= 2;  // at most half the slots taken keeps the probes short
    slots_.assign(size, 0);
    for (std::uint32_t entry = 0; entry < entries_.size(); ++entry) {
        if (find(entries_[entry]) != none) rename(entries_[entry]);
        index(entry);
    }
}

void Inventory::rename(Entry& entry) {
    for (int occurrence = 2;; ++occurrence) {
        key_.assign(entry.key()).append(" #").append(std::to_string(occurrence));
        const std::uint64_t hash = hashOf(key_);
        if (find(key_, hash) != none) continue;
        entry = {keep(key_, entry.value()), static_cast<std::uint32_t>(key_.size()), entry.valueSize, hash};
        return;
    }
}

std::size_t Inventory::find(std::string_view key, std::uint64_t hash) const {
    if (slots_.empty()) return none;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
        const Entry& entry = entries_[slots_[slot] - 1];
        if (entry.hash == hash && entry.key() == key) return slots_[slot] - 1;
    }
    return none;
}

void Inventory::index(std::uint32_t entry) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = entries_[entry].hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = entry + 1;
}

const char* Inventory::keep(std::string_view key, std::string_view value) {
    const std::size_t size = key.size() + value.size();
    if (size > freeSize_) {
        freeSize_ = std::max(size, blockSize);
        blocks_.emplace_back(new char[freeSize_]);
        free_ = blocks_.back().get();
    }
    char* text = free_;
    std::memcpy(text, key.data(), key.size());
    std::memcpy(text + key.size(), value.data(), value.size());
    free_ += size;
    freeSize_ -= size;
    return text;
}

std::vector<Change> compare(const Inventory& older, const Inventory& newer) {
    struct Found {
        std::string_view key;
        Change::Kind kind;
        const Inventory::Entry *old, *now;
    };
    std::vector<Found> found;
    const std::deque<Inventory::Entry>& candidates = newer.entries();
    std::vector<bool> matched(candidates.size());
    // Two reports of one configuration list things in the same order: the entry
    // after the last match is tried first, and the index only where they part.
    std::size_t next = 0;
    for (const Inventory::Entry& entry : older.entries()) {
        const std::size_t match =
            next < candidates.size() && candidates[next].sameKey(entry) ? next : newer.find(entry);
        if (match == Inventory::none) {
            found.push_back({entry.key(), Change::Kind::removed, &entry, nullptr});
            continue;
        }
        matched[match] = true;
        next = match + 1;
        const Inventory::Entry& now = candidates[match];
        if (now.value() != entry.value()) found.push_back({entry.key(), Change::Kind::changed, &entry, &now});
    }
    for (std::size_t index = 0; index < candidates.size(); ++index)
        if (!matched[index]) found.push_back({candidates[index].key(), Change::Kind::added, nullptr, &candidates[index]});
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.key < b.key; });
    std::vector<Change> changes;
    changes.reserve(found.size());
    for (const Found& each : found) {
        const std::size_t elementStart = each.key.find('\x1f') + 1;
        const std::size_t nameStart = each.key.find('\x1f', elementStart) + 1;
        changes.push_back({each.kind, std::string(each.key.substr(0, elementStart - 1)),
                           std::string(each.key.substr(elementStart, nameStart - elementStart - 1)),
                           std::string(each.key.substr(nameStart)),
                           each.old ? std::string(each.old->value()) : std::string(),
                           each.now ? std::string(each.now->value()) : std::string()});
    }
    return changes;
}
std::string diffText(const std::vector<Change>& changes, const std::string& warning) {
    std::string out = warning.empty() ? "" : "Warnung: " + warning + "\n";
    for (const Change& change : changes) {
        out += std::string(kindWord(change.kind)) + " " + change.section + " " + change.element + " " +
               change.name + ": ";
        if (change.kind == Change::Kind::changed) out += change.oldValue + " → " + change.newValue;
        else out += change.kind == Change::Kind::added ? change.newValue : change.oldValue;
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
