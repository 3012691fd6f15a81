#pragma once
#include <string>

namespace text {

// Only the letters A to Z change case: names and keywords of the tool compare
// this way, whatever the locale.
template <class Char>
std::basic_string<Char> upperAscii(std::basic_string<Char> text) {
    for (Char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<Char>(c - 'a' + 'A');
    }
    return text;
}

template <class Char>
std::basic_string<Char> lowerAscii(std::basic_string<Char> text) {
    for (Char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<Char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace text
