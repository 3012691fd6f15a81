#include "platform/Native.h"

#include <openssl/decoder.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <climits>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    void operator()(OSSL_DECODER_CTX* context) const { OSSL_DECODER_CTX_free(context); }
    void operator()(PKCS12* container) const { PKCS12_free(container); }
    void operator()(X509* certificate) const { X509_free(certificate); }
};
template <typename T> using Owned = std::unique_ptr<T, KeyFree>;

bool isRsa(EVP_PKEY* key) { return EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA; }

// Both directions take the same shape: one context per call, whole blocks, no padding.
bool runCbc(bool encrypt, const ContentKey& key, const CipherBlock& iv, std::uint8_t* data, std::size_t size) {
    Owned<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
    if (!context || size % iv.size() != 0 ||
        EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1)
        return false;
    for (std::size_t done = 0; done < size;) {
        const int piece = static_cast<int>(std::min<std::size_t>(size - done, INT_MAX & ~15));
        int written = 0;
        if (EVP_CipherUpdate(context.get(), data + done, &written, data + done, piece) != 1 || written != piece)
            return false;
        done += static_cast<std::size_t>(piece);
    }
    return true;
}

std::optional<Bytes> runRsa(EVP_PKEY* key, bool encrypt, const Bytes& input) {
    Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || (encrypt ? EVP_PKEY_encrypt_init(context.get()) : EVP_PKEY_decrypt_init(context.get())) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1)
        return std::nullopt;
    const auto step = encrypt ? EVP_PKEY_encrypt : EVP_PKEY_decrypt;
    std::size_t size = 0;
    if (step(context.get(), nullptr, &size, input.data(), input.size()) != 1) return std::nullopt;
    Bytes output(size);
    if (step(context.get(), output.data(), &size, input.data(), input.size()) != 1) return std::nullopt;
    output.resize(size);
    return output;
}

class OpenSslKey final : public PrivateKey {
public:
    explicit OpenSslKey(Owned<EVP_PKEY> key) : key_(std::move(key)) {}
    std::optional<Bytes> unwrap(const Bytes& wrapped) override { return runRsa(key_.get(), false, wrapped); }

private:
    Owned<EVP_PKEY> key_;
};

class OpenSslDigest final : public Digest {
public:
    explicit OpenSslDigest(Owned<EVP_MD_CTX> context) : context_(std::move(context)) {}

    bool add(const std::uint8_t* data, std::size_t size) override {
        return EVP_DigestUpdate(context_.get(), data, size) == 1;
    }

    std::optional<Sha256Value> finish() override {
        Sha256Value value{};
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(context_.get(), value.data(), &size) != 1 || size != value.size()) return std::nullopt;
        return value;
    }

private:
    Owned<EVP_MD_CTX> context_;
};

struct PassphraseUse {
    const std::optional<std::string>& passphrase;
    bool asked = false;
};

int supplyPassphrase(char* buffer, int size, int, void* user) {
    auto& use = *static_cast<PassphraseUse*>(user);
    use.asked = true;
    if (!use.passphrase || use.passphrase->size() > static_cast<std::size_t>(size)) return -1;
    std::copy(use.passphrase->begin(), use.passphrase->end(), buffer);
    return static_cast<int>(use.passphrase->size());
}

Owned<EVP_PKEY> fromPkcs12(const Bytes& file, const std::optional<std::string>& passphrase, KeyProblem& problem) {
    const unsigned char* start = file.data();
    Owned<PKCS12> container(d2i_PKCS12(nullptr, &start, static_cast<long>(file.size())));
    if (!container) return nullptr;
    // Without a passphrase the empty one is tried, as exported files often use it.
    const std::string secret = passphrase.value_or("");
    if (PKCS12_mac_present(container.get()) && !PKCS12_verify_mac(container.get(), secret.data(), static_cast<int>(secret.size()))) {
        problem = passphrase ? KeyProblem::wrongPassphrase : KeyProblem::needsPassphrase;
        return nullptr;
    }
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    if (PKCS12_parse(container.get(), secret.c_str(), &key, &certificate, nullptr) != 1) {
        problem = KeyProblem::unreadable;
        return nullptr;
    }
    Owned<X509> dropped(certificate);
    return Owned<EVP_PKEY>(key);
}

