#include "report-tool/clean/ReportCleaner.h"

#include <array>
#include <charconv>

namespace clean {
namespace {

using report::Record;

// How the fields of an element are cleaned, one letter per field: 't' text
// that is masked, 'f' a figure that stays (a time, size, version, state or a
// word of the tool's own); the last letter holds for the fields after it.
// Names are always masked; an element not listed is text throughout, and so
// is every field of a failure.
struct ElementFields {
    std::string_view element;
    std::string_view roles;
};
constexpr std::array<ElementFields, 10> elementFields{{
    {"searchedproperties", "f"},
    {"properties", "f"},
    {"directory", "f"},
    {"disk", "tf"},
    {"ram", "f"},
    {"os", "tf"},
    {"cpu", "tf"},
    {"localuser", "f"},
    {"user", "t"},
    {"service", "tfftf"},
}};

bool isText(const Record& record, std::size_t field) {
    if (record.failure) return true;
    for (const ElementFields& kind : elementFields) {
        if (record.element != kind.element) continue;
        return kind.roles[std::min(field, kind.roles.size() - 1)] == 't';
    }
    return true;
}

// The texts that stand where a collector could not name an account.
bool namesAccount(std::string_view text) {
    return !text.empty() && text != "User konnte nicht ermittelt werden" && text != "unknown Value";
}

std::string_view valueName(const Record& key) {
    const std::size_t backslash = key.name.rfind('\\');
    return std::string_view(key.name).substr(backslash == std::string::npos ? 0 : backslash + 1);
}

bool containsVersion(std::string_view name) {
    for (std::size_t at = 0; at + 7 <= name.size(); ++at)
        if ((name[at] | 0x20) == 'v' && (name[at + 1] | 0x20) == 'e' && (name[at + 2] | 0x20) == 'r' &&
            (name[at + 3] | 0x20) == 's' && (name[at + 4] | 0x20) == 'i' && (name[at + 5] | 0x20) == 'o' &&
            (name[at + 6] | 0x20) == 'n')
            return true;
    return false;
}

}  // namespace

ReportCleaner::ReportCleaner(TextMasker& masker) : learns_(true), cleans_(false), masker_(masker), writer_(out_) {}

ReportCleaner::ReportCleaner(TextMasker& masker, report::TextOut out, Pass pass)
    : learns_(pass == Pass::learnsAndMasks), cleans_(true), masker_(masker), out_(out), writer_(std::move(out)) {
    writer_.start();
}

void ReportCleaner::record(Record&& record) {
    learn(record);
    if (record.element == "filecontent" && !record.failure) {
        if (!contentsOpen_) fileContents(record, {}, false);
        if (cleans_) writer_.endContents();
        contentsOpen_ = false;
        return;
    }
    if (learns_) eachMaskedText(record, [this](std::string& text, bool) { masker_.learnText(text); });
    if (!cleans_) return;
    mask(record);
    writer_.next(record);
}

void ReportCleaner::fileContents(const Record& file, std::string_view text, bool lineEnds) {
    if (!contentsOpen_) {
        if (learns_) masker_.learnText(file.name);
        if (cleans_) {
            Record start;
            start.section = file.section;
            start.element = file.element;
            start.name = masker_.masked(file.name);
            start.named = true;
            writer_.startContents(start);
        }
        masker_.startText();
        contentsOpen_ = true;
        if (text.empty() && !lineEnds) return;
    }
    if (!cleans_) return masker_.learnLine(text);
    line_.clear();
    const bool kept = learns_ ? masker_.learnAndMaskLine(text, line_) : masker_.maskLine(text, line_);
    if (kept && lineEnds) line_ += '\n';
    out_(line_);
}

void ReportCleaner::end() {
    if (cleans_) writer_.end();
}

void ReportCleaner::learn(const Record& record) {
    if (record.element == "computer") {
        const std::string date = record.attribute("date");
        std::from_chars(date.data(), date.data() + date.size(), date_);
        if (!record.name.empty() && record.name != "localhost") masker_.addName(Kind::host, record.name);
        if (namesAccount(record.attribute("username"))) masker_.addAccount(record.attribute("username"));
    } else if ((record.element == "localuser" || record.element == "user") && record.named && !record.name.empty()) {
        masker_.addAccount(record.name);
    } else if (record.element == "service" && !record.failure && record.fields.size() > 3 &&
               namesAccount(record.fields[3])) {
        masker_.addAccount(record.fields[3]);
    }
}

// Each text of the record that is masked, and whether it may hold addresses;
// a secret is replaced, never read.
template <typename Visit>
void ReportCleaner::eachMaskedText(Record& record, Visit visit) {
    const bool secret = record.element == "key" && !record.failure && isSecretKey(valueName(record));
    const bool version = record.element == "key" && containsVersion(valueName(record));
    visit(record.name, true);
    for (auto& [attribute, value] : record.attributes)
        if (attribute == "username") visit(value, true);
    for (std::size_t field = 0; field < record.fields.size(); ++field) {
        if (!isText(record, field)) continue;
        if (secret) record.fields[field] = "********";
        else visit(record.fields[field], !version);
    }
}

void ReportCleaner::mask(Record& record) {
    eachMaskedText(record, [this](std::string& text, bool addresses) { text = masker_.masked(text, addresses); });
}

}  // namespace clean
