#include "report-tool/clean/CleanCommand.h"

#include "archive/LentStream.h"
#include "archive/ReportPacker.h"
#include "dispatch/ReportSections.h"
#include "driver/ReportPipe.h"
#include "read/ReportParser.h"
#include "read/ReportSource.h"
#include "report-tool/SealKey.h"
#include "report-tool/clean/AliasMap.h"
#include "report-tool/clean/ReportCleaner.h"
#include "report-tool/clean/TextMasker.h"
#include "text/Utf8.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

namespace clean {
namespace {

using report::ReportError;
using reporttool::UsageError;

const char* const usage =
    "Aufruf: tavisk-report clean BERICHT -o AUSGABE [--map DATEI] [--domain NAME]...\n"
    "                            [--keyword WORT]... [--keywords DATEI]\n"
    "                            [--key SCHLUESSEL [--key-pass-file DATEI]]\n"
    "        tavisk-report clean BERICHT --list [...]\n"
    "\n"
    "Schreibt eine Kopie des Berichts (.tavisk-Archiv oder .xml), in der Rechner- und\n"
    "Domaenennamen, Konten, IP- und MAC-Adressen und Stichworte durch Decknamen und\n"
    "Geheimnisse (Passwoerter, Schluessel) durch ******** ersetzt sind. AUSGABE darf\n"
    "nicht existieren; zu einem Archiv entsteht ein Archiv, zu .xml eine .xml-Datei.\n"
    "Einen versiegelten Bericht (.p7m) liest clean mit --key; die Kopie ist nicht\n"
    "versiegelt (das tut danach 'tavisk-report seal').\n"
    "\n"
    "  -o AUSGABE        die bereinigte Kopie\n"
    "  --map DATEI       die Zuordnung Original -> Deckname (sonst die des Benutzers,\n"
    "                    ~/.config/tavisk/clean-map.json, unter Windows\n"
    "                    %APPDATA%\\Tavisk\\clean-map.json); sie bleibt beim Kunden\n"
    "  --domain NAME     auch diese Domaene (DNS, oder ohne Punkt NetBIOS) und alle Namen darunter\n"
    "  --keyword WORT    auch dieses Wort (Firmen-, Projektnamen), in jeder Schreibung\n"
    "  --keywords DATEI  Stichworte, eines je Zeile ('#' beginnt einen Kommentar)\n"
    "  --key SCHLUESSEL  einen versiegelten Bericht mit diesem privaten Schluessel lesen\n"
    "                    (PEM, PKCS#8 oder PKCS#12)\n"
    "  --key-pass-file DATEI  die Passphrase des Schluessels aus der ersten Zeile der\n"
    "                    Datei (sonst wird am Terminal gefragt)\n"
    "  --list            je Art zeigen, was ersetzt wuerde; nichts wird geschrieben\n";

struct Options {
    std::string input, output, map;
    std::vector<std::string> domains, keywords, keywordFiles;
    reporttool::KeyOptions key;
    bool list = false;
    bool help = false;
};

Options parse(const std::vector<std::string>& arguments) {
    Options options;
    bool optionsEnded = false;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        const auto value = [&](std::string& into) {
            if (++argument == arguments.end()) throw UsageError(*(argument - 1) + " erwartet einen Wert");
            into = *argument;
        };
        const auto add = [&](std::vector<std::string>& into) { value(into.emplace_back()); };
        if (optionsEnded || argument->empty() || (*argument)[0] != '-' || *argument == "-") {
            if (!options.input.empty()) throw UsageError("clean erwartet genau einen Bericht");
            options.input = *argument;
        } else if (*argument == "--") {
            optionsEnded = true;
        } else if (*argument == "-o" || *argument == "--output") {
            value(options.output);
        } else if (*argument == "--map") {
            value(options.map);
        } else if (*argument == "--domain") {
            add(options.domains);
        } else if (*argument == "--keyword") {
            add(options.keywords);
        } else if (*argument == "--keywords") {
            add(options.keywordFiles);
        } else if (reporttool::takeKeyOption(argument, arguments.end(), options.key)) {
        } else if (*argument == "--list") {
            options.list = true;
        } else if (*argument == "--help" || *argument == "-h") {
            options.help = true;
            return options;
        } else {
            throw UsageError("Unbekannte Option: " + *argument);
        }
    }
    if (options.input.empty()) throw UsageError("clean erwartet einen Bericht");
    if (options.list && !options.output.empty()) throw UsageError("--list schreibt nichts, -o passt nicht dazu");
    if (!options.list && options.output.empty()) throw UsageError("clean erwartet -o AUSGABE");
    return options;
}

std::string readAll(platform::FileStream& file, const std::string& name) {
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        std::uint32_t read = 0;
        if (file.read(buffer, sizeof buffer, read) != platform::error::success) throw ReportError(name + ": nicht lesbar");
        if (read == 0) return bytes;
        bytes.append(buffer, read);
    }
}

