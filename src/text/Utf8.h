#pragma once
#include <string>
#include <string_view>

namespace text {

// Strict decoding: an invalid sequence throws std::range_error("bad conversion").
// Characters beyond the Basic Multilingual Plane become a surrogate pair where
// wide characters have 16 bits.
std::wstring utf8ToWide(std::string_view bytes);
// True when utf8ToWide decodes the bytes.
bool isUtf8(std::string_view bytes);
// The length of the valid sequence that starts at AT; 0 where none does.
std::size_t sequenceLength(std::string_view bytes, std::size_t at);
// At most SIZE bytes of TEXT, cut before a character rather than within it.
std::string_view cutUtf8(std::string_view text, std::size_t size);
// The bytes with every byte that starts no valid sequence replaced by U+FFFD.
std::string repairedUtf8(std::string_view bytes);
// Surrogate pairs become one 4-byte sequence; unpaired surrogates and other
// non-characters become U+FFFD, so encoding never fails.
std::string wideToUtf8(const std::wstring& text);
// One character as UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, char32_t c);

// Encodes wide text handed over in pieces, as wideToUtf8 encodes it whole: a
// surrogate pair split between two pieces is still one 4-byte sequence.
class Utf8Encoder {
public:
    enum class LineEnds { asTheyAre, crlf };
    // crlf writes every LF as CR LF, the way a Windows text-mode stream does.
    explicit Utf8Encoder(LineEnds lineEnds = LineEnds::asTheyAre) : crlf_(lineEnds == LineEnds::crlf) {}

    void encode(std::wstring_view text, std::string& out);
    // A high surrogate still waiting for its partner becomes U+FFFD.
    void finish(std::string& out);

private:
    // Where the run of plain ASCII from AT ends.
    static std::size_t copyAsciiRun(std::wstring_view text, std::size_t at, std::string& out);
    void append(std::string& out, char32_t c) const;

    bool crlf_;
    char32_t pendingHigh_ = 0;
};

}  // namespace text
