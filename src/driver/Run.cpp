#include "driver/Run.h"

#include "archive/ReportPacker.h"
#include "config/XmlParser.h"
#include "driver/ConfigurationCheck.h"
#include "driver/ConfigurationFile.h"
#include "driver/ReportBuilder.h"
#include "driver/ReportFile.h"
#include "seal/Sealing.h"
#include "text/AsciiCase.h"
#include "text/TextFile.h"
#include "text/Utf8.h"

#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace {

const std::wstring archiveExtension = L".tavisk";
const std::wstring sealedExtension = L".p7m";
const std::wstring reportNotWritten = L"Die ermittelten Informationen konnten nicht in XML geschrieben werden!";
const std::wstring configurationUnreadable = L"Die Konfigurationsdatei konnte nicht geoeffnet werden!";
const std::wstring unknownFailure =
    L"Es ist ein unbekannter Fehler aufgetreten, wenden Sie sich bitte an den Support.";
const std::wstring utf16Configuration =
    L"Die Konfigurationsdatei ist UTF-16 (\"Unicode\") gespeichert; darin wird keine Anfrage erkannt. Bitte als "
    L"UTF-8 oder ANSI speichern.";
const std::wstring threadRefused = L"Es konnte kein Thread gestartet werden; es wurden keine Daten ermittelt.";
const std::wstring nameTooLong = L"Der Name der Ausgabedatei ist zu lang fuer ihren Ordner:\t";
const std::wstring archiveNotPlaced = L"Das Archiv konnte nicht unter dem Namen der Ausgabedatei abgelegt werden: ";

struct Paths {
    std::wstring source;
    std::wstring destination;
    std::wstring certificate;  // support's, for /seal
};

// Exit statuses of a configuration check.
enum CheckStatus { everyRequestRuns = 0, someAreSkipped = 1, nothingRuns = 2 };

enum class ScanOutcome { proceed, help, missingPath, undecodable };

class ResultName;

class Driver {
public:
    explicit Driver(RunEnvironment& environment) : env_(environment) {}

    int run(const std::vector<std::string>& arguments);

private:
    void say(const std::wstring& line) { env_.console.write(line + L"\n"); }
    int finalPrompt(int status);
    void banner();
    void help();
    ScanOutcome scanArguments(const std::vector<std::string>& arguments);
    std::wstring executableDirectory() const;
    std::wstring directoryOf(const std::wstring& path) const;
    bool settleDestination();
    std::optional<std::unique_ptr<XmlNodeVector>> readConfiguration();
    // Returns the exit status: 0 only when the archive was written.
    int collect(const XmlNodeVector& root);
    int finish(platform::OwnFolder& folder, ReportFile& report, ResultName& archive, bool packed);
    int check();
    int tooLargeToCheck();
    void printCheck(const ConfigurationCheck& result);
    bool readCertificate();
    int finishSealed(platform::OwnFolder& folder, SevenZip::ReportPacker& packer);
    bool sealInto(platform::OwnFolder& folder, SevenZip::ReportPacker& packer, const std::wstring& target);

    RunEnvironment& env_;
    Paths paths_;
    bool checkOnly_ = false;
    std::optional<seal::Certificate> certificate_;
};

int Driver::finalPrompt(int status) {
    say(L"");
    say(L"<ENTER> um zu beenden");
    env_.console.readCharacter();
    return status;
}

void Driver::banner() {
    say(L"Velmora Tavisk");
    say(L"Copyright (c) Velmora. Alle Rechte vorbehalten.");
    say(L"Komprimierung: 7-Zip 9.20");
    say(std::wstring(80, L'-'));
}

