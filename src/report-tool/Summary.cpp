#include "report-tool/Summary.h"

#include "report-tool/Json.h"

#include <cstdio>
#include <ctime>

namespace reporttool {
namespace {

constexpr const char* sectionOrder[] = {"registry", "file", "directory", "system", "service"};

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (text[start] == '\n' || text[start] == ' ')) ++start;
    return text.substr(start);
}

// One line for a text that spans several.
std::string oneLine(std::string text) {
    text = trimmed(std::move(text));
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? trimmed(fields[index]) : std::string();
}

// "[#####.....]" for a share between 0 and 1.
std::string bar(double share) {
    const int width = 20;
    const int filled = share <= 0 ? 0 : share >= 1 ? width : static_cast<int>(share * width + 0.5);
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
}

double number(const std::string& text) {
    try {
        return std::stod(text);
    } catch (...) {
        return 0;
    }
}

std::string formattedTime(std::time_t seconds, bool utc) {
    const std::tm* parts = utc ? std::gmtime(&seconds) : std::localtime(&seconds);
    if (!parts) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", parts);
    return text;
}

std::string collectionTime(const std::string& date) {
    if (date.empty() || date == "-1") return "unbekannt";
    const auto seconds = static_cast<std::time_t>(number(date));
    return formattedTime(seconds, false) + " (UTC " + formattedTime(seconds, true) + ")";
}

std::string diskUsage(double free, double total) { return total > 0 ? bar((total - free) / total) : bar(0); }

}  // namespace

void Summary::record(report::Record&& record) {
    const std::string& element = record.element;
    if (element != "computer" && element != "system") ++sectionCounts_[record.section];
    if (record.failure) {
        ++failureCount_;
        if (failures_.size() < listedFailures)
            failures_.push_back({record.element, record.name, oneLine(record.fields.empty() ? "" : record.fields[0])});
    }
    if (element == "computer") {
        for (const auto& [key, value] : record.attributes) computer_[key] = value;
    } else if (element == "system") {
        systemFigures_ = record.attributes;
    } else if (element == "os") {
        os_ = record.fields;
    } else if (element == "cpu") {
        cpu_ = record.fields;
    } else if (element == "ram") {
        ram_ = record.fields;
    } else if (element == "disk" && !record.failure) {
        disks_.push_back({field(record.fields, 0), field(record.fields, 1), field(record.fields, 2)});
    } else if (element == "service" && !record.failure) {
        const std::string state = field(record.fields, 2);
        ++servicesByState_[state];
        if (field(record.fields, 4).rfind("Automatisch", 0) == 0 && state != "running")
            automaticNotRunning_.push_back(record.name);
    }
}

std::string Summary::text() const {
    auto get = [&](const char* key) {
        const auto found = computer_.find(key);
        return found == computer_.end() ? std::string() : found->second;
    };
    std::string out;
    out += "Computer:       " + get("hostname") + "\n";
    out += "Konto:          " + get("username") + "\n";
    out += "Erfasst:        " + collectionTime(get("date")) + "\n";
    if (!os_.empty())
        out += "Betriebssystem: " + field(os_, 0) + " (" + field(os_, 1) + ", " + field(os_, 2) + ")\n";
    if (!cpu_.empty())
        out += "Prozessor:      " + field(cpu_, 0) + ", " + field(cpu_, 1) + " logische, Last " + field(cpu_, 2) + "\n";
    if (ram_.size() >= 3)
        out += "Speicher:       " + bar(number(ram_[0]) / 100) + " " + field(ram_, 0) + " % belegt, " +
               field(ram_, 2) + " von " + field(ram_, 1) + " GiB frei\n";
    for (const Disk& disk : disks_)
        out += "Datentraeger:   " + diskUsage(number(disk.free), number(disk.total)) + " " + disk.path + " " +
               disk.free + " von " + disk.total + " GiB frei\n";
    if (!systemFigures_.empty()) {
        out += "System:        ";
        for (const auto& [key, value] : systemFigures_) out += " " + key + "=" + value;
        out += "\n";
    }
    if (!servicesByState_.empty()) {
        out += "Dienste:       ";
        for (const auto& [state, count] : servicesByState_) out += " " + state + ": " + std::to_string(count) + ";";
        out += "\n";
        for (const std::string& name : automaticNotRunning_) out += "  automatisch, laeuft nicht: " + name + "\n";
    }
    out += "Fehler:         " + std::to_string(failureCount_) + "\n";
    for (const Failure& failure : failures_)
        out += "  " + failure.element + " " + failure.name + ": " + failure.text + "\n";
    if (failureCount_ > failures_.size())
        out += "  ... und " + std::to_string(failureCount_ - failures_.size()) + " weitere\n";
    out += "Eintraege:     ";
    for (const char* section : sectionOrder) {
        const auto found = sectionCounts_.find(section);
        out += " " + std::string(section) + " " + std::to_string(found == sectionCounts_.end() ? 0 : found->second);
    }
    return out + "\n";
}

std::string Summary::json() const {
    auto object = [](const auto& pairs) {
        std::string out = "{";
        for (const auto& [key, value] : pairs) {
            if (out.size() > 1) out += ",";
            out += jsonString(key) + ":" + jsonString(value);
        }
        return out + "}";
    };
    auto numbers = [](const std::map<std::string, std::uint64_t>& pairs) {
        std::string out = "{";
        for (const auto& [key, value] : pairs) out += (out.size() > 1 ? "," : "") + jsonString(key) + ":" + std::to_string(value);
        return out + "}";
    };
    auto list = [](const std::vector<std::string>& values) {
        std::string out = "[";
        for (const std::string& value : values) out += (out.size() > 1 ? "," : "") + jsonString(trimmed(value));
        return out + "]";
    };
    std::string out = "{\"computer\":" + object(computer_);
    out += ",\"os\":" + list(os_) + ",\"cpu\":" + list(cpu_) + ",\"ram\":" + list(ram_) + ",\"disks\":[";
    for (const Disk& disk : disks_)
        out += std::string(&disk == &disks_.front() ? "" : ",") + "{\"path\":" + jsonString(disk.path) +
               ",\"free\":" + jsonString(disk.free) + ",\"total\":" + jsonString(disk.total) + "}";
    out += "],\"system\":" + object(systemFigures_);
    out += ",\"services\":" + numbers(servicesByState_) + ",\"automaticNotRunning\":" + list(automaticNotRunning_);
    out += ",\"failureCount\":" + std::to_string(failureCount_) + ",\"failures\":[";
    for (const Failure& failure : failures_)
        out += std::string(&failure == &failures_.front() ? "" : ",") + "{\"element\":" + jsonString(failure.element) +
               ",\"name\":" + jsonString(failure.name) + ",\"text\":" + jsonString(failure.text) + "}";
    std::map<std::string, std::uint64_t> counts;
    for (const char* section : sectionOrder) {
        const auto found = sectionCounts_.find(section);
        counts[section] = found == sectionCounts_.end() ? 0 : found->second;
    }
    return out + "],\"counts\":" + numbers(counts) + "}\n";
}

}  // namespace reporttool
