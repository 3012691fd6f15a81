#pragma once
#include "platform/Cryptography.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

// The few BER/DER pieces that sealed files are made of.
namespace seal {

using platform::Bytes;
using ByteView = std::span<const std::uint8_t>;

namespace tag {
inline constexpr std::uint8_t endOfContents = 0x00;
inline constexpr std::uint8_t integer = 0x02;
inline constexpr std::uint8_t octetString = 0x04;
inline constexpr std::uint8_t null = 0x05;
inline constexpr std::uint8_t oid = 0x06;
inline constexpr std::uint8_t utcTime = 0x17;
inline constexpr std::uint8_t generalizedTime = 0x18;
inline constexpr std::uint8_t sequence = 0x30;
inline constexpr std::uint8_t set = 0x31;
inline constexpr std::uint8_t constructedOctetString = 0x24;
inline constexpr std::uint8_t implicit0 = 0x80;
inline constexpr std::uint8_t explicit0 = 0xA0;
}  // namespace tag

// Object identifiers by their content bytes.
namespace oid {
inline constexpr std::uint8_t envelopedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x03};
inline constexpr std::uint8_t data[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
inline constexpr std::uint8_t rsaEncryption[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
inline constexpr std::uint8_t aes256Cbc[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x2A};
}  // namespace oid

bool sameBytes(ByteView a, ByteView b);

// Something about a sealed file or a certificate; the text is for the user.
class SealError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Header {
    std::uint8_t tag = 0;  // class, constructed bit and a number below 31
    bool indefinite = false;
    std::uint64_t length = 0;
    std::size_t size = 0;  // of the header itself
    bool constructed() const { return (tag & 0x20) != 0; }
};

enum class HeaderParse { ok, needMore, malformed };
HeaderParse parseHeader(ByteView bytes, Header& header);

// A complete element's content in memory, walked element by element; definite
// lengths only. Anything else throws SealError(what).
class DerCursor {
public:
    DerCursor(ByteView bytes, std::string what) : bytes_(bytes), what_(std::move(what)) {}
    bool atEnd() const { return bytes_.empty(); }
    std::uint8_t peekTag() const;
    // The next element's content; it must carry the tag.
    ByteView content(std::uint8_t tag);
    // The next element whole, header included; it must carry the tag.
    ByteView whole(std::uint8_t tag);
    // The next element whole, whatever its tag.
    ByteView any();

private:
    Header next();

    ByteView bytes_;
    std::string what_;
};

void appendHeader(Bytes& out, std::uint8_t tag, std::size_t length);
void appendElement(Bytes& out, std::uint8_t tag, ByteView content);
void appendIndefinite(Bytes& out, std::uint8_t tag);
void appendEndOfContents(Bytes& out);

}  // namespace seal
