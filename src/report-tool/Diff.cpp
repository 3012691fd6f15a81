#include "report-tool/Diff.h"

#include "report-tool/Json.h"

#include <cstdio>
#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace reporttool {
namespace {

// Field positions that move between any two runs, by element.
const std::map<std::string, std::set<std::size_t>>& movingFields() {
    static const std::map<std::string, std::set<std::size_t>> fields{{"disk", {1}}, {"ram", {0, 2}}, {"cpu", {2}}};
    return fields;
}

std::string joined(const std::vector<std::string>& fields, const std::set<std::size_t>& left) {
    std::string value;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (left.count(index)) continue;
        if (!value.empty()) value += '|';
        value += fields[index];
    }
    return value;
}

std::string contentsValue(const report::Record& record) {
    if (record.failure) return record.fields.empty() ? "" : record.fields[0];
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(std::hash<std::string>{}(record.fields.empty() ? "" : record.fields[0])));
    return std::to_string(record.contentSize) + " Bytes, Pruefsumme " + hash;
}

const char* kindWord(Change::Kind kind) {
    switch (kind) {
        case Change::Kind::added: return "hinzugefuegt";
        case Change::Kind::removed: return "entfernt";
        default: return "geaendert";
    }
}

}  // namespace

void Inventory::record(report::Record&& record) {
    const std::string& element = record.element;
    if (element == "computer") {
        hostname_ = record.attribute("hostname");
        add(record, "username", record.attribute("username"));
        if (withMovingFigures_) add(record, "date", record.attribute("date"));
    } else if (element == "system") {
        if (withMovingFigures_)
            for (const auto& [key, value] : record.attributes) add(record, key, value);
    } else if (element == "key") {
        const std::string type = record.attribute("type");
        add(record, type.empty() ? record.name : record.name + " (" + type + ")", joined(record.fields, {}));
    } else if (element == "filecontent") {
        add(record, record.name, contentsValue(record));
    } else if (element == "user") {
        if (record.fields.empty()) add(record, record.name, "");
        for (const std::string& group : record.fields) add(record, record.name + " / " + group, "Mitglied");
    } else if (element == "disk") {
        const auto moving = movingFields().find(element);
        add(record, record.failure ? "" : record.fields[0],
            joined(record.fields, withMovingFigures_ || record.failure ? std::set<std::size_t>{} : moving->second));
    } else {
        const auto moving = movingFields().find(element);
        const bool leaveOut = !withMovingFigures_ && moving != movingFields().end();
        add(record, record.name, joined(record.fields, leaveOut ? moving->second : std::set<std::size_t>{}));
    }
}

// A thing listed twice (two requests for one file) is told apart by its count.
void Inventory::add(const report::Record& record, const std::string& identity, const std::string& value) {
    std::string key;
    key.reserve(record.section.size() + record.element.size() + identity.size() + 2);
    key.append(record.section).append(1, '\x1f').append(record.element).append(1, '\x1f').append(identity);
    // Copies hold no spare capacity; memory grows with every entry.
    if (entries_.try_emplace(key, value).second) return;
    for (int occurrence = 2;; ++occurrence)
        if (entries_.try_emplace(key + " #" + std::to_string(occurrence), value).second) return;
}

std::vector<Change> compare(const Inventory& older, const Inventory& newer) {
    std::vector<std::pair<std::string, Change>> found;
    auto note = [&](const std::string& key, Change::Kind kind, std::string oldValue, std::string newValue) {
        const std::size_t elementStart = key.find('\x1f') + 1;
        const std::size_t nameStart = key.find('\x1f', elementStart) + 1;
        found.push_back({key, {kind, key.substr(0, elementStart - 1), key.substr(elementStart, nameStart - elementStart - 1),
                               key.substr(nameStart), std::move(oldValue), std::move(newValue)}});
    };
    for (const auto& [key, value] : older.entries()) {
        const auto match = newer.entries().find(key);
        if (match == newer.entries().end()) note(key, Change::Kind::removed, value, {});
        else if (match->second != value) note(key, Change::Kind::changed, value, match->second);
    }
    for (const auto& [key, value] : newer.entries())
        if (!older.entries().count(key)) note(key, Change::Kind::added, {}, value);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Change> changes;
    changes.reserve(found.size());
    for (auto& [key, change] : found) changes.push_back(std::move(change));
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
