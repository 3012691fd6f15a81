#include "seal/SealedFile.h"

#include "seal/Der.h"

#include <algorithm>
#include <cstdio>

namespace seal {
namespace {

constexpr std::size_t blockSize = 16;
// Recipient lists and algorithm parameters are small; a larger one is no file of ours to read.
constexpr std::uint64_t largestHeldElement = std::uint64_t{1} << 20;
constexpr int deepestNesting = 8;

const char* const noKey = "versiegelte Datei: zum Lesen den Schluessel mit --key angeben";
const char* const wrongKey = "versiegelte Datei passt nicht zum Schluessel (--key)";
const char* const truncated = "versiegelte Datei unvollstaendig (abgeschnitten)";
const char* const damaged = "versiegelte Datei beschaedigt";
const char* const foreign =
    "keine versiegelte Datei, die gelesen werden kann (erwartet: CMS enveloped data, AES-256-CBC, RSA)";
const char* const unreadable = "Datei nicht lesbar";

bool readAt(platform::FileStream& file, std::uint64_t position, std::uint8_t* data, std::size_t size) {
    std::uint64_t at = 0;
    if (file.seek(static_cast<std::int64_t>(position), platform::FileStream::fromBegin, at) != platform::error::success)
        return false;
    while (size > 0) {
        std::uint32_t read = 0;
        const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 30));
        if (file.read(data, piece, read) != platform::error::success || read == 0) return false;
        data += read;
        size -= read;
    }
    return true;
}

// The file read forward from a position, through a small window, for walking headers.
class Walker {
public:
    Walker(platform::FileStream& file, std::uint64_t size) : file_(file), size_(size) {}

    std::uint64_t position() const { return position_; }
    std::uint64_t size() const { return size_; }

    Header header() {
        Header header;
        const HeaderParse parse = parseHeader(view(10), header);
        if (parse == HeaderParse::needMore) throw SealError(truncated);
        if (parse == HeaderParse::malformed) throw SealError(damaged);
        position_ += header.size;
        if (!header.indefinite && header.length > size_ - position_) throw SealError(truncated);
        return header;
    }
    Header header(std::uint8_t expected, const char* otherwise) {
        const Header found = header();
        if (found.tag != expected) throw SealError(otherwise);
        return found;
    }
    bool atEndOfContents() {
        if (position_ + 2 > size_) throw SealError(truncated);
        const ByteView next = view(2);
        if (next.size() < 2) throw SealError(truncated);
        if (next[0] != 0 || next[1] != 0) return false;
        position_ += 2;
        return true;
    }
    Bytes take(const Header& header) {
        if (header.indefinite || header.length > largestHeldElement) throw SealError(damaged);
        Bytes content(static_cast<std::size_t>(header.length));
        if (!readAt(file_, position_, content.data(), content.size())) throw SealError(truncated);
        position_ += header.length;
        return content;
    }
    void skip(const Header& header, int depth = 0) {
        if (!header.indefinite) {
            position_ += header.length;
            return;
        }
        if (depth > deepestNesting) throw SealError(damaged);
        while (!atEndOfContents()) skip(this->header(), depth + 1);
    }

private:
    // Up to SIZE bytes from the position, fewer only at the end of the file.
    ByteView view(std::size_t size) {
        if (position_ < windowStart_ || position_ + size > windowStart_ + window_.size()) {
            window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(1u << 16, size_ - position_)));
            windowStart_ = position_;
            if (!readAt(file_, position_, window_.data(), window_.size())) throw SealError(unreadable);
        }
        const std::size_t offset = static_cast<std::size_t>(position_ - windowStart_);
        return ByteView(window_).subspan(offset, std::min(size, window_.size() - offset));
    }

    platform::FileStream& file_;
    const std::uint64_t size_;
    std::uint64_t position_ = 0;
    Bytes window_;
    std::uint64_t windowStart_ = 0;
};

// Where the encrypted content lies in the file: runs of equally long pieces at equal distances,
// so that any number of pieces of one writer takes a few entries.
class ContentMap {
public:
    void add(std::uint64_t fileOffset, std::uint64_t length) {
        if (length == 0) return;
        if (!runs_.empty()) {
            Run& last = runs_.back();
            if (last.pieceLength == length && (last.count > 1 || fileOffset >= last.fileStart + length)) {
                if (last.count == 1) last.stride = fileOffset - last.fileStart;
                if (fileOffset == last.fileStart + last.count * last.stride) {
                    ++last.count;
                    size_ += length;
                    return;
                }
            }
        }
        runs_.push_back({size_, fileOffset, length, length, 1});
        size_ += length;
    }
    std::uint64_t size() const { return size_; }

