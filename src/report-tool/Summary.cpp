#include "report-tool/Summary.h"

#include "report-tool/Json.h"
#include "report-tool/TerminalText.h"
#include "text/Utf8.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace reporttool {
namespace {

constexpr const char* sectionOrder[] = {"registry", "file", "directory", "system", "service"};
// Of an unreadable stretch, the summary lists the start.
constexpr std::size_t unreadableExcerpt = 200;

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

std::vector<std::string> trimmedFields(const std::vector<std::string>& fields) {
    std::vector<std::string> result;
    for (const std::string& field : fields) result.push_back(oneLine(field));
    return result;
}

std::string field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
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

std::string numbers(const std::map<std::string, std::uint64_t>& pairs) {
    std::string out = "{";
    for (const auto& [key, value] : pairs) out += (out.size() > 1 ? "," : "") + jsonString(key) + ":" + std::to_string(value);
    return out + "}";
}

template <class Pairs>
std::string texts(const Pairs& pairs) {
    std::string out = "{";
    for (const auto& [key, value] : pairs) out += (out.size() > 1 ? "," : "") + jsonString(key) + ":" + jsonString(value);
    return out + "}";
}

std::string list(const std::vector<std::string>& values) {
    std::string out = "[";
    for (const std::string& value : values) out += (out.size() > 1 ? "," : "") + jsonString(value);
    return out + "]";
}

}  // namespace

double Summary::Disk::usedShare() const {
    const double totalSize = number(total);
    return totalSize > 0 ? (totalSize - number(free)) / totalSize : 0;
}

std::string Summary::Facts::computerValue(const char* key) const {
    const auto found = computer.find(key);
    return found == computer.end() ? std::string() : found->second;
}

std::string Summary::Facts::collectionTime() const {
    const std::string date = computerValue("date");
    if (date.empty() || date == "-1") return "unbekannt";
    const auto seconds = static_cast<std::time_t>(number(date));
    return formattedTime(seconds, false) + " (UTC " + formattedTime(seconds, true) + ")";
}

double Summary::Facts::memoryShare() const { return ram.empty() ? 0 : number(ram[0]) / 100; }

// The figure ends the load text, in the general notation ("7.5%", "1e+02%"),
// perhaps after the errors of samples that failed.
std::string Summary::Facts::processorLoad() const {
    const std::string load = field(cpu, 2);
    const std::size_t start = load.rfind(' ') + 1;  // 0 where there is no blank
    const std::string_view figure = std::string_view(load).substr(start);
    if (figure.size() < 2 || figure.back() != '%') return load;
    double value = 0;
    const char* end = figure.data() + figure.size() - 1;
    if (std::from_chars(figure.data(), end, value).ptr != end) return load;
    char text[40];
    std::snprintf(text, sizeof text, "%.15g %%", value);
    return load.substr(0, start) + text;
}

std::string Summary::Failure::lines() const {
    return firstLine == lastLine ? "Zeile " + std::to_string(firstLine)
                                 : "Zeilen " + std::to_string(firstLine) + "-" + std::to_string(lastLine);
}

void Summary::addFailure(Failure&& failure) {
    ++facts_.failureCount;
    facts_.failureBytes += sizeof failure + failure.element.size() + failure.name.size() + failure.text.size();
    if (facts_.failureBytes <= listedFailureBytes) facts_.failures.push_back(std::move(failure));
}

void Summary::record(report::Record&& record) {
    Facts& facts = facts_;
    const std::string& element = record.element;
    if (element == report::unreadable) {
        ++facts.unreadableCount;
        return addFailure({element, "", std::string(text::cutUtf8(field(record.fields, 0), unreadableExcerpt)), record.line,
                           record.lastLine});
    }
    if (element != "computer" && element != "system") ++facts.sectionCounts[record.section];
    if (record.failure) addFailure({record.element, record.name, oneLine(field(record.fields, 0))});
    if (element == "computer") {
        for (const auto& [key, value] : record.attributes) facts.computer[key] = value;
    } else if (element == "system") {
        facts.systemFigures = record.attributes;
    } else if (element == "os") {
        facts.os = trimmedFields(record.fields);
    } else if (element == "cpu") {
        facts.cpu = trimmedFields(record.fields);
    } else if (element == "ram") {
        facts.ram = trimmedFields(record.fields);
    } else if (element == "disk" && !record.failure) {
        facts.disks.push_back({field(record.fields, 0), field(record.fields, 1), field(record.fields, 2)});
    } else if (element == "service" && !record.failure) {
        const std::string state = field(record.fields, 2);
        ++facts.servicesByState[state];
        if (field(record.fields, 4).rfind("Automatisch", 0) == 0 && state != "running")
            facts.automaticNotRunning.push_back(record.name);
    }
}