std::wstring mapPath(const Options& options, platform::FileSystem& files) {
    if (!options.map.empty()) return text::utf8ToWide(options.map);
    platform::ErrorCode error = platform::error::success;
    const std::wstring folder = files.settingsFolder(error);
    if (folder.empty())
        throw ReportError("kein eigener Ordner fuer die Zuordnung (Fehler " + std::to_string(error) +
                          "); --map DATEI nennt eine");
    return folder + L"clean-map.json";
}

// The map is the customer's key: only a file of the user's own is read, never
// a link. Its bytes, empty where there is none yet.
std::string mapBytes(platform::FileSystem& files, const std::wstring& path) {
    const std::string name = text::wideToUtf8(path);
    platform::ErrorCode error = platform::error::success;
    const auto file = files.openPrivate(path, error);
    if (file) return readAll(*file, name);
    if (error == platform::error::fileNotFound) return {};
    if (error == platform::error::accessDenied)
        throw ReportError(name + ": ist ein Verweis oder keine eigene Datei des Benutzers; nichts geschrieben");
    throw ReportError(name + ": Zuordnung nicht lesbar (Fehler " + std::to_string(error) + ")");
}

AliasMap parsedMap(const std::string& bytes, const std::wstring& path) {
    if (bytes.empty()) return {};
    try {
        return AliasMap::fromJson(bytes);
    } catch (const std::invalid_argument& malformed) {
        throw ReportError(text::wideToUtf8(path) + ": keine Zuordnung von tavisk-report clean: " + malformed.what());
    }
}

std::vector<std::string> keywordsOf(const std::string& path, platform::FileSystem& files) {
    platform::ErrorCode error = platform::error::success;
    const auto file = files.openForReading(text::utf8ToWide(path), error);
    if (!file) throw ReportError(path + ": Stichworte nicht lesbar");
    const std::string text = readAll(*file, path);
    std::vector<std::string> words;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = std::string_view(text).substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (!line.empty() && line.front() != '#') words.emplace_back(line);
        start = end + 1;
    }
    return words;
}

// What the customer names, and every name the map already holds: a name of one
// machine is masked in the reports of all others too.
void teach(TextMasker& masker, const AliasMap& map, const Options& options, platform::FileSystem& files) {
    for (Kind kind : {Kind::host, Kind::netbios, Kind::user, Kind::keyword})
        for (const AliasMap::Entry& entry : map.entries(kind)) masker.addName(kind, entry.original);
    for (const AliasMap::Entry& entry : map.entries(Kind::domain)) masker.addDomain(entry.original);
    for (const std::string& domain : options.domains) masker.addGivenDomain(domain);
    for (const std::string& keyword : options.keywords) masker.addName(Kind::keyword, keyword);
    for (const std::string& path : options.keywordFiles)
        for (const std::string& keyword : keywordsOf(path, files)) masker.addName(Kind::keyword, keyword);
}

