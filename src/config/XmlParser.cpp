#include "config/XmlParser.h"

#include "config/CommandTable.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

// Letters as the classic locale classifies them, among ISO 8859-1 characters.
bool isTagLetter(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')) return true;
    if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
    return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7;
}

// Reads the configuration text character by character in its own encoding.
class Characters {
public:
    Characters(std::string_view text, TextEncoding encoding) : text_(text), utf8_(encoding == TextEncoding::utf8) {}

    // The bytes of the character at `at`; the UTF-8 text is valid, so its lead byte tells.
    std::size_t lengthAt(std::size_t at) const {
        const auto lead = static_cast<unsigned char>(text_[at]);
        if (!utf8_ || lead < 0x80) return 1;
        return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }

    // The bytes of the tag letter at `at`; 0 when no letter stands there. Every
    // letter beyond ASCII lies in U+0080 to U+00FF: two bytes in UTF-8.
    std::size_t letterAt(std::size_t at) const {
        const auto lead = static_cast<unsigned char>(text_[at]);
        if (!utf8_ || lead < 0x80) return isTagLetter(lead) ? 1 : 0;
        if ((lead != 0xC2 && lead != 0xC3) || at + 1 == text_.size()) return 0;
        const auto next = static_cast<unsigned char>(text_[at + 1]);
        return isTagLetter(static_cast<char32_t>((lead & 0x1Fu) << 6 | (next & 0x3Fu))) ? 2 : 0;
    }

    // Where a tag name starting at `at` closes: one character other than "/",
    // then letters, then ">". npos when no name starts there.
    std::size_t nameCloseAt(std::size_t at) const {
        if (at >= text_.size() || text_[at] == '/') return std::string_view::npos;
        const std::size_t letters = at + lengthAt(at);
        std::size_t i = letters;
        while (i < text_.size()) {
            const std::size_t letter = letterAt(i);
            if (letter == 0) break;
            i += letter;
        }
        if (i == letters || i >= text_.size() || text_[i] != '>') return std::string_view::npos;
        return i;
    }

private:
    std::string_view text_;
    bool utf8_;
};

struct Tag {
    std::size_t start;  // the "<"
    std::size_t close;  // the ">"
};

// Every start tag and every possible end tag of the text, found in one pass, so
// that each search of the parse is a lookup instead of a scan of the rest.
class TagIndex {
public:
    explicit TagIndex(std::string_view text, const Characters& characters) {
        for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
            const std::size_t close = characters.nameCloseAt(at + 1);
            if (close != std::string_view::npos) startTags_.push_back({at, close});
            if (at + 1 < text.size() && text[at + 1] == '/') {
                const std::size_t endClose = characters.nameCloseAt(at + 2);
                if (endClose != std::string_view::npos) {
                    endTags_[text.substr(at + 2, endClose - at - 2)].push_back(at);
                }
            }
        }
    }

    // The leftmost start tag beginning in [from, to).
    const Tag* firstStartTag(std::size_t from, std::size_t to) const {
        const auto found = std::lower_bound(startTags_.begin(), startTags_.end(), from,
                                            [](const Tag& tag, std::size_t at) { return tag.start < at; });
        return found != startTags_.end() && found->close < to ? &*found : nullptr;
    }

    // The position of the first "</name>" lying whole in [from, to), or npos.
    std::size_t firstEndTag(std::string_view name, std::size_t from, std::size_t to) const {
        const auto entry = endTags_.find(name);
        if (entry == endTags_.end()) return std::string_view::npos;
        const auto& positions = entry->second;
        const auto found = std::lower_bound(positions.begin(), positions.end(), from);
        if (found == positions.end() || *found + name.size() + 3 > to) return std::string_view::npos;
        return *found;
    }

private:
    std::vector<Tag> startTags_;
    std::unordered_map<std::string_view, std::vector<std::size_t>> endTags_;
};