Owned<EVP_PKEY> fromKeyFile(const Bytes& file, const std::optional<std::string>& passphrase, KeyProblem& problem) {
    EVP_PKEY* key = nullptr;
    Owned<OSSL_DECODER_CTX> decoder(
        OSSL_DECODER_CTX_new_for_pkey(&key, nullptr, nullptr, nullptr, EVP_PKEY_KEYPAIR, nullptr, nullptr));
    PassphraseUse use{passphrase};
    if (!decoder || OSSL_DECODER_CTX_set_pem_password_cb(decoder.get(), supplyPassphrase, &use) != 1) {
        problem = KeyProblem::unreadable;
        return nullptr;
    }
    const unsigned char* data = file.data();
    std::size_t left = file.size();
    if (OSSL_DECODER_from_data(decoder.get(), &data, &left) != 1 || !key) {
        problem = !use.asked ? KeyProblem::unreadable
                  : passphrase ? KeyProblem::wrongPassphrase
                               : KeyProblem::needsPassphrase;
        return nullptr;
    }
    return Owned<EVP_PKEY>(key);
}

class OpenSslCryptography final : public Cryptography {
public:
    bool randomBytes(std::uint8_t* data, std::size_t size) override {
        return size <= INT_MAX && RAND_bytes(data, static_cast<int>(size)) == 1;
    }

    bool encryptBlocks(const ContentKey& key, CipherBlock& iv, std::uint8_t* data, std::size_t size) override {
        if (!runCbc(true, key, iv, data, size)) return false;
        if (size > 0) std::copy(data + size - iv.size(), data + size, iv.begin());
        return true;
    }

    bool decryptBlocks(const ContentKey& key, const CipherBlock& iv, std::uint8_t* data, std::size_t size) override {
        return runCbc(false, key, iv, data, size);
    }

    std::optional<Bytes> wrapForPublicKey(const Bytes& subjectPublicKeyInfo, const Bytes& secret) override {
        const unsigned char* start = subjectPublicKeyInfo.data();
        Owned<EVP_PKEY> key(d2i_PUBKEY(nullptr, &start, static_cast<long>(subjectPublicKeyInfo.size())));
        if (!key || !isRsa(key.get())) return std::nullopt;
        return runRsa(key.get(), true, secret);
    }

    std::unique_ptr<PrivateKey> loadPrivateKey(const Bytes& file, const std::optional<std::string>& passphrase,
                                               KeyProblem& problem) override {
        problem = KeyProblem::none;
        Owned<EVP_PKEY> key = fromPkcs12(file, passphrase, problem);
        if (!key && problem == KeyProblem::none) key = fromKeyFile(file, passphrase, problem);
        if (!key) return nullptr;
        if (!isRsa(key.get())) {
            problem = KeyProblem::notRsa;
            return nullptr;
        }
        return std::make_unique<OpenSslKey>(std::move(key));
    }

    std::unique_ptr<Digest> sha256() override {
        Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
        if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return nullptr;
        return std::make_unique<OpenSslDigest>(std::move(context));
    }

    std::optional<std::string> askPassphrase(const std::string& prompt) override {
        const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0) return std::nullopt;
        termios saved{};
        const bool quiet = tcgetattr(terminal, &saved) == 0;
        if (quiet) {
            termios silent = saved;
            silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
            tcsetattr(terminal, TCSAFLUSH, &silent);
        }
        [[maybe_unused]] const auto shown = ::write(terminal, prompt.data(), prompt.size());
        std::string answer;
        char c = 0;
        while (::read(terminal, &c, 1) == 1 && c != '\n') answer += c;
        if (quiet) tcsetattr(terminal, TCSAFLUSH, &saved);
        [[maybe_unused]] const auto newline = ::write(terminal, "\n", 1);
        close(terminal);
        return answer;
    }
};

}  // namespace

Cryptography& nativeCryptography() {
    static OpenSslCryptography cryptography;
    return cryptography;
}

}  // namespace platform
