#include "report-tool/ReportTool.h"

#include "read/ReportParser.h"
#include "read/ReportSource.h"
#include "report-tool/Diff.h"
#include "report-tool/FleetCommands.h"
#include "report-tool/HtmlPage.h"
#include "report-tool/SealKey.h"
#include "report-tool/TerminalText.h"
#include "report-tool/Summary.h"
#include "report-tool/clean/CleanCommand.h"
#include "text/Utf8.h"

#include <algorithm>

namespace reporttool {
namespace {

const char* const usage =
    "Aufruf: tavisk-report BEFEHL [OPTIONEN]\n"
    "\n"
    "Befehle:\n"
    "  show DATEI [--json]            Zusammenfassung eines Berichts (.tavisk-Archiv oder .xml)\n"
    "  html DATEI [-o SEITE]          eine in sich geschlossene Web-Seite des Berichts\n"
    "                                 (ohne -o auf die Standardausgabe; SEITE darf nicht existieren)\n"
    "  diff ALT NEU [--all] [--json]  Unterschiede zwischen zwei Inventaren\n"
    "  load DATENBANK ARCHIV...       Archive in eine Flottendatenbank laden (SQLite-Datei oder\n"
    "                                 postgresql://...; 'load --help' zeigt mehr)\n"
    "  query DATENBANK FRAGE [ARG...] eine mitgelieferte Frage an die Datenbank ('query --help')\n"
    "  clean DATEI -o AUSGABE         eine Kopie ohne Namen, Adressen und Geheimnisse zum Versand\n"
    "                                 ('clean --help' zeigt mehr)\n"
    "  seal ARCHIV ZERTIFIKAT -o AUS  ein Archiv fuer den Support versiegeln (CMS, .p7m);\n"
    "                                 AUS darf nicht existieren\n"
    "\n"
    "Optionen:\n"
    "  --json     Ausgabe als ein JSON-Objekt\n"
    "  --key SCHLUESSEL  versiegelte Dateien (.p7m) mit diesem privaten Schluessel lesen\n"
    "             (PEM, PKCS#8 oder PKCS#12; gilt auch fuer load und clean)\n"
    "  --key-pass-file DATEI  die Passphrase des Schluessels aus der ersten Zeile der Datei\n"
    "             (sonst wird am Terminal gefragt)\n"
    "  --all      bei diff auch wechselnde Werte vergleichen (freier Platz und Speicher,\n"
    "             Last, Laufzeit, Prozess- und Handle-Zahlen, Erfassungszeit)\n"
    "  -h, --help diese Hilfe\n"
    "\n"
    "Exit-Status: 0 erledigt, 1 Unterschiede gefunden (diff), 2 Fehler\n";

struct Invocation {
    std::string command;
    std::vector<std::string> files;
    bool json = false;
    bool all = false;
    std::string output = {};
    KeyOptions key = {};
};

Invocation parse(const std::vector<std::string>& arguments) {
    Invocation invocation;
    bool optionsEnded = false;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (!optionsEnded && (*argument == "-o" || *argument == "--output")) {
            if (++argument == arguments.end()) throw UsageError("-o erwartet den Namen der Seite");
            invocation.output = *argument;
        } else if (!optionsEnded && argument->rfind("--output=", 0) == 0) {
            invocation.output = argument->substr(9);
        } else if (!optionsEnded && *argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (*argument == "--help" || *argument == "-h")) {
            return {"help", {}, false, false};
        } else if (!optionsEnded && *argument == "--json") {
            invocation.json = true;
        } else if (!optionsEnded && takeKeyOption(argument, arguments.end(), invocation.key)) {
        } else if (!optionsEnded && *argument == "--all") {
            invocation.all = true;
        } else if (!optionsEnded && argument->size() > 1 && (*argument)[0] == '-') {
            throw UsageError("Unbekannte Option: " + *argument);
        } else if (invocation.command.empty()) {
            invocation.command = *argument;
        } else {
            invocation.files.push_back(*argument);
        }
    }
    const std::size_t expected = invocation.command == "diff" || invocation.command == "seal"   ? 2
                                 : invocation.command == "show" || invocation.command == "html" ? 1
                                                                                                : 0;
    if (invocation.command.empty()) throw UsageError("Kein Befehl angegeben");
    if (invocation.command == "help") return {"help", {}, false, false};
    if (expected == 0) throw UsageError("Unbekannter Befehl: " + invocation.command);
    if (invocation.files.size() != expected)
        throw UsageError(invocation.command + " erwartet " + std::to_string(expected) +
                         (expected == 1 ? " Datei" : " Dateien"));
    if (invocation.all && invocation.command != "diff") throw UsageError("--all gilt nur fuer diff");
    if (invocation.json && invocation.command == "html") throw UsageError("--json gilt nicht fuer html");
    if (invocation.command == "seal" && invocation.output.empty()) throw UsageError("seal erwartet -o AUSGABE");
    if (invocation.command == "seal" && !invocation.key.keyFile.empty()) throw UsageError("--key gilt nicht fuer seal");
    if (!invocation.output.empty() && invocation.command != "html" && invocation.command != "seal")
        throw UsageError("-o gilt nur fuer html und seal");
    return invocation;
}

void read(const std::string& path, report::RecordHandler& handler, std::uint64_t keptContents,
          ToolEnvironment& environment, const SealKey& key, report::Decoding decoding = report::Decoding::parallel) {
    report::ReportParser parser(handler, report::ReportParser::ContentsLimit{keptContents});
    try {
        report::readReport(text::utf8ToWide(path), environment.files, environment.libraries, parser, decoding,
                           key.opener());
    } catch (const report::ReportError& error) {
        throw report::ReportError(path + ": " + error.what());
    }
}

int show(const Invocation& invocation, ToolEnvironment& environment) {
    Summary summary;
    read(invocation.files[0], summary, 0, environment, SealKey(invocation.key, environment));
    if (invocation.json) environment.console.writeNarrowOutput(summary.json());
    else writeText(environment.console, summary.text());
    return done;
}

void writePage(platform::FileSystem& files, const std::string& name, const std::string& html) {
    switch (writeNewFile(files, text::utf8ToWide(name), html)) {
        case NewFile::written: return;
        case NewFile::exists: throw report::ReportError(name + ": existiert bereits, nichts ueberschrieben");
        case NewFile::notCreated: throw report::ReportError(name + ": Seite kann nicht angelegt werden");
        case NewFile::notWritten: break;
    }
    throw report::ReportError(name + ": Seite kann nicht geschrieben werden");
}

int html(const Invocation& invocation, ToolEnvironment& environment) {
    HtmlPage page;
    read(invocation.files[0], page, HtmlPage::shownContents, environment, SealKey(invocation.key, environment));
    if (invocation.output.empty()) environment.console.writeNarrowOutput(page.html());
    else writePage(environment.files, invocation.output, page.html());
    return done;
}

int diff(const Invocation& invocation, ToolEnvironment& environment) {
    // The two reports are read at once, each archive decoded in one thread.
    const SealKey key(invocation.key, environment);
    const auto reading = [&](const std::string& path) {
        return [&, path](report::RecordHandler& handler) {
            read(path, handler, UINT64_MAX, environment, key, report::Decoding::oneThread);
        };
    };
    const Differences differences =
        compareReports(reading(invocation.files[0]), reading(invocation.files[1]), invocation.all);
    const std::string warning = differences.olderHost == differences.newerHost
                                    ? ""
                                    : "Berichte verschiedener Computer (" + differences.olderHost + ", " +
                                          differences.newerHost + ")";
    const std::vector<Change>& changes = differences.changes;
    if (invocation.json) environment.console.writeNarrowOutput(diffJson(changes, warning));
    else writeText(environment.console, diffText(changes, warning));
    return changes.empty() ? done : differencesFound;
}

}  // namespace

