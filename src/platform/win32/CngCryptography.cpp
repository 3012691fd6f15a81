#include "platform/Native.h"
#include "seal/Der.h"
#include "text/Utf8.h"

#include <windows.h>
#include <bcrypt.h>
#include <ncrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <limits>

namespace platform {
namespace {

constexpr DWORD encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

bool succeeded(NTSTATUS status) { return status >= 0; }

struct KeyHandle {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~KeyHandle() {
        if (handle) BCryptDestroyKey(handle);
    }
};
struct HashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashHandle() {
        if (handle) BCryptDestroyHash(handle);
    }
};
struct ProviderHandle {
    HCRYPTPROV handle = 0;
    ~ProviderHandle() {
        if (handle) CryptReleaseContext(handle, 0);
    }
};
struct LocalMemory {
    void* data = nullptr;
    ~LocalMemory() {
        if (data) LocalFree(data);
    }
};

// The AES provider in CBC mode, opened once: opening it costs far more than a block.
BCRYPT_ALG_HANDLE aesCbc() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
        if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_AES_ALGORITHM, nullptr, 0))) return opened = nullptr;
        if (succeeded(BCryptSetProperty(opened, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode), sizeof mode, 0)))
            return opened;
        BCryptCloseAlgorithmProvider(opened, 0);
        return opened = nullptr;
    }();
    return provider;
}

// The SHA-256 provider, opened once for the same reason.
BCRYPT_ALG_HANDLE sha256Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        return succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? opened : nullptr;
    }();
    return provider;
}

class CngDigest final : public Digest {
public:
    explicit CngDigest(BCRYPT_HASH_HANDLE hash) : hash_{hash} {}

    bool add(const std::uint8_t* data, std::size_t size) override {
        constexpr std::size_t largestPiece = std::numeric_limits<ULONG>::max();
        for (std::size_t done = 0; done < size;) {
            const auto piece = static_cast<ULONG>(std::min(size - done, largestPiece));
            if (!succeeded(BCryptHashData(hash_.handle, const_cast<PUCHAR>(data + done), piece, 0))) return false;
            done += piece;
        }
        return true;
    }

    std::optional<Sha256Value> finish() override {
        Sha256Value value{};
        if (!succeeded(BCryptFinishHash(hash_.handle, value.data(), static_cast<ULONG>(value.size()), 0)))
            return std::nullopt;
        return value;
    }

private:
    HashHandle hash_;
};

// AES-256-CBC over whole blocks, without padding; the IV buffer ends as the last cipher block.
bool runCbc(bool encrypt, const ContentKey& key, CipherBlock& iv, std::uint8_t* data, std::size_t size) {
    KeyHandle aes;
    if (size % iv.size() != 0 || size > MAXDWORD || !aesCbc() ||
        !succeeded(BCryptGenerateSymmetricKey(aesCbc(), &aes.handle, nullptr, 0,
                                              const_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()), 0)))
        return false;
    Bytes input(data, data + size);
    ULONG written = 0;
    const auto run = encrypt ? BCryptEncrypt : BCryptDecrypt;
    return succeeded(run(aes.handle, input.data(), static_cast<ULONG>(size), nullptr, iv.data(),
                         static_cast<ULONG>(iv.size()), data, static_cast<ULONG>(size), &written, 0)) &&
           written == size;
}

// A CryptoAPI RSA key: it takes and gives numbers in little-endian order.
class CapiKey final : public PrivateKey {
public:
    CapiKey(HCRYPTPROV provider, HCRYPTKEY key, bool ownsProvider)
        : provider_(provider), key_(key), ownsProvider_(ownsProvider) {}
    ~CapiKey() override {
        CryptDestroyKey(key_);
        if (ownsProvider_) CryptReleaseContext(provider_, 0);
    }

    std::optional<Bytes> unwrap(const Bytes& wrapped) override {
        Bytes data(wrapped.rbegin(), wrapped.rend());
        DWORD size = static_cast<DWORD>(data.size());
        if (!CryptDecrypt(key_, 0, TRUE, 0, data.data(), &size)) return std::nullopt;
        data.resize(size);
        return data;
    }

private:
    HCRYPTPROV provider_;
    HCRYPTKEY key_;
    bool ownsProvider_;
};

