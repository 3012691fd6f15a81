#pragma once
// Configurations written in tests as wide text.
#include "text/TextFile.h"
#include "text/Utf8.h"

#include <string>

// The text as a UTF-8 configuration file gives it to the parser.
inline ConfigurationText configurationOf(const std::wstring& text) {
    return {text::wideToUtf8(text), TextEncoding::utf8};
}
