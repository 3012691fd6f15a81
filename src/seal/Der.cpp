#include "seal/Der.h"

#include <algorithm>

namespace seal {

bool sameBytes(ByteView a, ByteView b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

HeaderParse parseHeader(ByteView bytes, Header& header) {
    if (bytes.size() < 2) return HeaderParse::needMore;
    header = Header{};
    header.tag = bytes[0];
    // High tag numbers occur in no structure a sealed file holds.
    if ((header.tag & 0x1F) == 0x1F) return HeaderParse::malformed;
    const std::uint8_t first = bytes[1];
    header.size = 2;
    if (first < 0x80) {
        header.length = first;
        return HeaderParse::ok;
    }
    if (first == 0x80) {
        header.indefinite = true;
        return header.constructed() ? HeaderParse::ok : HeaderParse::malformed;
    }
    const std::size_t digits = first & 0x7F;
    if (digits > 8) return HeaderParse::malformed;
    if (bytes.size() < 2 + digits) return HeaderParse::needMore;
    for (std::size_t i = 0; i < digits; ++i) header.length = header.length << 8 | bytes[2 + i];
    header.size = 2 + digits;
    return HeaderParse::ok;
}

std::uint8_t DerCursor::peekTag() const {
    if (bytes_.empty()) throw SealError(what_);
    return bytes_[0];
}

Header DerCursor::next() {
    Header header;
    if (parseHeader(bytes_, header) != HeaderParse::ok || header.indefinite ||
        header.length > bytes_.size() - header.size)
        throw SealError(what_);
    return header;
}

ByteView DerCursor::content(std::uint8_t tag) {
    const ByteView element = whole(tag);
    Header header;
    parseHeader(element, header);
    return element.subspan(header.size);
}

ByteView DerCursor::whole(std::uint8_t tag) {
    if (peekTag() != tag) throw SealError(what_);
    return any();
}

ByteView DerCursor::any() {
    const Header header = next();
    const ByteView element = bytes_.first(header.size + header.length);
    bytes_ = bytes_.subspan(element.size());
    return element;
}

void appendHeader(Bytes& out, std::uint8_t tag, std::size_t length) {
    out.push_back(tag);
    if (length < 0x80) {
        out.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    std::uint8_t digits[8];
    std::size_t count = 0;
    for (std::size_t rest = length; rest != 0; rest >>= 8) digits[count++] = static_cast<std::uint8_t>(rest);
    out.push_back(static_cast<std::uint8_t>(0x80 | count));
    while (count > 0) out.push_back(digits[--count]);
}

void appendElement(Bytes& out, std::uint8_t tag, ByteView content) {
    appendHeader(out, tag, content.size());
    out.insert(out.end(), content.begin(), content.end());
}

void appendIndefinite(Bytes& out, std::uint8_t tag) {
    out.push_back(tag);
    out.push_back(0x80);
}

void appendEndOfContents(Bytes& out) {
    out.push_back(0);
    out.push_back(0);
}

}  // namespace seal
