#include "config/XmlParser.h"

#include "config/CommandTable.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

// Letters as the classic locale classifies them; the text holds ISO 8859-1 characters.
bool isTagLetter(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) return true;
    if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
    return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7;
}

// Where a tag name starting at `at` closes: one character other than "/",
// then letters, then ">". npos when no name starts there.
std::size_t nameCloseAt(std::wstring_view text, std::size_t at) {
    if (at + 2 >= text.size() || text[at] == L'/') return std::wstring_view::npos;
    std::size_t i = at + 1;
    while (i < text.size() && isTagLetter(text[i])) ++i;
    if (i == at + 1 || i == text.size() || text[i] != L'>') return std::wstring_view::npos;
    return i;
}

struct Tag {
    std::size_t start;  // the "<"
    std::size_t close;  // the ">"
};

// Every start tag and every possible end tag of the text, found in one pass, so
// that each search of the parse is a lookup instead of a scan of the rest.
class TagIndex {
public:
    explicit TagIndex(std::wstring_view text) {
        for (std::size_t at = text.find(L'<'); at != std::wstring_view::npos; at = text.find(L'<', at + 1)) {
            const std::size_t close = nameCloseAt(text, at + 1);
            if (close != std::wstring_view::npos) startTags_.push_back({at, close});
            if (at + 1 < text.size() && text[at + 1] == L'/') {
                const std::size_t endClose = nameCloseAt(text, at + 2);
                if (endClose != std::wstring_view::npos) {
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
    std::size_t firstEndTag(std::wstring_view name, std::size_t from, std::size_t to) const {
        const auto entry = endTags_.find(name);
        if (entry == endTags_.end()) return std::wstring_view::npos;
        const auto& positions = entry->second;
        const auto found = std::lower_bound(positions.begin(), positions.end(), from);
        if (found == positions.end() || *found + name.size() + 3 > to) return std::wstring_view::npos;
        return *found;
    }

private:
    std::vector<Tag> startTags_;
    std::unordered_map<std::wstring_view, std::vector<std::size_t>> endTags_;
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

std::wstring withoutComments(const std::wstring& text, Origins* origins, ParseObserver* observer) {
    static const std::wstring open = L"<!--";
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (origins) origins->kept(out.size(), i);
        out += text[i++];
        if (out.size() < open.size() || out.compare(out.size() - open.size(), open.size(), open) != 0) continue;
        // A comment's "-->" is searched from its "<!--" on, so "<!-->" and "<!--->" close at once;
        // removing a comment may join a new "<!--", which the next characters then complete.
        out.resize(out.size() - open.size());
        const std::size_t commentStart = origins ? origins->of(out.size()) : 0;
        if (origins) origins->truncate(out.size());
        if (i < text.size() && text[i] == L'>') {
            i += 1;
        } else if (i + 1 < text.size() && text[i] == L'-' && text[i + 1] == L'>') {
            i += 2;
        } else {
            const std::size_t close = text.find(L"-->", i);
            if (close == std::wstring::npos && observer) {
                observer->dropped(ParseObserver::Dropped::unterminatedComment, commentStart,
                                  std::wstring_view(text).substr(commentStart));
            }
            i = close == std::wstring::npos ? text.size() : close + 3;
        }
    }
    return out;
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

// Tells the observer what the parse skips between elements: tags it does not
// recognise, end tags that close nothing, and text. Declarations ("<?", "<!")
// and blanks are the ordinary filling of a file and go unmentioned.
void reportGap(std::wstring_view text, std::size_t from, std::size_t to, const Origins& origins,
               ParseObserver& observer) {
    using Dropped = ParseObserver::Dropped;
    std::size_t i = from;
    while (i < to) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t nextTag = std::min(text.find(L'<', i + 1), to);
        if (text[i] != L'<') {
            std::size_t end = nextTag;
            while (isBlank(text[end - 1])) --end;
            observer.dropped(Dropped::strayText, origins.of(i), text.substr(i, end - i));
            i = nextTag;
            continue;
        }
        const std::size_t close = text.find(L'>', i);
        const std::size_t end = close < nextTag ? close + 1 : nextTag;
        const std::wstring_view piece = text.substr(i, end - i);
        const wchar_t second = piece.size() > 1 ? piece[1] : L'\0';
        if (second != L'?' && second != L'!') {
            observer.dropped(second == L'/' ? Dropped::strayEndTag : Dropped::unrecognisedTag, origins.of(i), piece);
        }
        i = end;
    }
}

}  // namespace

std::wstring XmlParser::removeComments(const std::wstring& text) { return withoutComments(text, nullptr, nullptr); }

std::unique_ptr<XmlNodeVector> XmlParser::parse(const std::wstring& input, ParseObserver* observer) const {
    using Dropped = ParseObserver::Dropped;
    Origins origins;
    const std::wstring text = withoutComments(input, observer ? &origins : nullptr, observer);
    const TagIndex tags(text);
    const CommandTable commands;
    FirstGroups groups;

    struct TopLevel {
        std::unique_ptr<XmlNodeVector> element;
        std::size_t position;
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
        const std::wstring_view name(text.data() + tag->start + 1, tag->close - tag->start - 1);
        const std::size_t contentEnd = tags.firstEndTag(name, contentStart, level.end);
        if (contentEnd == std::wstring::npos) {
            if (observer) observer->dropped(Dropped::unclosedElement, origins.of(tag->start), name);
            // A start tag without its end tag ends its level; at the top nothing is collected.
            if (levels.size() == 1) root = nullptr;
            levels.pop_back();
            continue;
        }
        level.cursor = contentEnd + name.size() + 3;
        XmlNodeVector* parent = level.parent;
        const std::wstring nameText(name);
        const bool grouping = parent && commands.isGroupingName(nameText);
        if (tags.firstStartTag(contentStart, contentEnd)) {
            XmlNodeVector* node = grouping ? groups.find(parent, nameText) : nullptr;
            if (!node) node = new XmlNodeVector(nameText, parent);
            if (grouping) groups.note(parent, nameText, node);
            if (!parent) {
                topLevel.push_back({std::unique_ptr<XmlNodeVector>(node), origins.of(tag->start)});
                root = node;
            }
            levels.push_back({contentStart, contentEnd, node});
        } else if (parent) {
            auto* value = new XmlNodeValue(nameText, parent);
            value->setText(text.substr(contentStart, contentEnd - contentStart));
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
            observer->dropped(Dropped::replacedElement, entry.position, entry.element->getName());
        }
    }
    return result;
}
