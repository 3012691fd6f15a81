#include "collect/registry/RegistryFormat.h"

#include "platform/Registry.h"

namespace type = platform::registry_type;

namespace {

bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

// The 16-bit unit at a byte offset; a lone last byte stands for itself.
std::uint32_t unitAt(std::span<const std::uint8_t> data, std::size_t offset) {
    const std::uint32_t high = offset + 1 < data.size() ? data[offset + 1] : 0;
    return data[offset] | high << 8;
}

// UTF-16LE text; a zero unit becomes the given separator. Where wide characters
// have 32 bits, a surrogate pair becomes one character.
std::wstring utf16Text(std::span<const std::uint8_t> data, const std::wstring& zeroUnit) {
    std::wstring text;
    text.reserve(data.size() / 2);
    for (std::size_t offset = 0; offset < data.size(); offset += 2) {
        std::uint32_t unit = unitAt(data, offset);
        if (unit == 0) {
            text += zeroUnit;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 4) {
            if (isHighSurrogate(unit) && offset + 3 < data.size() && isLowSurrogate(unitAt(data, offset + 2))) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(data, offset + 2) - 0xDC00);
                offset += 2;
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    return text;
}

std::wstring multiStringText(std::span<const std::uint8_t> data) {
    std::wstring text = utf16Text(data, L"|");
    if (!text.empty() && text.back() == L'|') text.pop_back();
    return text;
}

// Up to the given number of bytes as a little-endian number; shorter data
// counts with the bytes it has.
std::uint64_t littleEndian(std::span<const std::uint8_t> data, std::size_t width) {
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < width && i < data.size(); ++i) number |= std::uint64_t{data[i]} << (8 * i);
    return number;
}

// Empty data has no number; short data still shows what it holds.
std::wstring numberText(std::span<const std::uint8_t> data, std::size_t width) {
    return data.empty() ? L"" : std::to_wstring(littleEndian(data, width));
}

std::wstring byteDump(std::span<const std::uint8_t> data) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(data.size() * 7 + data.size() / 8 + 1);
    for (std::size_t i = 0; i < data.size(); ++i) {
        text += L"0x00";
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0xF];
        text += L' ';
        if (i % 8 == 7) text += L'\n';
    }
    return text;
}

}  // namespace

std::wstring typeName(std::uint32_t valueType) {
    switch (valueType) {
    case type::none: return L"none";
    case type::string: return L"String";
    case type::expandString: return L"ExpandString";
    case type::binary: return L"Binary";
    case type::dword: return L"DWORD";
    case type::link: return L"Link";
    case type::multiString: return L"MultiString";
    case type::qword: return L"QWORD";
    default: return L"unknown";
    }
}

std::wstring formatData(std::uint32_t valueType, std::span<const std::uint8_t> data) {
    switch (valueType) {
    case type::string:
    case type::expandString:
    case type::link: return utf16Text(data, L"");
    case type::multiString: return multiStringText(data);
    case type::binary: return L"in utf-16: \n" + byteDump(data);
    case type::dword: return numberText(data, 4);
    case type::qword: return numberText(data, 8);
    case type::none: return L"kein Daten Typ\n" + byteDump(data);
    default: return L"Unbekannter RegValue Typ";
    }
}
