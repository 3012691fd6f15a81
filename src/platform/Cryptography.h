#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using Bytes = std::vector<std::uint8_t>;
using ContentKey = std::array<std::uint8_t, 32>;  // AES-256
using CipherBlock = std::array<std::uint8_t, 16>;
using Sha256Value = std::array<std::uint8_t, 32>;

// A SHA-256 of bytes given piece by piece.
class Digest {
public:
    virtual ~Digest() = default;
    virtual bool add(const std::uint8_t* data, std::size_t size) = 0;
    // Nothing when a step failed; the object is used up.
    virtual std::optional<Sha256Value> finish() = 0;
};

// A private RSA key, loaded from a file support holds.
class PrivateKey {
public:
    virtual ~PrivateKey() = default;
    // The secret that RSA PKCS#1 v1.5 wrapped for this key; nothing when it was wrapped for another.
    virtual std::optional<Bytes> unwrap(const Bytes& wrapped) = 0;
};

// Why a private key file gave no key.
enum class KeyProblem { none, unreadable, needsPassphrase, wrongPassphrase, notRsa };

// Why the user's certificate store gave no key.
enum class StoreProblem { noStore, notFound, keyUnusable };

// The cryptographic primitives sealing is built on, all done by the system's
// own library: random bytes, AES-256-CBC over whole blocks (the caller pads),
// RSA PKCS#1 v1.5 key transport, SHA-256.
class Cryptography {
public:
    virtual ~Cryptography() = default;

    virtual bool randomBytes(std::uint8_t* data, std::size_t size) = 0;
    // In place; IV becomes the last cipher block, so the next call continues the chain.
    virtual bool encryptBlocks(const ContentKey& key, CipherBlock& iv, std::uint8_t* data, std::size_t size) = 0;
    virtual bool decryptBlocks(const ContentKey& key, const CipherBlock& iv, std::uint8_t* data, std::size_t size) = 0;
    // The secret wrapped to the RSA key of a DER SubjectPublicKeyInfo; nothing when the key is unusable.
    virtual std::optional<Bytes> wrapForPublicKey(const Bytes& subjectPublicKeyInfo, const Bytes& secret) = 0;
    // A key from a PEM or DER private key (PKCS#1, PKCS#8, encrypted PKCS#8) or a PKCS#12 file.
    virtual std::unique_ptr<PrivateKey> loadPrivateKey(const Bytes& file, const std::optional<std::string>& passphrase,
                                                       KeyProblem& problem) = 0;
    // The private key of the certificate with ISSUER (a DER Name) and SERIAL (big-endian) in the current
    // user's certificate store; SYSTEM_ERROR tells why a certificate found there gave no usable key.
    // Systems without such a store have none.
    virtual std::unique_ptr<PrivateKey> storedKey(const Bytes&, const Bytes&, StoreProblem& problem,
                                                  std::uint32_t&) {
        problem = StoreProblem::noStore;
        return nullptr;
    }
    // Nothing when the library offers no SHA-256.
    virtual std::unique_ptr<Digest> sha256() = 0;
    // Asks on the terminal without echo; nothing when there is no terminal.
    virtual std::optional<std::string> askPassphrase(const std::string& prompt) = 0;
};

}  // namespace platform