// A key of a CNG key storage provider: it takes numbers in big-endian order.
class NcryptKey final : public PrivateKey {
public:
    NcryptKey(NCRYPT_KEY_HANDLE key, bool owned) : key_(key), owned_(owned) {}
    ~NcryptKey() override {
        if (owned_) NCryptFreeObject(key_);
    }

    std::optional<Bytes> unwrap(const Bytes& wrapped) override {
        Bytes data(wrapped.size());
        DWORD size = 0;
        if (NCryptDecrypt(key_, const_cast<PBYTE>(wrapped.data()), static_cast<DWORD>(wrapped.size()), nullptr,
                          data.data(), static_cast<DWORD>(data.size()), &size, NCRYPT_PAD_PKCS1_FLAG) != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size);
        return data;
    }

private:
    NCRYPT_KEY_HANDLE key_;
    bool owned_;
};

std::optional<Bytes> decoded(LPCSTR structure, const std::uint8_t* data, std::size_t size) {
    DWORD length = 0;
    if (!CryptDecodeObjectEx(encoding, structure, data, static_cast<DWORD>(size), 0, nullptr, nullptr, &length))
        return std::nullopt;
    Bytes out(length);
    if (!CryptDecodeObjectEx(encoding, structure, data, static_cast<DWORD>(size), 0, nullptr, out.data(), &length))
        return std::nullopt;
    out.resize(length);
    return out;
}

// The DER inside a PEM file, or the file itself.
Bytes derOf(const Bytes& file) {
    DWORD length = 0;
    const auto text = reinterpret_cast<const char*>(file.data());
    if (!CryptStringToBinaryA(text, static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64HEADER, nullptr, &length,
                              nullptr, nullptr))
        return file;
    Bytes der(length);
    CryptStringToBinaryA(text, static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64HEADER, der.data(), &length,
                         nullptr, nullptr);
    der.resize(length);
    return der;
}

