#include "driver/TextFile.h"

#include "text/Utf8.h"

#include <stdexcept>
#include <string_view>

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool startsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The encoding named in the XML declaration at the very start, or empty.
std::string_view declaredEncoding(std::string_view bytes) {
    if (!startsWith(bytes, "<?xml")) return {};
    // The declaration ends at its "?>", the first ">" of the file.
    const std::string_view declaration = bytes.substr(0, bytes.find('>'));
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    constexpr std::string_view name = "encoding";
    std::size_t at = declaration.find(name);
    if (at == std::string_view::npos) return {};
    at += name.size();
    while (at < declaration.size() && isBlank(declaration[at])) ++at;
    if (at == declaration.size() || declaration[at++] != '=') return {};
    while (at < declaration.size() && isBlank(declaration[at])) ++at;
    if (at == declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
    const char quote = declaration[at++];
    const std::size_t end = declaration.find(quote, at);
    return end == std::string_view::npos ? std::string_view{} : declaration.substr(at, end - at);
}

}  // namespace

std::wstring decodeTextFile(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0x1A) break;
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += static_cast<wchar_t>(byte);
    }
    // Splitting at LF and appending "\n" to every piece gives the text plus one "\n".
    text += L'\n';
    return text;
}

std::optional<std::wstring> readTextFile(const platform::FileSystem& files, const std::wstring& path) {
    if (platform::holdsNul(path)) return std::nullopt;
    const auto bytes = files.readFile(path);
    if (!bytes) return std::nullopt;
    return decodeTextFile(*bytes);
}

std::wstring decodeConfiguration(const std::string& bytes) {
    std::wstring text = decodeTextFile(bytes);
    const bool marked = startsWith(bytes, byteOrderMark);
    if (!marked && !equalsIgnoringAsciiCase(declaredEncoding(bytes), "UTF-8")) return text;
    // The Latin-1 text holds one character per byte, so it narrows back to the bytes
    // as a text-mode stream reads them.
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = marked ? byteOrderMark.size() : 0; i < text.size(); ++i) lines += static_cast<char>(text[i]);
    try {
        return text::utf8ToWide(lines);
    } catch (const std::range_error&) {
        // Stored configurations declare UTF-8 and hold Latin-1 bytes; they are read as they always were.
        return text;
    }
}

std::optional<std::wstring> readConfigurationFile(const platform::FileSystem& files, const std::wstring& path) {
    const auto bytes = files.readFile(path);
    if (!bytes) return std::nullopt;
    return decodeConfiguration(*bytes);
}
