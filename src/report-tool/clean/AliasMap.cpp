#include "report-tool/clean/AliasMap.h"

#include "report-tool/Json.h"
#include "text/Utf8.h"

#include <cstdio>
#include <stdexcept>

namespace clean {
namespace {

constexpr std::array<const char*, kindCount> kindNames{"hosts",    "domains",  "netbios",   "users",
                                                       "keywords", "networks", "networks6", "macs"};

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// The n-th alias of a kind. Networks: an IPv4 /24 becomes one of 10.0.0.0/8,
// an IPv6 /64 one of fd00::/48; MACs are locally administered.
std::string madeAlias(Kind kind, std::size_t n) {
    const auto number = static_cast<unsigned>(n);
    switch (kind) {
        case Kind::host: return "host" + std::to_string(n);
        case Kind::domain: return "domain" + std::to_string(n) + ".example";
        case Kind::netbios: return "domain" + std::to_string(n);
        case Kind::user: return "user" + std::to_string(n);
        case Kind::keyword: return "keyword" + std::to_string(n);
        case Kind::network:
            return std::to_string(10 + (number >> 16)) + "." + std::to_string((number >> 8) & 255) + "." +
                   std::to_string(number & 255);
        case Kind::network6: return "fd00:0:0:" + hex(number & 0xffff, 1);
        case Kind::mac: return "02:00:00:" + hex((number >> 16) & 255, 2) + ":" + hex((number >> 8) & 255, 2) + ":" + hex(number & 255, 2);
    }
    return {};
}

// The little JSON the map is written in: objects of strings.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void expect(char wanted) {
        if (next() != wanted) fail(std::string("'") + wanted + "' erwartet");
        ++at_;
    }
    // True when the object goes on with another member, after its '{' or a member.
    bool member(bool first) {
        if (next() == '}') {
            ++at_;
            return false;
        }
        if (!first) expect(',');
        return true;
    }
    std::string string() {
        expect('"');
        std::string value;
        for (;;) {
            if (at_ >= text_.size()) fail("Zeichenkette ohne Ende");
            const char c = text_[at_++];
            if (c == '"') return value;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (at_ >= text_.size()) fail("Zeichenkette ohne Ende");
            const char escaped = text_[at_++];
            switch (escaped) {
                case 'n': value += '\n'; break;
                case 'r': value += '\r'; break;
                case 't': value += '\t'; break;
                case 'b': value += '\b'; break;
                case 'f': value += '\f'; break;
                case 'u': text::appendUtf8(value, codePoint()); break;
                default: value += escaped;
            }
        }
    }
    void end() {
        if (next() != '\0') fail("Text nach dem Ende");
    }

private:
    char next() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    unsigned hexQuad() {
        if (at_ + 4 > text_.size()) fail("\\u ohne vier Ziffern");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0) fail("\\u ohne vier Ziffern");
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return value;
    }
    unsigned codePoint() {
        const unsigned first = hexQuad();
        if (first < 0xD800 || first > 0xDBFF || text_.substr(at_, 2) != "\\u") return first;
        at_ += 2;
        return 0x10000 + ((first - 0xD800) << 10) + (hexQuad() - 0xDC00);
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw std::invalid_argument(what + " (Zeichen " + std::to_string(at_ + 1) + ")");
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// An alias written into a report must not break its structure.
bool safeAlias(std::string_view alias) {
    return !alias.empty() && alias.find_first_of("|\"<>\r\n") == std::string_view::npos;
}

}  // namespace

const char* AliasMap::kindName(Kind kind) { return kindNames[index(kind)]; }

const std::string& AliasMap::alias(Kind kind, std::string_view original) {
    Aliases& aliases = kinds_[index(kind)];
    if (aliases.last != SIZE_MAX && aliases.entries[aliases.last].original == original)
        return aliases.entries[aliases.last].alias;
    auto found = aliases.byOriginal.find(original);
    if (found == aliases.byOriginal.end()) {
        std::size_t n = aliases.entries.size();
        while (aliases.byAlias.count(madeAlias(kind, n))) ++n;
        add(kind, std::string(original), madeAlias(kind, n));
        found = aliases.byOriginal.find(original);
    }
    aliases.last = found->second;
    Entry& entry = aliases.entries[found->second];
    entry.used = true;
    return entry.alias;
}

const std::string* AliasMap::find(Kind kind, std::string_view original) const {
    const Aliases& aliases = kinds_[index(kind)];
    const auto found = aliases.byOriginal.find(original);
    return found == aliases.byOriginal.end() ? nullptr : &aliases.entries[found->second].alias;
}

void AliasMap::add(Kind kind, std::string original, std::string alias) {
    Aliases& aliases = kinds_[index(kind)];
    aliases.byOriginal.emplace(original, aliases.entries.size());
    aliases.byAlias.emplace(alias, aliases.entries.size());
    aliases.entries.push_back({std::move(original), std::move(alias), false});
}

std::string AliasMap::json() const {
    std::string text = "{";
    for (std::size_t kind = 0; kind < kindCount; ++kind) {
        text += std::string(kind == 0 ? "\n" : ",\n") + "  " + reporttool::jsonString(kindNames[kind]) + ": {";
        const std::vector<Entry>& entries = kinds_[kind].entries;
        for (const Entry& entry : entries)
            text += std::string(&entry == &entries.front() ? "\n" : ",\n") + "    " + reporttool::jsonString(entry.original) +
                    ": " + reporttool::jsonString(entry.alias);
        text += entries.empty() ? "}" : "\n  }";
    }
    return text + "\n}\n";
}

AliasMap AliasMap::fromJson(std::string_view text) {
    AliasMap map;
    JsonReader reader(text);
    reader.expect('{');
    for (bool first = true; reader.member(first); first = false) {
        const std::string kindName = reader.string();
        std::size_t kind = 0;
        while (kind < kindCount && kindName != kindNames[kind]) ++kind;
        if (kind == kindCount) throw std::invalid_argument("unbekannte Art \"" + kindName + "\"");
        reader.expect(':');
        reader.expect('{');
        for (bool firstEntry = true; reader.member(firstEntry); firstEntry = false) {
            std::string original = reader.string();
            reader.expect(':');
            std::string alias = reader.string();
            Aliases& aliases = map.kinds_[kind];
            if (!safeAlias(alias) || aliases.byOriginal.count(original) || aliases.byAlias.count(alias))
                throw std::invalid_argument("Eintrag \"" + original + "\" doppelt oder mit ungueltigem Decknamen");
            map.add(static_cast<Kind>(kind), std::move(original), std::move(alias));
        }
    }
    reader.end();
    return map;
}

}  // namespace clean
