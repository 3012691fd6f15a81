#include "text/TextFile.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// The encoding named in the XML declaration at the very start, or empty.
std::string_view declaredEncoding(std::string_view bytes) {
    if (!bytes.starts_with("<?xml")) return {};
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

// Folds CR LF into LF and ends the text at a byte 0x1A, in place, as the
// decoder does, and ends the last line with "\n".
void foldTextFileLines(std::string& bytes) {
    const std::size_t end = std::min(bytes.find('\x1A'), bytes.size());
    std::size_t to = 0;
    for (std::size_t from = 0; from < end; ++from) {
        if (bytes[from] == '\r' && from + 1 < end && bytes[from + 1] == '\n') continue;
        bytes[to++] = bytes[from];
    }
    bytes.resize(to);
    bytes += '\n';
}

// The length of the leading ASCII bytes: sought a block at a time, one branch
// per block, in a loop the compiler vectorises.
std::size_t asciiPrefix(std::string_view bytes) {
    const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
    constexpr std::size_t block = 64;
    std::size_t at = 0;
    for (; bytes.size() - at >= block; at += block) {
        unsigned char bits = 0;
        for (std::size_t k = 0; k < block; ++k) bits |= data[at + k];
        if (bits >= 0x80) break;
    }
    while (at < bytes.size() && data[at] < 0x80) ++at;
    return at;
}

// ASCII as the report holds it: a CR stays as it is, so only an LF without a CR before it changes.
void appendAsciiToReport(std::string_view ascii, bool afterCarriageReturn, std::string& out) {
    std::size_t start = 0;
    for (std::size_t lineFeed = ascii.find('\n'); lineFeed != std::string_view::npos;
         lineFeed = ascii.find('\n', lineFeed + 1)) {
        if (lineFeed > 0 ? ascii[lineFeed - 1] == '\r' : afterCarriageReturn) continue;
        out += ascii.substr(start, lineFeed - start);
        out += "\r\n";
        start = lineFeed + 1;
    }
    out += ascii.substr(start);
}

// The leading bytes beyond ASCII, in UTF-8: two bytes each. Their count.
std::size_t appendLatin1ToReport(std::string_view bytes, std::string& out) {
    std::size_t count = 0;
    while (count < bytes.size() && static_cast<unsigned char>(bytes[count]) >= 0x80) ++count;
    const std::size_t start = out.size();
    out.resize(start + 2 * count);
    char* to = out.data() + start;
    for (const char c : bytes.substr(0, count)) {
        const auto byte = static_cast<unsigned char>(c);
        *to++ = static_cast<char>(0xC0 | (byte >> 6));
        *to++ = static_cast<char>(0x80 | (byte & 0x3F));
    }
    return count;
}

}  // namespace


void TextFileDecoder::decode(std::string_view bytes, std::wstring& out) {
    if (ended_) return;
    const std::size_t endOfFile = bytes.find('\x1A');
    ended_ = endOfFile != std::string_view::npos;
    if (ended_) bytes = bytes.substr(0, endOfFile);
    // Written in place: at most one character more than the bytes, a CR held back from the piece before.
    const std::size_t start = out.size();
    out.resize(start + bytes.size() + 1);
    wchar_t* to = out.data() + start;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (afterCarriageReturn_ && byte != '\n') *to++ = L'\r';
        afterCarriageReturn_ = byte == '\r';
        if (!afterCarriageReturn_) *to++ = static_cast<wchar_t>(byte);
    }
    if (ended_ && afterCarriageReturn_) {
        *to++ = L'\r';
        afterCarriageReturn_ = false;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

// Splitting at LF and appending "\n" to every piece gives the text plus one "\n".
void TextFileDecoder::finish(std::wstring& out) {
    if (afterCarriageReturn_) out += L'\r';
    afterCarriageReturn_ = false;
    out += L'\n';
}

void TextFileDecoder::decodeToReport(std::string_view bytes, std::string& out) {
    if (ended_) return;
    const std::size_t endOfFile = bytes.find('\x1A');
    ended_ = endOfFile != std::string_view::npos;
    if (ended_) bytes = bytes.substr(0, endOfFile);
    // Stretches of ASCII, a text file's bulk, pass almost as they are.
    while (!bytes.empty()) {
        const std::string_view ascii = bytes.substr(0, asciiPrefix(bytes));
        appendAsciiToReport(ascii, afterCarriageReturn_, out);
        if (!ascii.empty()) afterCarriageReturn_ = ascii.back() == '\r';
        bytes.remove_prefix(ascii.size());
        const std::size_t latin1 = appendLatin1ToReport(bytes, out);
        if (latin1 > 0) afterCarriageReturn_ = false;
        bytes.remove_prefix(latin1);
    }
}

void TextFileDecoder::finishToReport(std::string& out) { out += "\r\n"; }

std::wstring decodeTextFile(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() + 1);
    TextFileDecoder decoder;
    decoder.decode(bytes, text);
    decoder.finish(text);
    return text;
}

std::wstring decodeText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::utf8) return text::utf8ToWide(bytes);
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

namespace {

bool isUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

void decodeTextInPieces(std::string_view bytes, TextEncoding encoding,
                        const std::function<void(std::wstring_view piece)>& take) {
    constexpr std::size_t pieceSize = std::size_t{1} << 16;
    while (!bytes.empty()) {
        std::size_t end = std::min(pieceSize, bytes.size());
        // A character's bytes stay in one piece.
        while (encoding == TextEncoding::utf8 && end < bytes.size() && isUtf8Continuation(bytes[end])) ++end;
        take(decodeText(bytes.substr(0, end), encoding));
        bytes.remove_prefix(end);
    }
}

std::string_view leadingCharacters(std::string_view bytes, TextEncoding encoding, std::size_t count) {
    if (encoding == TextEncoding::latin1) return bytes.substr(0, count);
    std::size_t end = 0;
    for (std::size_t started = 0; end < bytes.size(); ++end) {
        if (!isUtf8Continuation(bytes[end]) && started++ == count) break;
    }
    return bytes.substr(0, end);
}

bool isUtf16(const ConfigurationText& configuration) {
    const std::string_view start = std::string_view(configuration.bytes).substr(0, 2);
    return start == "\xFF\xFE" || start == "\xFE\xFF" || start == std::string_view("<\0", 2) ||
           start == std::string_view("\0<", 2);
}

ConfigurationText configurationText(std::string bytes) {
    foldTextFileLines(bytes);
    const bool marked = bytes.starts_with(byteOrderMark);
    if (!marked && text::upperAscii(std::string(declaredEncoding(bytes))) != "UTF-8") return {std::move(bytes)};
    // Stored configurations declare UTF-8 and hold Latin-1 bytes; they are read as they always were.
    if (!text::isUtf8(bytes)) return {std::move(bytes)};
    if (marked) bytes.erase(0, byteOrderMark.size());
    return {std::move(bytes), TextEncoding::utf8};
}