void Driver::help() {
    say(L"/source [Pfadangabe]\tPfadangabe zur Konfigurationsdatei. Dies ist zwingend erforderlich");
    say(L"/dest [Pfadangabe]\tPfadangabe zur Ausgabedatei. Wenn nicht angegeben wird eine \"Datum-Uhrzeit.txt\" "
        L"im Verzeichnis VelmoraUMS\\log angelegt.");
    say(L"/?\tzeigt die Hilfe an.");
    say(L"/check\tprueft die Konfigurationsdatei und zeigt, welche Anfragen ausgefuehrt werden; ermittelt keine "
        L"Daten.");
    say(L"/seal [Pfadangabe]\tversiegelt die Ausgabedatei mit dem Zertifikat des Supports (PEM oder DER); "
        L"geschrieben wird nur die Datei mit der Endung .p7m.");
}

// Every argument is examined, the program's own path and the argument after a
// switch included, so "/source /dest x" takes "/dest" as the source.
ScanOutcome Driver::scanArguments(const std::vector<std::string>& arguments) {
    try {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::wstring argument = text::utf8ToWide(arguments[i]);
            std::wstring* target = nullptr;
            if (argument == L"/source") {
                target = &paths_.source;
            } else if (argument == L"/dest") {
                target = &paths_.destination;
            } else if (argument == L"/seal") {
                target = &paths_.certificate;
            } else if (argument == L"/?") {
                return ScanOutcome::help;
            } else if (argument == L"/check") {
                checkOnly_ = true;
            }
            if (!target) continue;
            if (i + 1 == arguments.size()) return ScanOutcome::missingPath;
            *target = text::utf8ToWide(arguments[i + 1]);
        }
    } catch (const std::range_error&) {
        return ScanOutcome::undecodable;
    }
    return ScanOutcome::proceed;
}

std::wstring twoDigits(int value) { return (value < 10 ? L"0" : L"") + std::to_wstring(value); }

// Whoever administers the machine names it: in a file name, the name must not
// reach into another folder or hold what a file system refuses.
std::wstring fileNameOf(std::wstring computerName) {
    for (wchar_t& c : computerName) {
        if (c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) c = L'_';
    }
    for (std::size_t dots = computerName.find(L".."); dots != std::wstring::npos; dots = computerName.find(L"..")) {
        computerName.replace(dots, 2, L"__");
    }
    return computerName;
}

// 100 ns units since 1601-01-01, the time the archive stores.
std::uint64_t fileTime(std::int64_t secondsSince1970) {
    constexpr std::int64_t ticksPerSecond = 10'000'000;
    constexpr std::int64_t secondsFrom1601To1970 = 11'644'473'600;
    return static_cast<std::uint64_t>((secondsSince1970 + secondsFrom1601To1970) * ticksPerSecond);
}

// The name of an unfinished result (the archive, the sealed file), removed
// at the end unless it became the run's result.
class ResultName {
public:
    ResultName(platform::OwnFolder& folder, std::wstring name) : folder_(folder), name_(std::move(name)) {}
    ResultName(const ResultName&) = delete;
    ResultName& operator=(const ResultName&) = delete;
    ~ResultName() {
        if (!published_ && !name_.empty()) folder_.removeOwn(name_);
    }
    platform::ErrorCode publish(const std::wstring& target) {
        const platform::ErrorCode failure = folder_.publishResult(name_, target);
        published_ = failure == platform::error::success;
        return failure;
    }

private:
    platform::OwnFolder& folder_;
    const std::wstring name_;
    bool published_ = false;
};