// The input, opened once: every pass reads it through this handle from its start,
// so a file put in its place between the passes is never read; and the engine's
// readers, made once for all passes.
struct InputFile {
    std::string path;
    std::unique_ptr<platform::FileStream> stream;
    report::ArchiveReaders readers;
};

InputFile openInput(const std::string& path, reporttool::ToolEnvironment& environment) {
    platform::ErrorCode error = platform::error::success;
    std::unique_ptr<platform::FileStream> stream = environment.files.openForReading(text::utf8ToWide(path), error);
    if (!stream) throw ReportError(path + ": Datei nicht lesbar: " + path);
    return {path, std::move(stream), report::ArchiveReaders(environment.libraries)};
}

// The report in the input, from its start, unsealed with the opener's key.
report::OpenedReport openedReport(InputFile& input, const seal::Opener* opener) {
    std::uint64_t position = 0;
    try {
        if (input.stream->seek(0, platform::FileStream::fromBegin, position) != platform::error::success)
            throw ReportError("Datei nicht lesbar");
        return report::openReport(std::make_unique<SevenZip::intl::LentStream>(*input.stream), opener);
    } catch (const ReportError& error) {
        throw ReportError(input.path + ": " + error.what());
    }
}

void readInto(InputFile& input, report::OpenedReport report, ReportCleaner& cleaner) {
    report::ReportParser parser(cleaner, report::ReportParser::StreamedContents{});
    try {
        report::readReport(std::move(report), input.readers, parser, report::Decoding::parallel);
    } catch (const ReportError& error) {
        throw ReportError(input.path + ": " + error.what());
    }
}

// Report text shown on a terminal: control characters as \xNN, never as themselves.
std::string shown(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        const bool c1 = c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0 &&
                        static_cast<unsigned char>(text[at + 1]) >= 0x80;
        if (c >= 0x20 && c != 0x7F && !c1) {
            out += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c1 ? static_cast<unsigned char>(text[++at]) : c);
        out += escaped;
    }
    return out;
}

std::string listing(const AliasMap& map) {
    constexpr std::size_t shownPerKind = 5;
    std::string out;
    for (std::size_t kind = 0; kind < kindCount; ++kind) {
        std::size_t count = 0;
        std::string examples;
        for (const AliasMap::Entry& entry : map.entries(static_cast<Kind>(kind))) {
            if (!entry.used) continue;
            if (++count <= shownPerKind) examples += "\n  " + shown(entry.original) + " -> " + entry.alias;
        }
        char head[64];
        std::snprintf(head, sizeof head, "%-10s %zu", AliasMap::kindName(static_cast<Kind>(kind)), count);
        out += head + examples + (count > shownPerKind ? "\n  ..." : "") + "\n";
    }
    return out + "secrets    als ******** ersetzt, nicht in der Zuordnung\n";
}

// Text with LF line ends, written as the report file holds it (CR LF) in large pieces.
class CrLfSink {
public:
    using Write = std::function<platform::ErrorCode(std::string_view bytes)>;
    CrLfSink(Write write, std::string name) : write_(std::move(write)), name_(std::move(name)) {}

    void add(std::string_view text) {
        for (std::size_t start = 0;;) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            buffer_.append(text.substr(start, end - start));
            if (end == text.size()) break;
            buffer_ += "\r\n";
            start = end + 1;
        }
        if (buffer_.size() >= (1u << 20)) flush();
    }
    void flush() {
        if (write_(buffer_) != platform::error::success) throw ReportError(name_ + ": nicht schreibbar");
        buffer_.clear();
    }
    report::TextOut out() {
        return [this](std::string_view text) { add(text); };
    }

private:
    Write write_;
    std::string name_;
    std::string buffer_;
};