    // Reads encrypted bytes from OFFSET in the content.
    bool read(platform::FileStream& file, std::uint64_t offset, std::uint8_t* data, std::size_t size) const {
        while (size > 0) {
            auto run = std::upper_bound(runs_.begin(), runs_.end(), offset,
                                        [](std::uint64_t at, const Run& r) { return at < r.contentStart; });
            if (run == runs_.begin()) return false;
            --run;
            const std::uint64_t inRun = offset - run->contentStart;
            const std::uint64_t piece = inRun / run->pieceLength, inPiece = inRun % run->pieceLength;
            if (piece >= run->count) return false;
            const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(size, run->pieceLength - inPiece));
            if (!readAt(file, run->fileStart + piece * run->stride + inPiece, data, length)) return false;
            data += length;
            size -= length;
            offset += length;
        }
        return true;
    }

private:
    struct Run {
        std::uint64_t contentStart, fileStart, pieceLength, stride, count;
    };
    std::vector<Run> runs_;
    std::uint64_t size_ = 0;
};

// An RSA recipient: the certificate it names (empty when named by key identifier) and the wrapped content key.
struct Recipient {
    Bytes issuer, serialNumber, wrappedKey;
};

struct Envelope {
    std::vector<Recipient> recipients;
    platform::CipherBlock iv{};
    ContentMap content;
};

std::vector<Recipient> rsaRecipients(const Bytes& recipientInfos) {
    std::vector<Recipient> keys;
    DerCursor set(recipientInfos, damaged);
    while (!set.atEnd()) {
        if (set.peekTag() != tag::sequence) {
            set.any();  // other kinds of recipient
            continue;
        }
        DerCursor recipient(set.content(tag::sequence), damaged);
        recipient.content(tag::integer);
        Recipient found;
        if (recipient.peekTag() == tag::sequence) {
            DerCursor named(recipient.content(tag::sequence), damaged);
            const ByteView issuer = named.whole(tag::sequence), serial = named.content(tag::integer);
            found.issuer.assign(issuer.begin(), issuer.end());
            found.serialNumber.assign(serial.begin(), serial.end());
        } else {
            recipient.any();  // by key identifier: only a given key can tell
        }
        DerCursor algorithm(recipient.content(tag::sequence), damaged);
        if (!sameBytes(algorithm.content(tag::oid), oid::rsaEncryption)) continue;
        const ByteView wrapped = recipient.content(tag::octetString);
        found.wrappedKey.assign(wrapped.begin(), wrapped.end());
        keys.push_back(std::move(found));
    }
    if (keys.empty()) throw SealError(foreign);
    return keys;
}

void collectPieces(Walker& walker, const Header& header, ContentMap& content, int depth) {
    if (!header.constructed()) {
        content.add(walker.position(), header.length);
        walker.skip(header);
        return;
    }
    if (depth > deepestNesting) throw SealError(damaged);
    const std::uint64_t end = walker.position() + header.length;
    for (;;) {
        if (header.indefinite ? walker.atEndOfContents() : walker.position() >= end) return;
        const Header piece = walker.header();
        if ((piece.tag & 0xDF) != tag::octetString) throw SealError(damaged);
        collectPieces(walker, piece, content, depth + 1);
    }
}

