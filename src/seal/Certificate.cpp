#include "seal/Certificate.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace seal {
namespace {

std::optional<Bytes> base64(std::string_view text) {
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') value = c - 'A';
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
        else if (c >= '0' && c <= '9') value = c - '0' + 52;
        else if (c == '+') value = 62;
        else if (c == '/') value = 63;
        else if (c == '=' || c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        else return std::nullopt;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<std::uint8_t>(bits >> 16));
            out.push_back(static_cast<std::uint8_t>(bits >> 8));
            out.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1) return std::nullopt;
    if (count >= 2) out.push_back(static_cast<std::uint8_t>(bits >> (count == 2 ? 4 : 10)));
    if (count == 3) out.push_back(static_cast<std::uint8_t>(bits >> 2));
    return out;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::optional<std::int64_t> x509Time(std::uint8_t tag, ByteView content) {
    const std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
    const std::size_t yearDigits = tag == tag::utcTime ? 2 : 4;
    if (text.size() != yearDigits + 11 || text.back() != 'Z' ||
        !std::all_of(text.begin(), text.end() - 1, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[at + i] - '0');
        return value;
    };
    int year = number(0, yearDigits);
    if (yearDigits == 2) year += year < 50 ? 2000 : 1900;
    const std::size_t at = yearDigits;
    const int month = number(at, 2), day = number(at + 2, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + number(at + 4, 2) * 3600 + number(at + 6, 2) * 60 + number(at + 8, 2);
}

Certificate fromDer(ByteView der) {
    DerCursor outer(der, "");
    DerCursor certificate(outer.content(tag::sequence), "");
    DerCursor fields(certificate.content(tag::sequence), "");
    Certificate result;
    if (fields.peekTag() == tag::explicit0) fields.any();  // version
    const ByteView serial = fields.whole(tag::integer);
    fields.content(tag::sequence);  // signature algorithm
    const ByteView issuer = fields.whole(tag::sequence);
    DerCursor validity(fields.content(tag::sequence), "");
    validity.any();
    const std::uint8_t timeTag = validity.peekTag();
    const auto notAfter = x509Time(timeTag, validity.content(timeTag));
    if (!notAfter) throw SealError("");
    fields.content(tag::sequence);  // subject
    const ByteView publicKey = fields.whole(tag::sequence);
    DerCursor keyInfo(publicKey, "");
    DerCursor keyFields(keyInfo.content(tag::sequence), "");
    DerCursor algorithm(keyFields.content(tag::sequence), "");
    result.rsa = sameBytes(algorithm.content(tag::oid), oid::rsaEncryption);
    result.serialNumber.assign(serial.begin(), serial.end());
    result.issuer.assign(issuer.begin(), issuer.end());
    result.subjectPublicKeyInfo.assign(publicKey.begin(), publicKey.end());
    result.notAfter = *notAfter;
    return result;
}

}  // namespace

std::optional<Bytes> pemBlock(const Bytes& file, const std::string& label) {
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    const std::string begin = "-----BEGIN " + label + "-----", end = "-----END " + label + "-----";
    const std::size_t start = text.find(begin);
    if (start == std::string_view::npos) return std::nullopt;
    const std::size_t stop = text.find(end, start);
    if (stop == std::string_view::npos) return std::nullopt;
    return base64(text.substr(start + begin.size(), stop - start - begin.size()));
}

std::optional<Certificate> parseCertificate(const Bytes& file) {
    const std::optional<Bytes> pem = pemBlock(file, "CERTIFICATE");
    try {
        return fromDer(pem ? *pem : file);
    } catch (const SealError&) {
        return std::nullopt;
    }
}

CertificateProblem usableCertificate(const Bytes& file, std::int64_t now, Certificate& certificate) {
    auto parsed = parseCertificate(file);
    if (!parsed) return CertificateProblem::unreadable;
    certificate = std::move(*parsed);
    if (!certificate.rsa) return CertificateProblem::notRsa;
    return now > certificate.notAfter ? CertificateProblem::expired : CertificateProblem::none;
}

std::string utcText(std::int64_t secondsSince1970) {
    const std::int64_t days = (secondsSince1970 >= 0 ? secondsSince1970 : secondsSince1970 - 86399) / 86400;
    const std::int64_t inDay = secondsSince1970 - days * 86400;
    // Civil date from days (the inverse of daysFromCivil).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld UTC", static_cast<long long>(year), month, day,
                  static_cast<long long>(inDay / 3600), static_cast<long long>(inDay % 3600 / 60));
    return buffer;
}

}  // namespace seal