// A file of the run's own, held with the folder it was made in, and removed
// again unless it was published.
struct OwnFileGuard {
    OwnFileGuard(std::unique_ptr<platform::OwnFolder> madeIn, platform::OwnFile made)
        : folder(std::move(madeIn)), file(std::move(made)) {}
    OwnFileGuard(OwnFileGuard&&) = default;
    ~OwnFileGuard() {
        if (published || !folder) return;  // or moved away
        file.stream.reset();
        folder->removeOwn(file.name);
    }

    std::unique_ptr<platform::OwnFolder> folder;
    platform::OwnFile file;
    bool published = false;
};

OwnFileGuard createOwn(platform::FileSystem& files, const std::wstring& beside, const std::string& name) {
    platform::ErrorCode error = platform::error::success;
    auto folder = files.openFolder(reporttool::folderOf(files, beside), error);
    platform::OwnFile file = folder ? folder->createOwn(error) : platform::OwnFile{};
    if (!file.stream) throw ReportError(name + ": kann nicht angelegt werden (Fehler " + std::to_string(error) + ")");
    return {std::move(folder), std::move(file)};
}

// The archive's item: the cleaned copy's own name, never the original's path.
SevenZip::ReportItem itemOf(const std::wstring& output, std::int64_t date, wchar_t separator) {
    std::wstring name = output.substr(output.find_last_of(separator == L'\\' ? L"\\/" : L"/") + 1);
    const std::size_t dot = name.rfind(L'.');
    name = (dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot)) + L".xml";
    constexpr std::int64_t secondsFrom1601To1970 = 11644473600;
    const std::uint64_t time = date > 0 ? static_cast<std::uint64_t>(date + secondsFrom1601To1970) * 10000000u : 0;
    return {name, time};
}

// The queue to the engine holds a whole block of what it packs at a time (4 MiB at
// its level) and a piece of the sink's besides, so an encoding thread takes its
// next block at once rather than wait for the cleaning while the other encodes.
constexpr std::size_t packingQueue = std::size_t{8} << 20;

// The cleaned copy into a private file of its own: an archive for an archive,
// whether it came sealed or not; listing, nowhere. What the engine packs
// reaches it as it is cleaned, and nowhere else: should packing fail, the
// input is still there to clean again.
void writeClean(const Options& options, TextMasker& masker, ReportCleaner::Pass pass, InputFile& input,
                const seal::Opener* opener, std::optional<OwnFileGuard>& out, reporttool::ToolEnvironment& environment) {
    report::OpenedReport report = openedReport(input, opener);
    if (options.list) {
        ReportCleaner lister(masker, [](std::string_view) {}, pass);
        return readInto(input, std::move(report), lister);
    }
    const std::wstring output = text::utf8ToWide(options.output);
    out.emplace(createOwn(environment.files, output, options.output));
    if (!report.archive) {
        CrLfSink sink([&](std::string_view bytes) { return writeAll(*out->file.stream, bytes); }, options.output);
        ReportCleaner cleaner(masker, sink.out(), pass);
        readInto(input, std::move(report), cleaner);
        sink.flush();
        if (out->file.stream->close() != platform::error::success) throw ReportError(options.output + ": nicht schreibbar");
        return;
    }
    // The item takes the report's date from its first line: the engine starts
    // with the sink's first piece, which comes after it.
    ReportPipe pipe(packingQueue);
    std::optional<SevenZip::ReportPacker> packer;
    std::optional<ReportCleaner> cleaner;
    CrLfSink sink(
        [&](std::string_view bytes) {
            if (!packer)
                packer.emplace(environment.libraries, itemOf(output, cleaner->date(), environment.files.separator()),
                               pipe, std::move(out->file.stream));
            pipe.write(bytes);
            return platform::error::success;
        },
        options.output);
    try {
        cleaner.emplace(masker, sink.out(), pass);
        readInto(input, std::move(report), *cleaner);
        sink.flush();
    } catch (...) {
        pipe.abandon();
        throw;
    }
    pipe.complete();
    if (!packer->finish()) throw ReportError(options.output + ": Packen mit der 7-Zip-Engine fehlgeschlagen");
}

