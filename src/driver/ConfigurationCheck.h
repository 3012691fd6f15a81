#pragma once
#include "text/TextFile.h"

#include <cstddef>
#include <string>
#include <vector>

// What a run would make of a configuration text, found by the run's own parser
// and walk without collecting anything.
struct CheckedRequest {
    std::size_t line;
    std::wstring category;
    std::wstring function;
    std::wstring value;
};

struct SkippedPart {
    enum class Reason {
        unknownFunction,
        unrecognisedContent,
        wrongCategory,
        outsideCategory,
        unrecognisedTag,
        strayEndTag,
        strayText,
        unclosedElement,
        valueOutsideElement,
        replacedElement,
        unterminatedComment,
    };
    std::size_t line;
    // Where in the text it begins: parts are listed in the order of the file.
    std::size_t position;
    Reason reason;
    // What the file holds there, as the operator should recognise it.
    std::wstring subject;
};

struct ConfigurationCheck {
    bool hasRoot = false;
    // In the order a run serves them.
    std::vector<CheckedRequest> served;
    // In the order of the file.
    std::vector<SkippedPart> skipped;
};

ConfigurationCheck checkConfiguration(ConfigurationText text);

// Why a part is skipped, in the operator's words.
const std::wstring& reasonText(SkippedPart::Reason reason);

// Text as one visible line: line breaks, tabs and other control characters written out.
std::wstring visibleText(const std::wstring& text);
