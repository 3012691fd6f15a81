#include "report-tool/SealKey.h"

#include "read/ReportParser.h"
#include "seal/Sealing.h"
#include "text/Utf8.h"

#include <chrono>

namespace reporttool {
namespace {

using report::ReportError;

seal::Bytes smallFile(ToolEnvironment& environment, const std::string& path, const std::string& what) {
    platform::ErrorCode error = platform::error::success;
    auto file = environment.files.openForReading(text::utf8ToWide(path), error);
    auto bytes = file ? seal::readSmallFile(*file) : std::nullopt;
    if (!bytes) throw ReportError(what + " nicht lesbar: " + path);
    return *bytes;
}

// The first line of the file, without its line end.
std::string passphraseFrom(ToolEnvironment& environment, const std::string& path) {
    const seal::Bytes bytes = smallFile(environment, path, "Passphrase-Datei");
    std::string line(bytes.begin(), bytes.end());
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::unique_ptr<platform::PrivateKey> loadKey(const KeyOptions& options, ToolEnvironment& environment) {
    const seal::Bytes file = smallFile(environment, options.keyFile, "Schluessel");
    std::optional<std::string> passphrase;
    if (!options.passphraseFile.empty()) passphrase = passphraseFrom(environment, options.passphraseFile);
    platform::KeyProblem problem = platform::KeyProblem::none;
    auto key = environment.cryptography.loadPrivateKey(file, passphrase, problem);
    if (!key && problem == platform::KeyProblem::needsPassphrase) {
        passphrase = environment.cryptography.askPassphrase("Passphrase fuer " + options.keyFile + ": ");
        if (!passphrase)
            throw ReportError("Schluessel " + options.keyFile +
                              ": braucht eine Passphrase (--key-pass-file oder am Terminal)");
        key = environment.cryptography.loadPrivateKey(file, passphrase, problem);
    }
    if (key) return key;
    switch (problem) {
        case platform::KeyProblem::needsPassphrase:
        case platform::KeyProblem::wrongPassphrase:
            throw ReportError("Schluessel " + options.keyFile + ": falsche Passphrase");
        case platform::KeyProblem::notRsa: throw ReportError("Schluessel " + options.keyFile + ": kein RSA-Schluessel");
        default: break;
    }
    throw ReportError("Schluessel " + options.keyFile + ": kein privater Schluessel (PEM, PKCS#8 oder PKCS#12)");
}

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool takeKeyOption(std::vector<std::string>::const_iterator& argument, std::vector<std::string>::const_iterator end,
                   KeyOptions& options) {
    for (const auto& [name, target] : {std::pair{std::string("--key"), &options.keyFile},
                                       std::pair{std::string("--key-pass-file"), &options.passphraseFile}}) {
        if (argument->starts_with(name + "=")) {
            *target = argument->substr(name.size() + 1);
            return true;
        }
        if (*argument != name) continue;
        if (std::next(argument) == end) throw UsageError(name + " erwartet einen Dateinamen");
        *target = *++argument;
        return true;
    }
    return false;
}

SealKey::SealKey(const KeyOptions& options, ToolEnvironment& environment)
    : key_(options.keyFile.empty() ? nullptr : loadKey(options, environment)),
      opener_{environment.cryptography, key_.get()} {
    if (options.keyFile.empty() && !options.passphraseFile.empty())
        throw UsageError("--key-pass-file gilt nur mit --key");
}

int sealArchive(const std::string& archive, const std::string& certificatePath, const std::string& output,
                ToolEnvironment& environment) {
    seal::Certificate certificate;
    switch (seal::usableCertificate(smallFile(environment, certificatePath, "Zertifikat"), secondsNow(), certificate)) {
        case seal::CertificateProblem::none: break;
        case seal::CertificateProblem::unreadable:
            throw ReportError(certificatePath + ": kein X.509-Zertifikat (PEM oder DER)");
        case seal::CertificateProblem::notRsa:
            throw ReportError(certificatePath + ": Zertifikat ohne RSA-Schluessel, nur RSA wird unterstuetzt");
        case seal::CertificateProblem::expired:
            throw ReportError(certificatePath + ": Zertifikat abgelaufen am " + seal::utcText(certificate.notAfter));
    }
    platform::ErrorCode error = platform::error::success;
    auto input = environment.files.openForReading(text::utf8ToWide(archive), error);
    if (!input) throw ReportError("Datei nicht lesbar: " + archive);
    if (seal::isSealed(*input)) throw ReportError(archive + ": ist schon versiegelt");
    NewFile outcome = NewFile::notWritten;
    try {
        outcome = writeNewFile(environment.files, text::utf8ToWide(output), [&](platform::FileStream& file) {
            seal::sealStream(environment.cryptography, certificate, *input, file);
            return platform::error::success;
        });
    } catch (const seal::SealError& failure) {
        throw ReportError(output + ": " + failure.what());
    }
    switch (outcome) {
        case NewFile::written: return done;
        case NewFile::exists: throw ReportError(output + ": existiert bereits, nichts ueberschrieben");
        case NewFile::notCreated: throw ReportError(output + ": kann nicht angelegt werden");
        case NewFile::notWritten: break;
    }
    throw ReportError(output + ": kann nicht geschrieben werden");
}

}  // namespace reporttool
