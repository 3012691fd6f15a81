#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Decodes a text file as ISO 8859-1, one character per byte: CR LF becomes LF,
// a byte 0x1A ends the text, and every line, the last one included, is
// followed by "\n". Bytes may come in pieces of any size; a CR LF split
// between two pieces is still folded.
class TextFileDecoder {
public:
    void decode(std::string_view bytes, std::wstring& out);
    // Adds what the end of the file completes.
    void finish(std::wstring& out);
    // The same text as the report holds it, UTF-8 with every LF as CR LF,
    // without widening it first: a text file's bulk passes almost as it is.
    void decodeToReport(std::string_view bytes, std::string& out);
    void finishToReport(std::string& out);
    // True once the end-of-file character was met: later bytes do not count.
    bool ended() const { return ended_; }

private:
    // The last byte was a CR: the wide text still owes it, the report's bytes
    // hold it already, and an LF after it needs no CR of its own.
    bool afterCarriageReturn_ = false;
    bool ended_ = false;
};

// The same decoding of a whole file's bytes.
std::wstring decodeTextFile(const std::string& bytes);

enum class TextEncoding : std::uint8_t { latin1, utf8 };

// Bytes of text in an encoding: ISO 8859-1 (one byte a character) or valid UTF-8.
std::wstring decodeText(std::string_view bytes, TextEncoding encoding);
// The same text handed on in pieces, so that a long text is never widened whole.
void decodeTextInPieces(std::string_view bytes, TextEncoding encoding,
                        const std::function<void(std::wstring_view piece)>& take);
// The first `count` characters of the text (all of it when shorter).
std::string_view leadingCharacters(std::string_view bytes, TextEncoding encoding, std::size_t count);

// A configuration file's text, kept in the file's own encoding so that it takes
// no more memory than the file: lines as a text file decodes them, but as UTF-8
// when the file starts with the UTF-8 byte-order mark (which is dropped) or
// declares encoding="UTF-8" in its XML declaration, and its bytes are UTF-8 indeed.
struct ConfigurationText {
    std::string bytes;
    TextEncoding encoding = TextEncoding::latin1;
};

// True when the text is UTF-16 (what Windows editors save as "Unicode"), with
// or without its byte-order mark: the configuration is then read as Latin-1
// bytes and no request in it can be found.
bool isUtf16(const ConfigurationText& configuration);
// Turns a configuration file's bytes into its text in place.
ConfigurationText configurationText(std::string bytes);
