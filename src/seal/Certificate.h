#pragma once
#include "seal/Der.h"

#include <cstdint>
#include <optional>

namespace seal {

// What sealing takes from support's X.509 certificate.
struct Certificate {
    Bytes issuer;                // the Name, header included
    Bytes serialNumber;          // the INTEGER, header included
    Bytes subjectPublicKeyInfo;  // header included
    bool rsa = false;
    std::int64_t notAfter = 0;  // seconds since 1970-01-01 UTC
};

// A PEM or DER certificate; nothing when the bytes hold none.
std::optional<Certificate> parseCertificate(const Bytes& file);

enum class CertificateProblem { none, unreadable, notRsa, expired };

// Whether FILE holds a certificate sealing can use at NOW (seconds since 1970):
// an RSA key, not expired. CERTIFICATE is filled whenever the file holds one.
CertificateProblem usableCertificate(const Bytes& file, std::int64_t now, Certificate& certificate);

// The bytes between the first "-----BEGIN LABEL-----" and its end line, decoded;
// nothing when there is no such block or it is no base64.
std::optional<Bytes> pemBlock(const Bytes& file, const std::string& label);

// "YYYY-MM-DD hh:mm UTC", for messages.
std::string utcText(std::int64_t secondsSince1970);

}  // namespace seal
