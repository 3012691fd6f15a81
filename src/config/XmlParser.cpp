#include "config/XmlParser.h"

#include "dispatch/CommandTable.h"

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

}  // namespace

std::wstring XmlParser::removeComments(const std::wstring& text) {
    static const std::wstring open = L"<!--";
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        out += text[i++];
        if (out.size() < open.size() || out.compare(out.size() - open.size(), open.size(), open) != 0) continue;
        // A comment's "-->" is searched from its "<!--" on, so "<!-->" and "<!--->" close at once;
        // removing a comment may join a new "<!--", which the next characters then complete.
        out.resize(out.size() - open.size());
        if (i < text.size() && text[i] == L'>') {
            i += 1;
        } else if (i + 1 < text.size() && text[i] == L'-' && text[i + 1] == L'>') {
            i += 2;
        } else {
            const std::size_t close = text.find(L"-->", i);
            i = close == std::wstring::npos ? text.size() : close + 3;
        }
    }
    return out;
}

std::unique_ptr<XmlNodeVector> XmlParser::parse(const std::wstring& input) const {
    const std::wstring text = removeComments(input);
    const TagIndex tags(text);
    const CommandTable commands;
    FirstGroups groups;

    std::vector<std::unique_ptr<XmlNodeVector>> topLevel;
    XmlNodeVector* root = nullptr;
    std::vector<Level> levels{{0, text.size(), nullptr}};
    while (!levels.empty()) {
        Level& level = levels.back();
        const Tag* tag = tags.firstStartTag(level.cursor, level.end);
        if (!tag) {
            levels.pop_back();
            continue;
        }
        const std::size_t contentStart = tag->close + 1;
        const std::wstring_view name(text.data() + tag->start + 1, tag->close - tag->start - 1);
        const std::size_t contentEnd = tags.firstEndTag(name, contentStart, level.end);
        if (contentEnd == std::wstring::npos) {
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
                topLevel.emplace_back(node);
                root = node;
            }
            levels.push_back({contentStart, contentEnd, node});
        } else if (parent) {
            // A value outside any element could never be reached, so it is not built.
            auto* value = new XmlNodeValue(nameText, parent);
            value->setText(text.substr(contentStart, contentEnd - contentStart));
            if (grouping) groups.note(parent, nameText, nullptr);
        }
    }
    for (auto& element : topLevel) {
        if (element.get() == root) return std::move(element);
    }
    return nullptr;
}
