#pragma once
#include <cstddef>
#include <string_view>

class XmlNodeValue;

// Hears what the parser builds and what it leaves out, with positions in the
// text it was given and pieces of it in the text's own encoding. The parse builds the same tree whether anyone listens or not.
class ParseObserver {
public:
    enum class Dropped {
        unterminatedComment,  // "<!--" without "-->": the rest of the text is cut off
        unrecognisedTag,      // "<" that opens no start tag, e.g. one with an attribute
        strayEndTag,          // an end tag that closes nothing of its level
        strayText,            // other text between elements
        unclosedElement,      // a start tag without its end tag: the rest of its level is lost
        valueOutsideElement,  // a value at the top, outside any element
        replacedElement,      // a top-level element that does not become the root
    };

    virtual ~ParseObserver() = default;
    virtual void dropped(Dropped what, std::size_t position, std::string_view text) = 0;
    virtual void valueBuilt(const XmlNodeValue& value, std::size_t position) = 0;
};
