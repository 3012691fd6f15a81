#include "text/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

[[noreturn]] void badConversion() { throw std::range_error("bad conversion"); }

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

struct Decoded {
    char32_t character = 0;
    std::size_t length = 0;  // 0 for an invalid sequence
};

// The character whose sequence starts at `at`.
Decoded decodeCharacter(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        return {lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07u;
    } else {
        return {};
    }
    if (at + length > bytes.size()) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0) != 0x80) return {};
        c = (c << 6) | (next & 0x3Fu);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || isSurrogate(c)) return {};
    return {c, length};
}

}  // namespace

namespace text {

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || isSurrogate(c)) c = replacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::wstring utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded decoded = decodeCharacter(bytes, i);
        if (decoded.length == 0) badConversion();
        appendWide(out, decoded.character);
        i += decoded.length;
    }
    return out;
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = decodeCharacter(bytes, i).length;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::size_t sequenceLength(std::string_view bytes, std::size_t at) { return decodeCharacter(bytes, at).length; }

std::string_view cutUtf8(std::string_view text, std::size_t size) {
    if (text.size() <= size) return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    return text.substr(0, size);
}

std::string repairedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded decoded = decodeCharacter(bytes, i);
        appendUtf8(out, decoded.length == 0 ? replacementCharacter : decoded.character);
        i += decoded.length == 0 ? 1 : decoded.length;
    }
    return out;
}

std::string wideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    Utf8Encoder encoder;
    encoder.encode(text, out);
    encoder.finish(out);
    return out;
}

void Utf8Encoder::encode(std::wstring_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (pendingHigh_ == 0) {
            i = copyAsciiRun(text, i, out);
            if (i == text.size()) break;
        }
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (pendingHigh_ != 0) {
                const char32_t high = pendingHigh_;
                pendingHigh_ = 0;
                if (c >= 0xDC00 && c <= 0xDFFF) {
                    append(out, 0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00));
                    continue;
                }
                append(out, replacementCharacter);
            }
            if (c >= 0xD800 && c <= 0xDBFF) {
                pendingHigh_ = c;
                continue;
            }
        }
        append(out, c);
    }
}

// Runs of ASCII without line feeds, the bulk of any report, are copied as they
// are: sought a block at a time, one branch per block, and copied through plain
// pointers (a store through the string's own makes the compiler fetch it again
// for every character).
std::size_t Utf8Encoder::copyAsciiRun(std::wstring_view text, std::size_t at, std::string& out) {
    const auto isSpecial = [](wchar_t c) { return static_cast<std::uint32_t>(c) >= 0x80 || c == L'\n'; };
    constexpr std::ptrdiff_t block = 8;
    const wchar_t* const first = text.data() + at;
    const wchar_t* const end = text.data() + text.size();
    const wchar_t* last = first;
    for (; end - last >= block; last += block) {
        bool special = false;
        for (std::ptrdiff_t k = 0; k < block; ++k) special |= isSpecial(last[k]);
        if (special) break;
    }
    while (last != end && !isSpecial(*last)) ++last;
    const std::size_t size = out.size();
    out.resize(size + static_cast<std::size_t>(last - first));
    std::transform(first, last, out.data() + size, [](wchar_t c) { return static_cast<char>(c); });
    return static_cast<std::size_t>(last - text.data());
}

void Utf8Encoder::finish(std::string& out) {
    if (pendingHigh_ != 0) append(out, replacementCharacter);
    pendingHigh_ = 0;
}

void Utf8Encoder::append(std::string& out, char32_t c) const {
    if (c == U'\n' && crlf_) out += '\r';
    appendUtf8(out, c);
}

}  // namespace text
