#pragma once
#include "platform/Cryptography.h"
#include "platform/FileStreams.h"

#include <memory>

namespace seal {

// What opens sealed files: the primitives and support's private key; when none was given,
// the user's certificate store is asked for the key of the file's recipient.
struct Opener {
    platform::Cryptography& cryptography;
    platform::PrivateKey* key = nullptr;
};

// True when FILE, read from its start, begins as CMS enveloped data. Leaves it at its start.
bool isSealed(platform::FileStream& file);

// The input every reading command works on: a sealed FILE becomes its plain
// content, decrypted block by block as it is read at any position (nothing
// plain is written anywhere, memory stays flat); any other file is returned as
// it is. Throws SealError, with a message of its own for a missing key, a
// wrong key, a truncated, damaged or foreign file.
std::unique_ptr<platform::FileStream> unsealed(std::unique_ptr<platform::FileStream> file, const Opener* opener);

}  // namespace seal