Envelope readEnvelope(platform::FileStream& file) {
    std::uint64_t size = 0;
    if (file.size(size) != platform::error::success) throw SealError(unreadable);
    Walker walker(file, size);
    Envelope envelope;
    // The containers around the content: each one of indefinite length must be closed, or the file was cut.
    std::vector<Header> outer{walker.header(tag::sequence, foreign)};
    if (!sameBytes(walker.take(walker.header(tag::oid, foreign)), oid::envelopedData)) throw SealError(foreign);
    outer.push_back(walker.header(tag::explicit0, damaged));
    outer.push_back(walker.header(tag::sequence, damaged));
    walker.skip(walker.header(tag::integer, damaged));
    Header next = walker.header();
    if (next.tag == tag::explicit0) {  // originator information
        walker.skip(next);
        next = walker.header();
    }
    if (next.tag != tag::set) throw SealError(damaged);
    envelope.recipients = rsaRecipients(walker.take(next));
    outer.push_back(walker.header(tag::sequence, damaged));
    walker.skip(walker.header(tag::oid, damaged));
    const Bytes algorithmBytes = walker.take(walker.header(tag::sequence, damaged));
    DerCursor algorithm(algorithmBytes, damaged);
    if (!sameBytes(algorithm.content(tag::oid), oid::aes256Cbc)) throw SealError(foreign);
    const ByteView iv = algorithm.content(tag::octetString);
    if (iv.size() != blockSize) throw SealError(damaged);
    std::copy(iv.begin(), iv.end(), envelope.iv.begin());
    const Header content = walker.header();
    if ((content.tag & 0xDF) != tag::implicit0) throw SealError(damaged);
    collectPieces(walker, content, envelope.content, 0);
    for (auto container = outer.rbegin(); container != outer.rend(); ++container) {
        // Unprotected attributes may follow the content; they are not needed.
        if (container->indefinite)
            while (!walker.atEndOfContents()) walker.skip(walker.header());
    }
    if (envelope.content.size() == 0 || envelope.content.size() % blockSize != 0) throw SealError(damaged);
    return envelope;
}

// The plain content; reads decrypt a window at a time, each from the block before it.
class UnsealedStream final : public platform::FileStream {
public:
    UnsealedStream(std::unique_ptr<platform::FileStream> file, Envelope envelope, platform::Cryptography& cryptography,
                   const platform::ContentKey& key, std::uint64_t plainSize)
        : file_(std::move(file)), envelope_(std::move(envelope)), cryptography_(cryptography), key_(key),
          plainSize_(plainSize) {}
    ~UnsealedStream() override { std::fill(key_.begin(), key_.end(), std::uint8_t{0}); }

    platform::ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        processed = 0;
        auto* out = static_cast<std::uint8_t*>(data);
        while (processed < size && position_ < plainSize_) {
            const std::uint64_t windowStart = position_ - position_ % windowSize;
            if (!windowValid_ || windowStart != windowStart_) {
                if (!decryptWindow(windowStart)) return platform::error::invalidParameter;
            }
            const auto offset = static_cast<std::size_t>(position_ - windowStart_);
            const auto available = static_cast<std::size_t>(
                std::min<std::uint64_t>(window_.size() - offset, plainSize_ - position_));
            const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(available, size - processed));
            std::copy_n(window_.data() + offset, length, out + processed);
            processed += length;
            position_ += length;
        }
        return platform::error::success;
    }
    platform::ErrorCode write(const void*, std::uint32_t, std::uint32_t& processed) override {
        processed = 0;
        return platform::error::accessDenied;
    }
    platform::ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override {
        const std::int64_t base = origin == fromBegin     ? 0
                                  : origin == fromCurrent ? static_cast<std::int64_t>(position_)
                                                          : static_cast<std::int64_t>(plainSize_);
        if (origin > fromEnd) return platform::error::invalidParameter;
        if (base + offset < 0) return platform::error::negativeSeek;
        position_ = static_cast<std::uint64_t>(base + offset);
        newPosition = position_;
        return platform::error::success;
    }
    platform::ErrorCode setSize(std::uint64_t) override { return platform::error::accessDenied; }
    platform::ErrorCode size(std::uint64_t& size) override {
        size = plainSize_;
        return platform::error::success;
    }
    platform::ErrorCode close() override { return file_->close(); }

    static constexpr std::uint64_t windowSize = std::uint64_t{1} << 18;

private:
    bool decryptWindow(std::uint64_t start) {
        windowValid_ = false;
        const auto length = static_cast<std::size_t>(std::min(windowSize, envelope_.content.size() - start));
        window_.resize(length);
        platform::CipherBlock iv = envelope_.iv;
        if (start > 0 && !envelope_.content.read(*file_, start - blockSize, iv.data(), iv.size())) return false;
        if (!envelope_.content.read(*file_, start, window_.data(), length) ||
            !cryptography_.decryptBlocks(key_, iv, window_.data(), length))
            return false;
        windowStart_ = start;
        windowValid_ = true;
        return true;
    }

    std::unique_ptr<platform::FileStream> file_;
    Envelope envelope_;
    platform::Cryptography& cryptography_;
    platform::ContentKey key_;
    const std::uint64_t plainSize_;
    std::uint64_t position_ = 0;
    Bytes window_;
    std::uint64_t windowStart_ = 0;
    bool windowValid_ = false;
};