std::unique_ptr<PrivateKey> importRsa(const Bytes& privateKeyBlob) {
    ProviderHandle provider;
    HCRYPTKEY key = 0;
    if (!CryptAcquireContextW(&provider.handle, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptImportKey(provider.handle, privateKeyBlob.data(), static_cast<DWORD>(privateKeyBlob.size()), 0, 0,
                        &key))
        return nullptr;
    auto result = std::make_unique<CapiKey>(provider.handle, key, true);
    provider.handle = 0;
    return result;
}

// PKCS#1 RSAPrivateKey or unencrypted PKCS#8, PEM or DER.
std::unique_ptr<PrivateKey> fromKeyFile(const Bytes& file, KeyProblem& problem) {
    const Bytes der = derOf(file);
    Bytes rsaKey = der;
    // PKCS#8 is unwrapped here: not every CryptoAPI (Wine's) decodes PrivateKeyInfo.
    try {
        seal::DerCursor outer(der, "");
        seal::DerCursor info(outer.content(seal::tag::sequence), "");
        info.content(seal::tag::integer);
        seal::DerCursor algorithm(info.content(seal::tag::sequence), "");
        if (!seal::sameBytes(algorithm.content(seal::tag::oid), seal::oid::rsaEncryption)) {
            problem = KeyProblem::notRsa;
            return nullptr;
        }
        const seal::ByteView inner = info.content(seal::tag::octetString);
        rsaKey.assign(inner.begin(), inner.end());
    } catch (const seal::SealError&) {
        // PKCS#1 as it is
    }
    const auto blob = decoded(PKCS_RSA_PRIVATE_KEY, rsaKey.data(), rsaKey.size());
    auto key = blob ? importRsa(*blob) : nullptr;
    if (!key) problem = KeyProblem::unreadable;
    return key;
}

// The private key that belongs to CERTIFICATE; ERROR tells why there is none.
std::unique_ptr<PrivateKey> keyOf(PCCERT_CONTEXT certificate, DWORD& error) {
    HCRYPTPROV provider = 0;
    DWORD keySpec = 0;
    BOOL release = FALSE;
    if (!CryptAcquireCertificatePrivateKey(certificate, CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG, nullptr, &provider,
                                           &keySpec, &release)) {
        error = GetLastError();
        // A key kept out of every store is found only through the certificate's key context (so under Wine).
        CERT_KEY_CONTEXT context{};
        DWORD size = sizeof context;
        if (!CertGetCertificateContextProperty(certificate, CERT_KEY_CONTEXT_PROP_ID, &context, &size) ||
            !CryptContextAddRef(context.hCryptProv, nullptr, 0))
            return nullptr;
        provider = context.hCryptProv;
        keySpec = context.dwKeySpec;
        release = TRUE;
    }
    if (keySpec == CERT_NCRYPT_KEY_SPEC) return std::make_unique<NcryptKey>(provider, release != FALSE);
    // Key transport takes the exchange key; Wine names keys from PKCS#12 files as both kinds (3).
    if (keySpec != AT_SIGNATURE) keySpec = AT_KEYEXCHANGE;
    HCRYPTKEY key = 0;
    if (CryptGetUserKey(provider, keySpec, &key)) return std::make_unique<CapiKey>(provider, key, release != FALSE);
    error = GetLastError();
    if (release) CryptReleaseContext(provider, 0);
    return nullptr;
}

std::unique_ptr<PrivateKey> fromPkcs12(const Bytes& file, const std::optional<std::string>& passphrase,
                                       KeyProblem& problem) {
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(file.size()), const_cast<BYTE*>(file.data())};
    // Without a passphrase the empty one is tried, as exported files often use it.
    const std::wstring secret = text::utf8ToWide(passphrase.value_or(""));
    // The key stays in this process only, never in the user's key store.
    HCERTSTORE store = PFXImportCertStore(&blob, secret.c_str(), PKCS12_NO_PERSIST_KEY);
    if (!store) {
        const bool refused = GetLastError() == ERROR_INVALID_PASSWORD;
        problem = !refused ? KeyProblem::unreadable : passphrase ? KeyProblem::wrongPassphrase
                                                                 : KeyProblem::needsPassphrase;
        return nullptr;
    }
    std::unique_ptr<PrivateKey> found;
    DWORD error = 0;
    for (PCCERT_CONTEXT certificate = nullptr;
         !found && (certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr;) {
        if ((found = keyOf(certificate, error))) CertFreeCertificateContext(certificate);
    }
    CertCloseStore(store, 0);
    if (!found) problem = KeyProblem::unreadable;
    return found;
}

class CngCryptography final : public Cryptography {
public:
    bool randomBytes(std::uint8_t* data, std::size_t size) override {
        return size <= std::numeric_limits<ULONG>::max() &&
               succeeded(BCryptGenRandom(nullptr, data, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
    }

    bool encryptBlocks(const ContentKey& key, CipherBlock& iv, std::uint8_t* data, std::size_t size) override {
        if (!runCbc(true, key, iv, data, size)) return false;
        if (size > 0) std::copy(data + size - iv.size(), data + size, iv.begin());
        return true;
    }

    bool decryptBlocks(const ContentKey& key, const CipherBlock& iv, std::uint8_t* data, std::size_t size) override {
        CipherBlock chain = iv;
        return runCbc(false, key, chain, data, size);
    }

    std::optional<Bytes> wrapForPublicKey(const Bytes& subjectPublicKeyInfo, const Bytes& secret) override {
        LocalMemory info;
        DWORD length = 0;
        KeyHandle rsa;
        if (!CryptDecodeObjectEx(encoding, X509_PUBLIC_KEY_INFO, subjectPublicKeyInfo.data(),
                                 static_cast<DWORD>(subjectPublicKeyInfo.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                                 &info.data, &length) ||
            !CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, static_cast<PCERT_PUBLIC_KEY_INFO>(info.data), 0, nullptr,
                                         &rsa.handle))
            return std::nullopt;
        ULONG size = 0;
        PUCHAR input = const_cast<PUCHAR>(secret.data());
        const auto inputSize = static_cast<ULONG>(secret.size());
        if (!succeeded(BCryptEncrypt(rsa.handle, input, inputSize, nullptr, nullptr, 0, nullptr, 0, &size,
                                     BCRYPT_PAD_PKCS1)))
            return std::nullopt;
        Bytes wrapped(size);
        if (!succeeded(BCryptEncrypt(rsa.handle, input, inputSize, nullptr, nullptr, 0, wrapped.data(), size, &size,
                                     BCRYPT_PAD_PKCS1)))
            return std::nullopt;
        wrapped.resize(size);
        return wrapped;
    }

    std::unique_ptr<PrivateKey> loadPrivateKey(const Bytes& file, const std::optional<std::string>& passphrase,
                                               KeyProblem& problem) override {
        problem = KeyProblem::none;
        CRYPT_DATA_BLOB blob{static_cast<DWORD>(file.size()), const_cast<BYTE*>(file.data())};
        if (PFXIsPFXBlob(&blob)) return fromPkcs12(file, passphrase, problem);
        return fromKeyFile(file, problem);
    }

    std::unique_ptr<PrivateKey> storedKey(const Bytes& issuer, const Bytes& serial, StoreProblem& problem,
                                          std::uint32_t& systemError) override {
        problem = StoreProblem::notFound;
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                         CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_OPEN_EXISTING_FLAG |
                                             CERT_STORE_READONLY_FLAG,
                                         L"MY");
        if (!store) return nullptr;
        Bytes littleEndian(serial.rbegin(), serial.rend());
        CERT_INFO wanted{};
        wanted.Issuer = {static_cast<DWORD>(issuer.size()), const_cast<BYTE*>(issuer.data())};
        wanted.SerialNumber = {static_cast<DWORD>(littleEndian.size()), littleEndian.data()};
        std::unique_ptr<PrivateKey> key;
        if (PCCERT_CONTEXT certificate =
                CertFindCertificateInStore(store, encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr)) {
            DWORD error = 0;
            key = keyOf(certificate, error);
            if (!key) {
                problem = StoreProblem::keyUnusable;
                systemError = error;
            }
            CertFreeCertificateContext(certificate);
        }
        CertCloseStore(store, 0);
        return key;
    }

    std::unique_ptr<Digest> sha256() override {
        BCRYPT_HASH_HANDLE hash = nullptr;
        // Without a buffer of ours the system keeps the hash object's memory.
        if (!sha256Provider() || !succeeded(BCryptCreateHash(sha256Provider(), &hash, nullptr, 0, nullptr, 0, 0)))
            return nullptr;
        return std::make_unique<CngDigest>(hash);
    }

    std::optional<std::string> askPassphrase(const std::string& prompt) override {
        HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (input == INVALID_HANDLE_VALUE) return std::nullopt;
        HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0, count = 0;
        GetConsoleMode(input, &mode);
        SetConsoleMode(input, (mode & ~DWORD{ENABLE_ECHO_INPUT}) | ENABLE_LINE_INPUT);
        const std::wstring shown = text::utf8ToWide(prompt);
        if (output != INVALID_HANDLE_VALUE) WriteConsoleW(output, shown.c_str(), static_cast<DWORD>(shown.size()), &count, nullptr);
        std::wstring answer;
        wchar_t character = 0;
        while (ReadConsoleW(input, &character, 1, &count, nullptr) && count == 1 && character != L'\n') {
            if (character != L'\r') answer += character;
        }
        SetConsoleMode(input, mode);
        if (output != INVALID_HANDLE_VALUE) {
            WriteConsoleW(output, L"\r\n", 2, &count, nullptr);
            CloseHandle(output);
        }
        CloseHandle(input);
        return text::wideToUtf8(answer);
    }
};

}  // namespace

Cryptography& nativeCryptography() {
    static CngCryptography cryptography;
    return cryptography;
}

}  // namespace platform