// The first child of each grouping name under each element, noted as children
// are made, so that merging a repeated group is one lookup, not a scan of its siblings.
class FirstGroups {
public:
    // The element a group of this name merges into: the first child of that name, when that is an element.
    XmlNodeVector* find(const XmlNodeVector* parent, const std::wstring& name) const {
        const auto children = firsts_.find(parent);
        if (children == firsts_.end()) return nullptr;
        const auto first = children->second.find(name);
        return first == children->second.end() ? nullptr : first->second;
    }
    // Notes a new child; a value is noted as null, since no group merges into a value.
    void note(const XmlNodeVector* parent, const std::wstring& name, XmlNodeVector* element) {
        firsts_[parent].emplace(name, element);
    }

private:
    std::unordered_map<const XmlNodeVector*, std::unordered_map<std::wstring, XmlNodeVector*>> firsts_;
};

// One element whose content is still being parsed.
struct Level {
    std::size_t cursor;
    std::size_t end;
    XmlNodeVector* parent;
    // The element whose content this is: where its start tag stands, and its name.
    std::size_t start = 0;
    std::string_view name = {};
};

// Where each character of the comment-free text stood in the text as given:
// runs of characters that were next to each other, by their first position.
class Origins {
public:
    void kept(std::size_t at, std::size_t original) {
        if (runs_.empty() || runs_.back().original + (at - runs_.back().at) != original) runs_.push_back({at, original});
    }
    void truncate(std::size_t size) {
        while (!runs_.empty() && runs_.back().at >= size) runs_.pop_back();
    }
    std::size_t of(std::size_t at) const {
        const auto after = std::upper_bound(runs_.begin(), runs_.end(), at,
                                            [](std::size_t position, const Run& run) { return position < run.at; });
        if (after == runs_.begin()) return at;
        const Run& run = *(after - 1);
        return run.original + (at - run.at);
    }

private:
    struct Run {
        std::size_t at;
        std::size_t original;
    };
    std::vector<Run> runs_;
};

// Removes the comments in place: the text is never held twice.
void stripComments(std::string& text, Origins* origins, ParseObserver* observer) {
    static constexpr std::string_view open = "<!--";
    std::size_t kept = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (origins) origins->kept(kept, i);
        text[kept++] = text[i++];
        if (kept < open.size() || std::string_view(text).substr(kept - open.size(), open.size()) != open) continue;
        // A comment's "-->" is searched from its "<!--" on, so "<!-->" and "<!--->" close at once;
        // removing a comment may join a new "<!--", which the next characters then complete.
        kept -= open.size();
        const std::size_t commentStart = origins ? origins->of(kept) : 0;
        if (origins) origins->truncate(kept);
        if (i < text.size() && text[i] == '>') {
            i += 1;
        } else if (i + 1 < text.size() && text[i] == '-' && text[i + 1] == '>') {
            i += 2;
        } else {
            const std::size_t close = text.find("-->", i);
            if (close == std::string::npos && observer) {
                // What is kept has overwritten the text before i, the comment's opening among it.
                const std::string rest = std::string(open) + text.substr(i);
                observer->dropped(ParseObserver::Dropped::unterminatedComment, commentStart, rest);
            }
            i = close == std::string::npos ? text.size() : close + 3;
        }
    }
    text.resize(kept);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Tells the observer what the parse skips between elements: tags it does not
// recognise, end tags that close nothing, and text. Declarations ("<?", "<!")
// and blanks are the ordinary filling of a file and go unmentioned.
void reportGap(std::string_view text, std::size_t from, std::size_t to, const Origins& origins,
               ParseObserver& observer) {
    using Dropped = ParseObserver::Dropped;
    std::size_t i = from;
    while (i < to) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t nextTag = std::min(text.find('<', i + 1), to);
        if (text[i] != '<') {
            std::size_t end = nextTag;
            while (isBlank(text[end - 1])) --end;
            observer.dropped(Dropped::strayText, origins.of(i), text.substr(i, end - i));
            i = nextTag;
            continue;
        }
        const std::size_t close = text.find('>', i);
        const std::size_t end = close < nextTag ? close + 1 : nextTag;
        const std::string_view piece = text.substr(i, end - i);
        const char second = piece.size() > 1 ? piece[1] : '\0';
        if (second != '?' && second != '!') {
            observer.dropped(second == '/' ? Dropped::strayEndTag : Dropped::unrecognisedTag, origins.of(i), piece);
        }
        i = end;
    }
}

}  // namespace