std::wstring Driver::executableDirectory() const {
    const std::wstring path = env_.host.executablePath();
    const std::size_t separator = path.rfind(env_.files.separator());
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// A destination ending in ".tavisk" is used as it is; any other is a prefix for
// the computer name and a minute-precise time stamp. False on the time error.
bool Driver::settleDestination() {
    std::wstring& destination = paths_.destination;
    // A sealed deliverable may be named as what it becomes.
    if (certificate_ && destination.ends_with(archiveExtension + sealedExtension))
        destination.resize(destination.size() - sealedExtension.size());
    if (destination.size() > archiveExtension.size() && destination.ends_with(archiveExtension)) return true;
    const auto now = env_.host.now();
    const auto local = now ? env_.host.localTime(*now) : std::nullopt;
    if (!local) return false;
    if (destination.empty()) destination = executableDirectory();
    destination += fileNameOf(env_.host.computerName().value_or(L"Tavisk"));
    destination += L"_" + std::to_wstring(local->yearsSince1900 + 1900) + twoDigits(local->month + 1) +
                   twoDigits(local->day) + twoDigits(local->hour) + twoDigits(local->minute);
    destination += archiveExtension;
    return true;
}

// Only the trailing extension is cut, so the report's name lies beside the archive the operator named.
std::wstring reportNameOf(const std::wstring& archiveName) {
    return archiveName.substr(0, archiveName.size() - archiveExtension.size()) + L".xml";
}

std::wstring Driver::directoryOf(const std::wstring& path) const {
    const std::size_t cut = path.find_last_of(env_.files.separator() == L'\\' ? L"\\/" : L"/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// The report and the archive are written under private names in the
// destination folder, held open from the start, the report packed while it is
// still being written; only the finished archive takes the destination's name.
int Driver::collect(const XmlNodeVector& root) {
    const std::wstring directory = directoryOf(paths_.destination);
    const std::wstring archiveName = paths_.destination.substr(directory.size());
    platform::ErrorCode failure = platform::error::success;
    const std::unique_ptr<platform::OwnFolder> folder = env_.files.openFolder(directory, failure);
    // Found out now rather than after the whole collection.
    if (folder && folder->checkName(archiveName) != platform::error::success) {
        say(nameTooLong + paths_.destination);
        return -1;
    }
    platform::OwnFile reportFile = folder ? folder->createOwn(failure) : platform::OwnFile{};
    if (!reportFile.stream) {
        say(reportNotWritten);
        return -1;
    }
    ReportFile report(*folder, std::move(reportFile));
    platform::OwnFile archiveFile = folder->createOwn(failure);
    ResultName archive(*folder, archiveFile.name);
    // Named by where the folder really is, whatever links and ".." the destination went through.
    const SevenZip::ReportItem item{folder->location() + reportNameOf(archiveName),
                                    fileTime(env_.host.now().value_or(0))};
    SevenZip::ReportPacker packer(env_.libraries, item, report, std::move(archiveFile.stream));

    ReportBuilder builder(env_.host, env_.files, *folder);
    failure = builder.writeHead(report);
    env_.console.write(L"Daten werden ermittelt: Bitte warten...");
    builder.walk(root, env_.collectors, report, env_.progress);
    say(L"beendet!");
    if (failure == platform::error::success) failure = builder.writeBody(report, env_.collectors);
    report.complete(failure);
    if (failure != platform::error::success) {
        say(reportNotWritten);
        say(L"Ausgabedatei:\t\t" + paths_.destination);
        return -1;
    }
    if (certificate_) return finishSealed(*folder, packer);
    return finish(*folder, report, archive, packer.finish());
}

// The end of a run, the one place that decides what it leaves: the packed
// archive takes the destination's name; otherwise the report is kept, named
// by where it really is.
int Driver::finish(platform::OwnFolder& folder, ReportFile& report, ResultName& archive, bool packed) {
    const std::wstring archiveName = paths_.destination.substr(folder.path().size());
    const platform::ErrorCode failure = packed ? archive.publish(archiveName) : platform::error::success;
    if (packed && failure == platform::error::success) {
        say(L"Ausgabedatei:\t\t" + paths_.destination);
        return 0;
    }
    if (packed) {
        std::wstring reason = env_.host.errorMessage(failure);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
        say(archiveNotPlaced + reason);
    } else {
        SevenZip::reportPackingFailure(env_.console);
    }
    const std::optional<std::wstring> keptAs = report.keepAs(reportNameOf(archiveName));
    say(L"Ausgabedatei:\t\t" + paths_.destination);
    say(keptAs ? L"Bericht:\t\t" + folder.location() + *keptAs : reportNotWritten);
    return -1;
}

// Sealing asked for: nothing plain is kept, the run's files go with it.
int Driver::finishSealed(platform::OwnFolder& folder, SevenZip::ReportPacker& packer) {
    const std::wstring sealedName = paths_.destination.substr(folder.path().size()) + sealedExtension;
    const bool done = sealInto(folder, packer, sealedName);
    say(done ? L"Ausgabedatei:\t\t" + paths_.destination + sealedExtension
             : L"Die Ausgabedatei konnte nicht versiegelt werden!");
    return done ? 0 : -1;
}

// The archive, still the run's private file, is read back through its handle
// into a new private file, which alone takes a public name.
bool Driver::sealInto(platform::OwnFolder& folder, SevenZip::ReportPacker& packer, const std::wstring& target) {
    const std::unique_ptr<platform::FileStream> archive = packer.finishOpen();
    if (!archive) return false;
    platform::ErrorCode failure = platform::error::success;
    platform::OwnFile sealedFile = folder.createOwn(failure);
    if (!sealedFile.stream) return false;
    ResultName sealed(folder, sealedFile.name);
    try {
        seal::sealStream(*env_.cryptography, *certificate_, *archive, *sealedFile.stream);
    } catch (const seal::SealError&) {
        return false;
    }
    return sealedFile.stream->close() == platform::error::success && sealed.publish(target) == platform::error::success;
}

// Support's certificate, read before anything is collected: one that cannot
// serve is refused with its reason, and nothing is written.
bool Driver::readCertificate() {
    const std::wstring& path = paths_.certificate;
    platform::ErrorCode error = platform::error::success;
    const auto file = env_.files.openForReading(path, error);
    const auto bytes = file ? seal::readSmallFile(*file) : std::nullopt;
    seal::Certificate certificate;
    const auto problem = bytes ? seal::usableCertificate(*bytes, env_.host.now().value_or(0), certificate)
                               : seal::CertificateProblem::unreadable;
    switch (problem) {
    case seal::CertificateProblem::none:
        if (!env_.cryptography) break;
        // A key the library cannot use would only show after collecting.
        if (!env_.cryptography->wrapForPublicKey(certificate.subjectPublicKeyInfo, seal::Bytes(32))) {
            say(L"Das Zertifikat enthaelt keinen verwendbaren RSA-Schluessel: " + path);
            return false;
        }
        say(L"Zertifikat:\t\t" + path);
        certificate_ = std::move(certificate);
        return true;
    case seal::CertificateProblem::unreadable:
        say(L"Das Zertifikat zum Versiegeln konnte nicht gelesen werden: " + path);
        return false;
    case seal::CertificateProblem::notRsa:
        say(L"Das Zertifikat enthaelt keinen RSA-Schluessel, nur damit kann versiegelt werden: " + path);
        return false;
    case seal::CertificateProblem::expired:
        say(L"Das Zertifikat zum Versiegeln ist abgelaufen (gueltig bis " +
            text::utf8ToWide(seal::utcText(certificate.notAfter)) + L"): " + path);
        return false;
    }
    say(L"Versiegeln wird auf diesem System nicht unterstuetzt.");
    return false;
}

// The configuration's tree, null without a root element; nothing when the file
// cannot be read, or does not fit in memory, which a run answers alike.
std::optional<std::unique_ptr<XmlNodeVector>> Driver::readConfiguration() {
    try {
        auto configuration = readConfigurationFile(env_.files, paths_.source);
        if (!configuration) return std::nullopt;
        say(L"Konfigurationsdatei:\t" + paths_.source);
        if (isUtf16(*configuration)) say(utf16Configuration);
        return XmlParser().parse(std::move(*configuration));
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return std::nullopt;
}

int Driver::tooLargeToCheck() {
    say(L"Die Konfigurationsdatei ist zu gross, um sie zu pruefen.");
    return nothingRuns;
}

// Reads and parses the configuration as a run does and tells what the run would
// serve and what it would skip; collects nothing and writes no file.
int Driver::check() {
    try {
        auto configuration = readConfigurationFile(env_.files, paths_.source);
        if (!configuration) {
            say(configurationUnreadable);
            return nothingRuns;
        }
        say(L"Konfigurationsdatei:\t" + paths_.source);
        if (isUtf16(*configuration)) say(utf16Configuration);
        const ConfigurationCheck result = checkConfiguration(std::move(*configuration));
        printCheck(result);
        if (result.served.empty()) return nothingRuns;
        return result.skipped.empty() ? everyRequestRuns : someAreSkipped;
    } catch (const std::bad_alloc&) {
        return tooLargeToCheck();
    } catch (const std::length_error&) {
        return tooLargeToCheck();
    }
}

// The lines go out in batches: a configuration can hold very many of them, and
// older consoles refuse single writes much beyond 16 KB.
void Driver::printCheck(const ConfigurationCheck& result) {
    std::wstring batch;
    const auto line = [&](const std::wstring& text) {
        batch += text;
        batch += L'\n';
        if (batch.size() < 8192) return;
        env_.console.write(batch);
        batch.clear();
    };
    if (!result.served.empty()) line(L"Anfragen in der Reihenfolge der Ausfuehrung:");
    std::size_t number = 0;
    for (const CheckedRequest& request : result.served) {
        line(std::to_wstring(++number) + L".\tZeile " + std::to_wstring(request.line) + L"\t" + request.category +
             L"\t" + request.function + L"\t\"" + visibleText(request.value) + L"\"");
    }
    if (!result.skipped.empty()) line(L"Nicht ausgefuehrt:");
    for (const SkippedPart& part : result.skipped) {
        line(L"Zeile " + std::to_wstring(part.line) + L"\t" + part.subject + L"\t" + reasonText(part.reason));
    }
    if (result.served.empty()) {
        line(result.hasRoot ? L"Keine Anfrage der Konfigurationsdatei wird ausgefuehrt."
                            : L"Die Konfigurationsdatei enthaelt kein Element mit Anfragen; es wird nichts ermittelt.");
    } else {
        line(L"Ergebnis: " + std::to_wstring(result.served.size()) + L" Anfrage(n) werden ausgefuehrt, " +
             std::to_wstring(result.skipped.size()) + L" Stelle(n) werden uebergangen.");
    }
    env_.console.write(batch);
}

int Driver::run(const std::vector<std::string>& arguments) {
    banner();
    switch (scanArguments(arguments)) {
    case ScanOutcome::help: help(); return finalPrompt(0);
    case ScanOutcome::missingPath: say(L"Es fehlt eine Pfadangabe in der Uebergabe!"); return finalPrompt(-1);
    case ScanOutcome::undecodable:
        say(unknownFailure);
        return finalPrompt(-1);
    case ScanOutcome::proceed: break;
    }
    if (env_.files.ignoresCase()) {
        paths_.source = text::lowerAscii(paths_.source);
        paths_.destination = text::lowerAscii(paths_.destination);
    }
    if (paths_.source.empty()) paths_.source = executableDirectory() + L"standard.xml";
    if (!paths_.certificate.empty() && !readCertificate()) return finalPrompt(checkOnly_ ? nothingRuns : -1);
    if (checkOnly_) return finalPrompt(check());
    if (!settleDestination()) {
        say(L"Ein Fehler beim Zugriff auf die System Zeit ist aufgetreten, um dies zu vermeiden, geben Sie bitte "
            L"/dest an");
        return finalPrompt(-1);
    }

    const auto root = readConfiguration();
    if (!root) {
        say(configurationUnreadable);
        return finalPrompt(0);
    }
    if (!*root) return finalPrompt(0);
    if (!env_.guarded) {
        say(threadRefused);
        return finalPrompt(-1);
    }
    // Caught here so that the report and the sections' files are cleaned up on the way out.
    try {
        return finalPrompt(collect(**root));
    } catch (const std::system_error&) {
        // A limit on processes (ulimit -u) refuses the packing's thread.
        say(L"");
        say(threadRefused);
        return finalPrompt(-1);
    } catch (const std::exception&) {
        say(L"");
        say(unknownFailure);
        return finalPrompt(-1);
    }
}

}  // namespace

int run(const std::vector<std::string>& arguments, RunEnvironment& environment) {
    return Driver(environment).run(arguments);
}
