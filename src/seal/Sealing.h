#pragma once
#include "platform/Cryptography.h"
#include "platform/FileStreams.h"
#include "seal/Certificate.h"

#include <optional>

namespace seal {

// Seals INPUT, read from its start, into OUTPUT as CMS enveloped data (BER):
// AES-256-CBC with a fresh random key and IV, the key wrapped to the
// certificate's RSA key (PKCS#1 v1.5), the content streamed in pieces.
// Throws SealError when reading, the primitives or writing fail.
void sealStream(platform::Cryptography& cryptography, const Certificate& recipient, platform::FileStream& input,
                platform::FileStream& output);

// A small file whole (a certificate, a key), from its start; nothing when it
// cannot be read or is larger than LIMIT.
std::optional<Bytes> readSmallFile(platform::FileStream& file, std::size_t limit = std::size_t{1} << 20);

}  // namespace seal
