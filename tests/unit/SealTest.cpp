// The sealed-file codec: what it writes reads back exactly at any position, and
// every shortened file is refused rather than read.
#include "fakes/MemoryStream.h"
#include "platform/Native.h"
#include "seal/SealedFile.h"
#include "seal/Sealing.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The real AES and random bytes; RSA replaced by a key that "wraps" by copying, so no key pair is needed.
class CopyingKey final : public platform::PrivateKey {
public:
    explicit CopyingKey(bool other = false) : other_(other) {}
    // Another RSA key fails PKCS#1 v1.5 unwrapping.
    std::optional<platform::Bytes> unwrap(const platform::Bytes& wrapped) override {
        return other_ ? std::nullopt : std::optional(wrapped);
    }

private:
    bool other_;
};

class TestCryptography final : public platform::Cryptography {
public:
    bool randomBytes(std::uint8_t* data, std::size_t size) override { return real().randomBytes(data, size); }
    bool encryptBlocks(const platform::ContentKey& key, platform::CipherBlock& iv, std::uint8_t* data,
                       std::size_t size) override {
        return real().encryptBlocks(key, iv, data, size);
    }
    bool decryptBlocks(const platform::ContentKey& key, const platform::CipherBlock& iv, std::uint8_t* data,
                       std::size_t size) override {
        return real().decryptBlocks(key, iv, data, size);
    }
    std::optional<platform::Bytes> wrapForPublicKey(const platform::Bytes&, const platform::Bytes& secret) override {
        return secret;
    }
    std::unique_ptr<platform::PrivateKey> loadPrivateKey(const platform::Bytes&, const std::optional<std::string>&,
                                                         platform::KeyProblem&) override {
        return nullptr;
    }
    // The store holds the key of one certificate: issuer {0x30, 0x00}, serial number 5.
    std::unique_ptr<platform::PrivateKey> storedKey(const platform::Bytes& issuer, const platform::Bytes& serial,
                                                    platform::StoreProblem& problem, std::uint32_t&) override {
        problem = platform::StoreProblem::notFound;
        if (issuer != platform::Bytes{0x30, 0x00} || serial != platform::Bytes{0x05}) return nullptr;
        return std::make_unique<CopyingKey>();
    }
    std::unique_ptr<platform::Digest> sha256() override { return real().sha256(); }
    std::optional<std::string> askPassphrase(const std::string&) override { return std::nullopt; }

private:
    static platform::Cryptography& real() { return platform::nativeCryptography(); }
};

const seal::Certificate recipient{{0x30, 0x00}, {0x02, 0x01, 0x05}, {}, true, 0};

std::string sealed(TestCryptography& cryptography, std::string plain) {
    std::string out;
    MemoryStream input(plain), output(out);
    seal::sealStream(cryptography, recipient, input, output);
    return out;
}

std::unique_ptr<platform::FileStream> opened(std::string& file, TestCryptography& cryptography,
                                             platform::PrivateKey& key) {
    const seal::Opener opener{cryptography, &key};
    return seal::unsealed(std::make_unique<MemoryStream>(file), &opener);
}

std::string readAt(platform::FileStream& stream, std::uint64_t position, std::uint32_t size) {
    std::uint64_t at = 0;
    std::string bytes(size, '\0');
    std::uint32_t read = 0;
    EXPECT_EQ(stream.seek(static_cast<std::int64_t>(position), platform::FileStream::fromBegin, at), 0u);
    EXPECT_EQ(stream.read(bytes.data(), size, read), 0u);
    bytes.resize(read);
    return bytes;
}

TEST(Sealing, ReadsBackEverySizeAtAnyPosition) {
    TestCryptography cryptography;
    CopyingKey key;
    std::mt19937 random(7);
    // Around the block, the piece (1 MiB) and the reader's window (256 KiB).
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{262'159},
                                   std::size_t{1} << 20, (std::size_t{1} << 20) + 17}) {
        std::string plain(size, '\0');
        for (char& c : plain) c = static_cast<char>(random());
        std::string file = sealed(cryptography, plain);
        const auto stream = opened(file, cryptography, key);
        std::uint64_t length = 0;
        ASSERT_EQ(stream->size(length), 0u);
        ASSERT_EQ(length, size);
        EXPECT_EQ(readAt(*stream, 0, static_cast<std::uint32_t>(size) + 5), plain) << size;
        for (int probe = 0; probe < 20 && size > 0; ++probe) {
            const std::size_t at = random() % size, count = random() % 70'000;
            EXPECT_EQ(readAt(*stream, at, static_cast<std::uint32_t>(count)), plain.substr(at, count)) << size;
        }
    }
}

TEST(Sealing, RefusesEveryShortenedFileAndAnotherKey) {
    TestCryptography cryptography;
    CopyingKey key, otherKey(true);
    const std::string file = sealed(cryptography, std::string(100, 'x'));
    for (std::size_t cut = 20; cut < file.size(); ++cut) {
        std::string shortened = file.substr(0, cut);
        EXPECT_THROW(opened(shortened, cryptography, key), seal::SealError) << cut;
    }
    std::string whole = file;
    EXPECT_THROW(opened(whole, cryptography, otherKey), seal::SealError);
}

TEST(Sealing, WithoutAKeyTakesTheStoredKeyOfTheRecipientsCertificate) {
    TestCryptography cryptography;
    std::string file = sealed(cryptography, "plain");
    const seal::Opener opener{cryptography, nullptr};
    EXPECT_EQ(readAt(*seal::unsealed(std::make_unique<MemoryStream>(file), &opener), 0, 10), "plain");
}

}  // namespace