// The map as it was, and a masker taught what it and the customer name.
struct Masking {
    AliasMap aliases;
    TextMasker masker{aliases};
    Masking(const AliasMap& known, const Options& options, platform::FileSystem& files) : aliases(known) {
        teach(masker, aliases, options, files);
    }
};

// One pass that learns as it masks is enough unless text names what only a
// later part of the report reveals (a local account, a service's account);
// then a first pass learns it all and a second masks with it everywhere.
// The map as the cleaning left it.
AliasMap cleanReport(const Options& options, const AliasMap& known, InputFile& input, const seal::Opener* opener,
                     std::optional<OwnFileGuard>& out, reporttool::ToolEnvironment& environment) {
    try {
        Masking once(known, options, environment.files);
        once.masker.watchForLateLessons();
        writeClean(options, once.masker, ReportCleaner::Pass::learnsAndMasks, input, opener, out, environment);
        return std::move(once.aliases);
    } catch (const LateLesson&) {
        out.reset();
    }
    Masking twice(known, options, environment.files);
    ReportCleaner learner(twice.masker);
    readInto(input, openedReport(input, opener), learner);
    writeClean(options, twice.masker, ReportCleaner::Pass::masks, input, opener, out, environment);
    return std::move(twice.aliases);
}

void publish(OwnFileGuard& own, const std::wstring& target, bool replace, const std::string& name) {
    own.file.stream.reset();
    const platform::ErrorCode error =
        own.folder->publishOwn(own.file.name, target.substr(own.folder->path().size()), replace);
    if (error == platform::error::fileExists) throw ReportError(name + ": existiert bereits, nichts ueberschrieben");
    if (error != platform::error::success)
        throw ReportError(name + ": kann nicht abgelegt werden (Fehler " + std::to_string(error) + ")");
    own.published = true;
}

int clean(const Options& options, reporttool::ToolEnvironment& environment) {
    const reporttool::SealKey key(options.key, environment);
    platform::FileSystem& files = environment.files;
    const std::wstring map = mapPath(options, files);
    const std::string mapName = text::wideToUtf8(map);
    const std::string oldMap = mapBytes(files, map);
    const AliasMap known = parsedMap(oldMap, map);
    const std::wstring output = text::utf8ToWide(options.output);
    if (!options.list && !environment.streams.list(output).empty())
        throw ReportError(options.output + ": existiert bereits, nichts ueberschrieben");

    InputFile input = openInput(options.input, environment);
    std::optional<OwnFileGuard> out;
    const AliasMap aliases = cleanReport(options, known, input, key.opener(), out, environment);
    if (options.list) {
        reporttool::writeText(environment.console, listing(aliases));
        return reporttool::done;
    }

    // The map is complete before the copy is published, and replaces the old one only after it.
    OwnFileGuard newMap = createOwn(files, map, mapName);
    const std::string json = aliases.json();
    if (writeAll(*newMap.file.stream, json) != platform::error::success || newMap.file.stream->close() != platform::error::success)
        throw ReportError(mapName + ": nicht schreibbar; nichts geschrieben");
    // Another clean with the same map meanwhile would lose its aliases, or this one's.
    if (mapBytes(files, map) != oldMap)
        throw ReportError(mapName + ": waehrend der Bereinigung geaendert; nichts geschrieben, bitte wiederholen");
    publish(*out, output, false, options.output);
    publish(newMap, map, true, mapName);
    return reporttool::done;
}

}  // namespace

int runClean(const std::vector<std::string>& arguments, reporttool::ToolEnvironment& environment) {
    return reporttool::runGuarded(environment.console, "tavisk-report clean --help", [&] {
        const Options options = parse(arguments);
        if (options.help) {
            reporttool::writeText(environment.console, usage);
            return int(reporttool::done);
        }
        return clean(options, environment);
    });
}

}  // namespace clean