std::string XmlParser::removeComments(std::string text) {
    stripComments(text, nullptr, nullptr);
    return text;
}

std::unique_ptr<XmlNodeVector> XmlParser::parse(ConfigurationText configuration, ParseObserver* observer) const {
    using Dropped = ParseObserver::Dropped;
    Origins origins;
    stripComments(configuration.bytes, observer ? &origins : nullptr, observer);
    // The values keep pieces of the text instead of copies of them.
    const auto source = std::make_shared<const ConfigurationText>(std::move(configuration));
    const std::string_view text = source->bytes;
    const Characters characters(text, source->encoding);
    const TagIndex tags(text, characters);
    const CommandTable commands;
    FirstGroups groups;

    struct TopLevel {
        std::unique_ptr<XmlNodeVector> element;
        std::size_t position;
        std::string_view name;
    };
    std::vector<TopLevel> topLevel;
    XmlNodeVector* root = nullptr;
    std::vector<Level> levels{{0, text.size(), nullptr}};
    while (!levels.empty()) {
        Level& level = levels.back();
        const Tag* tag = tags.firstStartTag(level.cursor, level.end);
        if (observer) reportGap(text, level.cursor, tag ? tag->start : level.end, origins, *observer);
        if (!tag) {
            levels.pop_back();
            continue;
        }
        const std::size_t contentStart = tag->close + 1;
        const std::string_view name = text.substr(tag->start + 1, tag->close - tag->start - 1);
        const std::size_t contentEnd = tags.firstEndTag(name, contentStart, level.end);
        if (contentEnd == std::string_view::npos) {
            // An element of the same name around it took its end tag: that one is the element left open.
            const std::size_t unclosed = name == level.name ? level.start : tag->start;
            if (observer) observer->dropped(Dropped::unclosedElement, origins.of(unclosed), name);
            // A start tag without its end tag ends its level; at the top nothing is collected.
            if (levels.size() == 1) root = nullptr;
            levels.pop_back();
            continue;
        }
        level.cursor = contentEnd + name.size() + 3;
        XmlNodeVector* parent = level.parent;
        const std::wstring nameText = decodeText(name, source->encoding);
        const bool grouping = parent && commands.isGroupingName(nameText);
        if (tags.firstStartTag(contentStart, contentEnd)) {
            XmlNodeVector* node = grouping ? groups.find(parent, nameText) : nullptr;
            if (!node) node = new XmlNodeVector(nameText, parent);
            if (grouping) groups.note(parent, nameText, node);
            if (!parent) {
                topLevel.push_back({std::unique_ptr<XmlNodeVector>(node), origins.of(tag->start), name});
                root = node;
            }
            levels.push_back({contentStart, contentEnd, node, tag->start, name});
        } else if (parent) {
            auto* value = new XmlNodeValue(nameText, parent);
            value->setText(source, text.substr(contentStart, contentEnd - contentStart));
            if (grouping) groups.note(parent, nameText, nullptr);
            if (observer) observer->valueBuilt(*value, origins.of(tag->start));
        } else if (observer) {
            // A value outside any element could never be reached, so it is not built.
            observer->dropped(Dropped::valueOutsideElement, origins.of(tag->start), name);
        }
    }
    std::unique_ptr<XmlNodeVector> result;
    for (TopLevel& entry : topLevel) {
        if (entry.element.get() == root) {
            result = std::move(entry.element);
        } else if (observer) {
            observer->dropped(Dropped::replacedElement, entry.position, entry.name);
        }
    }
    return result;
}
