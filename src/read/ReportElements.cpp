#include "read/ReportElements.h"

#include <array>
#include <initializer_list>

namespace report {
namespace {

struct ElementKind {
    std::string_view section;
    const char* tag;
    std::string_view start;  // how its line begins
};

// Every element a collector writes, by the section it lands in.
constexpr std::array<ElementKind, 12> elementKinds{{
    {"registry", "key", "<key name=\""},
    {"file", "filecontent", "<filecontent name=\""},
    {"file", "searchedproperties", "<searchedproperties name=\""},
    {"file", "properties", "<properties name=\""},
    {"directory", "directory", "<directory name=\""},
    {"system", "disk", "<disk>"},
    {"system", "ram", "<ram>"},
    {"system", "os", "<os>"},
    {"system", "cpu", "<cpu>"},
    {"system", "localuser", "<localuser"},
    {"system", "user", "<user name=\""},
    {"service", "service", "<service"},
}};

constexpr std::array<std::string_view, 9> registryTypes{"none",        "String", "ExpandString", "Binary", "DWORD",
                                                         "Link",        "MultiString", "QWORD", "unknown"};

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool isOneOf(std::string_view text, std::initializer_list<std::string_view> texts) {
    for (std::string_view candidate : texts)
        if (text == candidate) return true;
    return false;
}

void setOne(std::vector<std::string>& fields, std::string_view text) {
    fields.resize(1);
    fields[0].assign(text);
}

void splitAll(std::vector<std::string>& fields, std::string_view text) {
    std::size_t count = 0;
    for (std::size_t start = 0;; ++count) {
        const std::size_t bar = text.find('|', start);
        if (count == fields.size()) fields.emplace_back();
        fields[count].assign(text.substr(start, bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    fields.resize(count + 1);
}

// The last count - 1 bars separate figures; the first field is free text that
// may hold bars itself. False when there are too few bars.
bool splitFromRight(std::vector<std::string>& fields, std::string_view text, std::size_t count) {
    fields.resize(count);
    std::size_t end = text.size();
    for (std::size_t index = count - 1; index > 0; --index) {
        const std::size_t bar = end == 0 ? std::string_view::npos : text.rfind('|', end - 1);
        if (bar == std::string_view::npos) return false;
        fields[index].assign(text.substr(bar + 1, end - bar - 1));
        end = bar;
    }
    fields[0].assign(text.substr(0, end));
    return true;
}

// Content split into the element's fields; fields and failure of the record.
void splitContent(Record& record, std::string_view content) {
    const std::string_view tag = record.element;
    std::vector<std::string>& fields = record.fields;
    auto failed = [&] {
        record.failure = true;
        setOne(fields, content);
    };
    if (tag == "searchedproperties") {
        if (isOneOf(content, {"File not found.", "Invalid parameter", "Unexpected error"})) return failed();
        splitAll(fields, content);
    } else if (tag == "properties") {
        if (startsWith(content, "Problem getting File information: ") ||
            isOneOf(content, {"Directory could not be found", "Directory not found"}))
            return failed();
        splitAll(fields, content);
    } else if (tag == "directory") {
        if (isOneOf(content, {"Does not exist", "Directory could not be found", "Directory does not Exist"}))
            return failed();
        splitAll(fields, content);
    } else if (tag == "disk") {
        if (!splitFromRight(fields, content, 3)) failed();
    } else if (tag == "os" || tag == "cpu") {
        if (!splitFromRight(fields, content, 3)) setOne(fields, content);
    } else if (tag == "ram") {
        splitAll(fields, content);
    } else if (tag == "user") {
        if (content.empty()) fields.clear();
        else splitAll(fields, content.substr(0, content.size() - endsWith(content, "|")));
    } else if (tag == "service") {
        if (record.name.empty() || startsWith(content, "Bei einer Dienstoperation ist folgender Fehler aufgetreten: ") ||
            !splitFromRight(fields, content, 5))
            return failed();
    } else {  // localuser
        record.failure = record.name.empty();
        setOne(fields, content);
    }
}

// A key: '<key name="P"/>', '<key name="P" type="T">DATA</key>' or '<key name="P">ERROR</key>'.
void readKey(Record& record, std::string_view rest) {
    if (endsWith(rest, "\"/>") && rest.find('\n') == std::string_view::npos) {
        record.name = rest.substr(0, rest.size() - 3);
        record.fields.clear();
        return;
    }
    const std::string_view body = rest.substr(0, rest.size() - 6);  // without "</key>"
    for (std::size_t at = body.find("\" type=\""); at != std::string_view::npos;
         at = body.find("\" type=\"", at + 1)) {
        const std::string_view after = body.substr(at + 8);
        for (std::string_view type : registryTypes) {
            if (!startsWith(after, type) || !startsWith(after.substr(type.size()), "\">")) continue;
            record.name = body.substr(0, at);
            record.attributes.emplace_back("type", type);
            setOne(record.fields, after.substr(type.size() + 2));
            return;
        }
    }
    const std::size_t close = body.find("\">");
    if (close == std::string_view::npos) throw ReportError("Schluessel ohne Ende des Namens");
    record.name = body.substr(0, close);
    record.failure = true;
    setOne(record.fields, body.substr(close + 2));
}

}  // namespace

const char* elementStartedBy(std::string_view section, std::string_view line) {
    for (const ElementKind& kind : elementKinds)
        if (section == kind.section && startsWith(line, kind.start)) return kind.tag;
    return nullptr;
}

bool endsWithEndTag(std::string_view text, std::string_view tag) {
    return text.size() >= tag.size() + 3 && text.back() == '>' &&
           text.substr(text.size() - tag.size() - 3, 2) == "</" && text.substr(text.size() - tag.size() - 1, tag.size()) == tag;
}

bool closesElement(std::string_view tag, std::string_view text, bool firstLine) {
    if (tag == "key" && firstLine && endsWith(text, "\"/>") && text.find("\" type=\"") == std::string_view::npos)
        return true;
    return endsWithEndTag(text, tag);
}

void readElement(std::string_view section, std::string_view tag, std::string_view text, Record& record) {
    record.section.assign(section);
    record.element.assign(tag);
    record.name.clear();
    record.named = false;
    record.attributes.clear();
    record.failure = false;
    record.line = record.contentSize = 0;
    std::string_view rest = text.substr(1 + tag.size());  // after "<tag"
    if (tag == "key") {
        record.named = true;
        return readKey(record, rest.substr(7));  // after ' name="'
    }
    rest.remove_suffix(tag.size() + 3);  // "</tag>"
    if (startsWith(rest, " name=\"")) {
        const std::size_t close = rest.find("\">");
        if (close == std::string_view::npos) throw ReportError("Element <" + std::string(tag) + "> ohne Ende des Namens");
        record.name = rest.substr(7, close - 7);
        record.named = true;
        rest = rest.substr(close + 2);
    } else if (startsWith(rest, ">")) {
        rest = rest.substr(1);
    } else {
        throw ReportError("Element <" + std::string(tag) + "> mit unbekanntem Start");
    }
    if (tag == "filecontent") {  // the form without contents: the file could not be read
        record.failure = true;
        setOne(record.fields, rest);
        return;
    }
    splitContent(record, rest);
}

}  // namespace report