std::wstring folderOf(const platform::FileSystem& files, const std::wstring& path) {
    const std::size_t cut = files.separator() == L'\\' ? path.find_last_of(L"\\/") : path.rfind(L'/');
    return cut == std::wstring::npos ? L"" : path.substr(0, cut + 1);
}

// Wide where the console shows wide text (Windows), so that its characters
// appear as they are; the same UTF-8 bytes everywhere else.
void writeText(platform::Console& console, const std::string& utf8, bool error) {
    if (!text::isUtf8(utf8)) return error ? console.writeNarrowError(utf8) : console.writeNarrowOutput(utf8);
    error ? console.writeError(text::utf8ToWide(utf8)) : console.write(text::utf8ToWide(utf8));
}

void writeFailure(platform::Console& console, std::string_view message) {
    writeText(console, "tavisk-report: " + terminalText(message) + "\n", true);
}

NewFile writeNewFile(platform::FileSystem& files, const std::wstring& target,
                     const std::function<platform::ErrorCode(platform::FileStream&)>& write) {
    platform::ErrorCode error = platform::error::success;
    const std::wstring folderPath = folderOf(files, target);
    const auto folder = files.openFolder(folderPath, error);
    platform::OwnFile own = folder ? folder->createOwn(error) : platform::OwnFile{};
    if (!own.stream) return NewFile::notCreated;
    const auto discard = [&] {
        own.stream.reset();
        folder->removeOwn(own.name);
    };
    try {
        error = write(*own.stream);
    } catch (...) {
        discard();
        throw;
    }
    if (error == platform::error::success) error = own.stream->close();
    if (error == platform::error::success) error = folder->publishOwn(own.name, target.substr(folderPath.size()), false);
    if (error == platform::error::success) return NewFile::written;
    discard();
    return error == platform::error::fileExists ? NewFile::exists : NewFile::notWritten;
}