// The content's length without its padding, when KEY decrypts the last block to valid padding.
std::optional<std::uint64_t> plainSizeWith(platform::FileStream& file, const Envelope& envelope,
                                           platform::Cryptography& cryptography, const platform::ContentKey& key) {
    const std::uint64_t size = envelope.content.size();
    platform::CipherBlock iv = envelope.iv, last{};
    if (size > blockSize && !envelope.content.read(file, size - 2 * blockSize, iv.data(), iv.size()))
        throw SealError(truncated);
    if (!envelope.content.read(file, size - blockSize, last.data(), last.size())) throw SealError(truncated);
    if (!cryptography.decryptBlocks(key, iv, last.data(), last.size())) return std::nullopt;
    const std::uint8_t padding = last.back();
    if (padding == 0 || padding > blockSize ||
        !std::all_of(last.end() - padding, last.end(), [&](std::uint8_t b) { return b == padding; }))
        return std::nullopt;
    return size - padding;
}

// Without a given key: the key of a recipient's certificate in the user's certificate store.
std::unique_ptr<platform::PrivateKey> storedKey(platform::Cryptography& cryptography,
                                                const std::vector<Recipient>& recipients) {
    platform::StoreProblem problem = platform::StoreProblem::notFound;
    std::uint32_t unusable = 0;
    for (const Recipient& recipient : recipients) {
        if (recipient.issuer.empty()) continue;
        std::uint32_t systemError = 0;
        auto key = cryptography.storedKey(recipient.issuer, recipient.serialNumber, problem, systemError);
        if (key) return key;
        if (problem == platform::StoreProblem::noStore) throw SealError(noKey);
        if (problem == platform::StoreProblem::keyUnusable) unusable = systemError;
    }
    if (unusable == 0)
        throw SealError("versiegelte Datei: kein passendes Zertifikat mit privatem Schluessel im Zertifikatspeicher "
                        "des Benutzers (Eigene Zertifikate); den Schluessel mit --key angeben");
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(unusable));
    throw SealError(std::string("versiegelte Datei: das passende Zertifikat im Zertifikatspeicher des Benutzers hat "
                                "keinen nutzbaren privaten Schluessel (Fehler ") +
                    code + "); den Schluessel mit --key angeben");
}

}  // namespace

bool isSealed(platform::FileStream& file) {
    std::uint8_t start[32] = {};
    std::uint64_t position = 0;
    std::uint32_t read = 0;
    const bool readable = file.seek(0, platform::FileStream::fromBegin, position) == platform::error::success &&
                          file.read(start, sizeof start, read) == platform::error::success;
    file.seek(0, platform::FileStream::fromBegin, position);
    Header outer;
    if (!readable || parseHeader(ByteView(start, read), outer) != HeaderParse::ok || outer.tag != tag::sequence)
        return false;
    const ByteView type = ByteView(start, read).subspan(outer.size);
    return type.size() >= 2 + sizeof oid::envelopedData && type[0] == tag::oid &&
           type[1] == sizeof oid::envelopedData && sameBytes(type.subspan(2, type[1]), oid::envelopedData);
}

std::unique_ptr<platform::FileStream> unsealed(std::unique_ptr<platform::FileStream> file, const Opener* opener) {
    if (!isSealed(*file)) return file;
    if (!opener) throw SealError(noKey);
    Envelope envelope = readEnvelope(*file);
    std::unique_ptr<platform::PrivateKey> stored;
    platform::PrivateKey* privateKey = opener->key;
    if (!privateKey) privateKey = (stored = storedKey(opener->cryptography, envelope.recipients)).get();
    for (const Recipient& recipient : envelope.recipients) {
        const auto secret = privateKey->unwrap(recipient.wrappedKey);
        if (!secret || secret->size() != platform::ContentKey{}.size()) continue;
        platform::ContentKey key{};
        std::copy(secret->begin(), secret->end(), key.begin());
        const auto plainSize = plainSizeWith(*file, envelope, opener->cryptography, key);
        if (!plainSize) continue;
        return std::make_unique<UnsealedStream>(std::move(file), std::move(envelope), opener->cryptography, key,
                                                *plainSize);
    }
    throw SealError(wrongKey);
}

}  // namespace seal
