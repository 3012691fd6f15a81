#pragma once
#include <string>

namespace text {

// Only the letters A to Z change case: names and keywords of the tool compare
// this way, whatever the locale.
inline std::wstring upperAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

inline std::wstring lowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

}  // namespace text