// Every text of the report reaches the terminal through terminalText.
std::string Summary::text() const {
    const Facts& facts = facts_;
    const auto shown = [](const std::string& text) { return terminalText(text); };
    std::string out;
    out += "Computer:       " + shown(facts.computerValue("hostname")) + "\n";
    out += "Konto:          " + shown(facts.computerValue("username")) + "\n";
    out += "Erfasst:        " + facts.collectionTime() + "\n";
    if (!facts.os.empty())
        out += "Betriebssystem: " + shown(field(facts.os, 0) + " (" + field(facts.os, 1) + ", " + field(facts.os, 2) + ")") + "\n";
    if (!facts.cpu.empty())
        out += "Prozessor:      " + shown(field(facts.cpu, 0) + ", " + field(facts.cpu, 1) + " logische, Last " +
                                          facts.processorLoad()) + "\n";
    if (!facts.ram.empty())
        out += "Speicher:       " + bar(facts.memoryShare()) + " " +
               shown(field(facts.ram, 0) + " % belegt, " + field(facts.ram, 2) + " von " + field(facts.ram, 1)) +
               " GiB frei\n";
    for (const Disk& disk : facts.disks)
        out += "Datentraeger:   " + bar(disk.usedShare()) + " " + shown(disk.path + " " + disk.free + " von " + disk.total) +
               " GiB frei\n";
    if (!facts.systemFigures.empty()) {
        out += "System:        ";
        for (const auto& [key, value] : facts.systemFigures) out += " " + shown(key) + "=" + shown(value);
        out += "\n";
    }
    if (!facts.servicesByState.empty()) {
        out += "Dienste:       ";
        for (const auto& [state, count] : facts.servicesByState) out += " " + shown(state) + ": " + std::to_string(count) + ";";
        out += "\n";
        for (const std::string& name : facts.automaticNotRunning) out += "  automatisch, laeuft nicht: " + shown(name) + "\n";
    }
    out += "Fehler:         " + std::to_string(facts.failureCount) + "\n";
    for (const Failure& failure : facts.failures)
        out += "  " + failure.element + " " + (failure.element == report::unreadable ? failure.lines() : shown(failure.name)) +
               ": " + shown(failure.text) + "\n";
    if (facts.failureCount > facts.failures.size())
        out += "  ... und " + std::to_string(facts.failureCount - facts.failures.size()) + " weitere\n";
    if (facts.unreadableCount > 0) out += "Unlesbare Stellen: " + std::to_string(facts.unreadableCount) + "\n";
    out += "Eintraege:     ";
    for (const char* section : sectionOrder) {
        const auto found = facts.sectionCounts.find(section);
        out += " " + std::string(section) + " " + std::to_string(found == facts.sectionCounts.end() ? 0 : found->second);
    }
    return out + "\n";
}

std::string Summary::json() const {
    const Facts& facts = facts_;
    std::string out = "{\"computer\":" + texts(facts.computer);
    out += ",\"os\":" + list(facts.os) + ",\"cpu\":" + list(facts.cpu) + ",\"ram\":" + list(facts.ram) + ",\"disks\":[";
    for (const Disk& disk : facts.disks)
        out += std::string(&disk == &facts.disks.front() ? "" : ",") + "{\"path\":" + jsonString(disk.path) +
               ",\"free\":" + jsonString(disk.free) + ",\"total\":" + jsonString(disk.total) + "}";
    out += "],\"system\":" + texts(facts.systemFigures);
    out += ",\"services\":" + numbers(facts.servicesByState) + ",\"automaticNotRunning\":" + list(facts.automaticNotRunning);
    out += ",\"failureCount\":" + std::to_string(facts.failureCount) +
           ",\"unreadableCount\":" + std::to_string(facts.unreadableCount) + ",\"failures\":[";
    for (const Failure& failure : facts.failures)
        out += std::string(&failure == &facts.failures.front() ? "" : ",") + "{\"element\":" +
               jsonString(failure.element) + ",\"name\":" + jsonString(failure.name) +
               ",\"text\":" + jsonString(failure.text) +
               (failure.element == report::unreadable ? ",\"firstLine\":" + std::to_string(failure.firstLine) +
                                                            ",\"lastLine\":" + std::to_string(failure.lastLine)
                                                      : "") +
               "}";
    std::map<std::string, std::uint64_t> counts;
    for (const char* section : sectionOrder) {
        const auto found = facts.sectionCounts.find(section);
        counts[section] = found == facts.sectionCounts.end() ? 0 : found->second;
    }
    return out + "],\"counts\":" + numbers(counts) + "}\n";
}

}  // namespace reporttool
