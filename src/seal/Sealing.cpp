#include "seal/Sealing.h"

namespace seal {
namespace {

constexpr std::size_t pieceSize = std::size_t{1} << 20;
constexpr std::size_t blockSize = 16;

void writeAll(platform::FileStream& output, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        std::uint32_t written = 0;
        const auto piece = static_cast<std::uint32_t>(std::min(size, pieceSize));
        if (output.write(data, piece, written) != platform::error::success || written == 0)
            throw SealError("Versiegelte Datei nicht schreibbar");
        data += written;
        size -= written;
    }
}

// Everything up to the first piece of encrypted content.
Bytes envelopeHead(const Certificate& recipient, const Bytes& wrappedKey, const platform::CipherBlock& iv) {
    Bytes issuerAndSerial = recipient.issuer;
    issuerAndSerial.insert(issuerAndSerial.end(), recipient.serialNumber.begin(), recipient.serialNumber.end());
    Bytes keyAlgorithm;
    appendElement(keyAlgorithm, tag::oid, oid::rsaEncryption);
    appendElement(keyAlgorithm, tag::null, {});
    const std::uint8_t version0[] = {0};
    Bytes recipientInfo;
    appendElement(recipientInfo, tag::integer, version0);
    appendElement(recipientInfo, tag::sequence, issuerAndSerial);
    appendElement(recipientInfo, tag::sequence, keyAlgorithm);
    appendElement(recipientInfo, tag::octetString, wrappedKey);
    Bytes recipientInfos;
    appendElement(recipientInfos, tag::sequence, recipientInfo);
    Bytes contentAlgorithm;
    appendElement(contentAlgorithm, tag::oid, oid::aes256Cbc);
    appendElement(contentAlgorithm, tag::octetString, iv);

    Bytes head;
    appendIndefinite(head, tag::sequence);  // ContentInfo
    appendElement(head, tag::oid, oid::envelopedData);
    appendIndefinite(head, tag::explicit0);
    appendIndefinite(head, tag::sequence);  // EnvelopedData
    appendElement(head, tag::integer, version0);
    appendElement(head, tag::set, recipientInfos);
    appendIndefinite(head, tag::sequence);  // EncryptedContentInfo
    appendElement(head, tag::oid, oid::data);
    appendElement(head, tag::sequence, contentAlgorithm);
    appendIndefinite(head, tag::explicit0);  // the content, as octet string pieces
    return head;
}

}  // namespace

void sealStream(platform::Cryptography& cryptography, const Certificate& recipient, platform::FileStream& input,
                platform::FileStream& output) {
    platform::ContentKey key{};
    platform::CipherBlock iv{};
    if (!cryptography.randomBytes(key.data(), key.size()) || !cryptography.randomBytes(iv.data(), iv.size()))
        throw SealError("Zufallszahlen nicht verfuegbar");
    const auto wrapped = cryptography.wrapForPublicKey(recipient.subjectPublicKeyInfo, Bytes(key.begin(), key.end()));
    if (!wrapped) throw SealError("Schluessel des Zertifikats nicht verwendbar");
    const Bytes head = envelopeHead(recipient, *wrapped, iv);
    writeAll(output, head.data(), head.size());

    std::uint64_t start = 0;
    if (input.seek(0, platform::FileStream::fromBegin, start) != platform::error::success)
        throw SealError("Archiv nicht lesbar");
    // Room for a piece's header, a full piece and the padding block.
    Bytes buffer(8 + pieceSize + blockSize);
    std::uint8_t* const piece = buffer.data() + 8;
    std::size_t held = 0;
    for (bool ended = false; !ended;) {
        std::uint32_t read = 0;
        if (input.read(piece + held, static_cast<std::uint32_t>(pieceSize - held), read) != platform::error::success)
            throw SealError("Archiv nicht lesbar");
        held += read;
        ended = held < pieceSize;
        std::size_t whole = held;
        if (ended) {
            // PKCS#7 padding: always at least one byte, so the last block tells the length.
            const auto padding = static_cast<std::uint8_t>(blockSize - held % blockSize);
            std::fill(piece + held, piece + held + padding, padding);
            whole = held + padding;
        }
        if (!cryptography.encryptBlocks(key, iv, piece, whole)) throw SealError("Verschluesselung fehlgeschlagen");
        Bytes header;
        appendHeader(header, tag::octetString, whole);
        std::copy(header.begin(), header.end(), piece - header.size());
        writeAll(output, piece - header.size(), header.size() + whole);
        held = 0;
    }
    Bytes tail;
    for (int open = 0; open < 5; ++open) appendEndOfContents(tail);
    writeAll(output, tail.data(), tail.size());
    std::fill(key.begin(), key.end(), std::uint8_t{0});
}

std::optional<Bytes> readSmallFile(platform::FileStream& file, std::size_t limit) {
    Bytes bytes(limit + 1);
    std::size_t held = 0;
    for (;;) {
        std::uint32_t read = 0;
        if (file.read(bytes.data() + held, static_cast<std::uint32_t>(bytes.size() - held), read) !=
            platform::error::success)
            return std::nullopt;
        held += read;
        if (read == 0 || held == bytes.size()) break;
    }
    if (held > limit) return std::nullopt;
    bytes.resize(held);
    return bytes;
}

}  // namespace seal