NewFile writeNewFile(platform::FileSystem& files, const std::wstring& target, std::string_view bytes) {
    return writeNewFile(files, target, [bytes](platform::FileStream& file) {
        platform::ErrorCode error = platform::error::success;
        std::size_t written = 0;
        while (error == platform::error::success && written < bytes.size()) {
            std::uint32_t processed = 0;
            const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
            error = file.write(bytes.data() + written, piece, processed);
            written += processed;
        }
        return error;
    });
}

int runGuarded(platform::Console& console, const std::string& help, const std::function<int()>& command) {
    try {
        return command();
    } catch (const UsageError& error) {
        writeFailure(console, error.message);
        writeText(console, "'" + help + "' zeigt den Aufruf.\n", true);
    } catch (const report::ReportError& error) {
        writeFailure(console, error.what());
    } catch (const std::range_error&) {
        console.writeNarrowError("tavisk-report: Pfad ist kein gueltiges UTF-8\n");
    } catch (const std::bad_alloc&) {
        console.writeNarrowError("tavisk-report: nicht genug Speicher\n");
    }
    return failed;
}

int runReportTool(const std::vector<std::string>& arguments, ToolEnvironment& environment) {
    if (!arguments.empty() && isFleetCommand(arguments[0])) return runFleetCommand(arguments, environment);
    if (!arguments.empty() && arguments[0] == "clean")
        return clean::runClean({arguments.begin() + 1, arguments.end()}, environment);
    return runGuarded(environment.console, "tavisk-report --help", [&] {
        const Invocation invocation = parse(arguments);
        if (invocation.command == "help") {
            writeText(environment.console, usage);
            return int(done);
        }
        if (invocation.command == "show") return show(invocation, environment);
        if (invocation.command == "seal")
            return sealArchive(invocation.files[0], invocation.files[1], invocation.output, environment);
        return invocation.command == "html" ? html(invocation, environment) : diff(invocation, environment);
    });
}

}  // namespace reporttool
