#include "report-tool/FleetCommands.h"

#include "dispatch/TerminalProgress.h"
#include "read/ReportRecord.h"
#include "report-tool/fleet/AnswerTable.h"
#include "report-tool/fleet/ArchiveLoader.h"
#include "report-tool/fleet/ArchiveSearch.h"
#include "report-tool/fleet/Questions.h"
#include "report-tool/fleet/Schema.h"
#include "report-tool/SealKey.h"
#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace reporttool {
namespace {

using fleet::DatabaseError;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t defaultKeptContents = 1u << 20;

const char* const loadUsage =
    "Aufruf: tavisk-report load DATENBANK ARCHIV... [--content-limit BYTES] [--key SCHLUESSEL]\n"
    "\n"
    "Laedt Berichte in eine Datenbank, jedes Archiv in einer Transaktion. Ein Archiv, das schon\n"
    "geladen ist (gleiche SHA-256), fuegt nichts hinzu; ein unlesbares hinterlaesst nichts.\n"
    "  DATENBANK  Pfad einer SQLite-Datei (beim ersten Mal angelegt, nur fuer den Besitzer lesbar)\n"
    "             oder postgresql://BENUTZER@HOST:PORT/DATENBANK (ein PostgreSQL-Server)\n"
    "  ARCHIV     ein .tavisk-Archiv, ein versiegeltes (.tavisk.p7m), ein Bericht (.xml) oder ein\n"
    "             Ordner: jedes .tavisk und .tavisk.p7m darin und darunter (Verknuepfungen auf\n"
    "             Ordner werden nicht verfolgt)\n"
    "  --content-limit BYTES  Dateiinhalte bis zu dieser Groesse speichern, von groesseren nur\n"
    "             die Groesse (Vorgabe 1048576; 0: keine Inhalte)\n"
    "  --key SCHLUESSEL  versiegelte Archive mit diesem privaten Schluessel lesen (PEM, PKCS#8\n"
    "             oder PKCS#12); --key-pass-file DATEI: seine Passphrase (sonst am Terminal)\n"
    "\n"
    "Exit-Status: 0 alles geladen oder schon vorhanden, 2 ein Archiv oder die Datenbank fehlerhaft\n";

struct Invocation {
    std::string command;
    std::vector<std::string> operands;
    bool help = false;
    bool sql = false;
    std::uint64_t keptContents = defaultKeptContents;
    KeyOptions key = {};
};

std::uint64_t byteCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18)
        throw UsageError("--content-limit erwartet eine Zahl von Bytes");
    return std::stoull(text);
}

Invocation parse(const std::vector<std::string>& arguments) {
    Invocation invocation;
    invocation.command = arguments.at(0);
    bool optionsEnded = false;
    for (auto argument = arguments.begin() + 1; argument != arguments.end(); ++argument) {
        const bool option = !optionsEnded && argument->size() > 1 && (*argument)[0] == '-';
        if (!option) {
            invocation.operands.push_back(*argument);
        } else if (*argument == "--") {
            optionsEnded = true;
        } else if (*argument == "--help" || *argument == "-h") {
            invocation.help = true;
        } else if (invocation.command == "query" && *argument == "--sql") {
            invocation.sql = true;
        } else if (invocation.command == "load" && takeKeyOption(argument, arguments.end(), invocation.key)) {
        } else if (invocation.command == "load" && *argument == "--content-limit") {
            if (++argument == arguments.end()) throw UsageError("--content-limit erwartet eine Zahl von Bytes");
            invocation.keptContents = byteCount(*argument);
        } else if (invocation.command == "load" && argument->starts_with("--content-limit=")) {
            invocation.keptContents = byteCount(argument->substr(16));
        } else {
            throw UsageError("Unbekannte Option: " + *argument);
        }
    }
    return invocation;
}

std::string queryUsage() {
    std::string text =
        "Aufruf: tavisk-report query DATENBANK FRAGE [ARGUMENT...] [--sql]\n"
        "\n"
        "Stellt eine mitgelieferte Frage an den neuesten Bericht jedes Rechners und zeigt die\n"
        "Antwort als Tabelle (Zeiten *_at in UTC). --sql zeigt nur das SQL der Frage.\n"
        "\n"
        "Fragen:\n";
    for (const fleet::Question& question : fleet::questions()) {
        std::string call = question.name;
        for (const fleet::Argument& argument : question.arguments)
            call +=
                argument.optional ? " [" + argument.name + (question.lastRepeats ? "...]" : "]") : " " + argument.name;
        text += "  " + call + "\n      " + question.description + "\n";
    }
    return text + "\nExit-Status: 0 beantwortet, 2 Fehler\n";
}

std::string baseName(const std::wstring& path, const platform::FileSystem& files) {
    return text::wideToUtf8(path.substr(folderOf(files, path).size()));
}

// ---- the database

// A new database file is made as the tool makes its own files: owner-only, and
// put under its name only where nothing is there yet.
void createDatabaseFile(const std::string& path, platform::FileSystem& files) {
    const std::wstring target = text::utf8ToWide(path);
    platform::ErrorCode error = platform::error::success;
    if (files.openForReading(target, error) || error != platform::error::fileNotFound) return;
    // Another load made it in the meantime: that one is used.
    const NewFile made = writeNewFile(files, target, std::string_view());
    if (made != NewFile::written && made != NewFile::exists)
        throw DatabaseError(path + ": Datenbank kann nicht angelegt werden");
}

std::unique_ptr<fleet::Database> openDatabase(const std::string& location, bool create, ToolEnvironment& environment) {
    if (fleet::isServerLocation(location)) return fleet::openPostgresDatabase(location);
    platform::FileSystem& files = environment.files;
    // SQLite follows a link on Windows: it is refused before, on every system alike.
    for (const platform::ListedEntry& entry : environment.streams.list(text::utf8ToWide(location)))
        if (entry.attributes & platform::reparsePointAttribute)
            throw DatabaseError(location + ": eine Verknuepfung, keine Datenbank");
    platform::ErrorCode error = platform::error::success;
    if (create)
        createDatabaseFile(location, files);
    else if (!files.openForReading(text::utf8ToWide(location), error))
        throw DatabaseError(location + ": Datenbank nicht gefunden");
    return fleet::openSqliteDatabase(location, !create);
}

// ---- load

// Archives done of all and rows per second, on one line of standard error where someone watches it.
class LoadProgress {
public:
    LoadProgress(platform::Console& console, std::size_t total) : total_(total) {
        if (console.errorIsTerminal()) terminal_.emplace(console);
    }

    void rowsOfRunningArchive(std::uint64_t rows) {
        runningRows_ = rows;
        if (Clock::now() - shownAt_ >= std::chrono::milliseconds(250)) show();
    }
    void archiveDone(std::uint64_t rows) {
        ++done_;
        finishedRows_ += rows;
        runningRows_ = 0;
        show();
    }
    // Makes room for a line of text.
    void hide() {
        if (terminal_) terminal_->finished();
    }
    std::uint64_t rows() const { return finishedRows_; }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    void show() {
        shownAt_ = Clock::now();
        if (!terminal_) return;
        const double elapsed = std::max(seconds(), 0.001);
        const auto rate = static_cast<std::uint64_t>(static_cast<double>(finishedRows_ + runningRows_) / elapsed);
        terminal_->request(done_, total_, L"Archive,", std::to_wstring(rate) + L" Zeilen/s");
    }

    std::optional<TerminalProgress> terminal_;
    const std::size_t total_;
    std::size_t done_ = 0;
    std::uint64_t finishedRows_ = 0, runningRows_ = 0;
    const Clock::time_point start_ = Clock::now();
    Clock::time_point shownAt_ = start_;
};

// Why a folder could not be searched, in a few words.
std::string searchFailure(platform::ErrorCode error) {
    switch (error) {
        case platform::error::accessDenied:
            return "Zugriff verweigert";
        case platform::error::filenameTooLong:
            return "Pfad zu lang";
        default:
            return "Fehler " + std::to_string(error);
    }
}

int load(const Invocation& invocation, ToolEnvironment& environment) {
    if (invocation.operands.size() < 2) throw UsageError("load erwartet eine Datenbank und mindestens ein Archiv");
    const fleet::ResidentEngine engine(environment.libraries);
    fleet::ArchivesFound found = fleet::archivesNamed(
        {invocation.operands.begin() + 1, invocation.operands.end()}, environment.folders,
        environment.files.separator());
    // What was never found is a failure too, named before the loading starts.
    for (const fleet::UnsearchableFolder& folder : found.unsearchable)
        writeFailure(environment.console, text::wideToUtf8(folder.path) + ": Ordner nicht durchsuchbar (" +
                                              searchFailure(folder.error) + ")");
    const auto database = openDatabase(invocation.operands[0], true, environment);
    fleet::prepareSchema(*database, true);
    const SealKey key(invocation.key, environment);
    LoadProgress progress(environment.console, found.archives.size());
    fleet::ArchiveLoader loader(*database, environment.libraries, environment.cryptography, invocation.keptContents,
                                [&progress](std::uint64_t rows) { progress.rowsOfRunningArchive(rows); });
    fleet::ArchiveOpener opener(environment.folders, environment.files);
    std::size_t added = 0, present = 0, failures = found.unsearchable.size();
    for (fleet::FoundArchive& archive : found.archives) {
        fleet::ArchiveLoader::Outcome outcome;
        try {
            platform::ErrorCode error = platform::error::success;
            auto file = opener.open(archive, error);
            if (!file) throw report::ReportError("Datei nicht lesbar");
            outcome = loader.load(std::move(file), baseName(archive.path, environment.files), key.opener());
            ++(outcome.added ? added : present);
        } catch (const report::ReportError& error) {
            progress.hide();
            writeFailure(environment.console, text::wideToUtf8(archive.path) + ": " + error.what());
            ++failures;
        }
        progress.archiveDone(outcome.rows);
    }
    progress.hide();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", progress.seconds());
    writeText(environment.console, std::to_string(added) + " Archive geladen, " + std::to_string(present) +
                                       " schon in der Datenbank, " + std::to_string(failures) + " fehlerhaft (" +
                                       std::to_string(progress.rows()) + " Zeilen in " + seconds + " s)\n");
    return failures == 0 ? done : failed;
}

// ---- query

// The parameters of each asking: one set, or one per value of a repeated last argument.
std::vector<std::vector<std::string>> parameterSets(const fleet::Question& question,
                                                    const std::vector<std::string>& given) {
    const std::size_t count = question.arguments.size();
    std::size_t required = 0;
    for (const fleet::Argument& argument : question.arguments) required += !argument.optional;
    if (given.size() < required || (given.size() > count && !question.lastRepeats))
        throw UsageError("Frage " + question.name + ": falsche Zahl von Argumenten ('query --help')");
    const std::size_t askings = question.lastRepeats && given.size() > count ? given.size() - count + 1 : 1;
    std::vector<std::vector<std::string>> sets;
    for (std::size_t asking = 0; asking < askings; ++asking) {
        std::vector<std::string> parameters;
        for (std::size_t index = 0; index < count; ++index) {
            const fleet::Argument& argument = question.arguments[index];
            const std::size_t position = index + 1 == count ? index + asking : index;
            const std::string value = position < given.size() ? given[position] : argument.fallback;
            const std::optional<std::string> parameter = fleet::parameterOf(argument, value);
            if (!parameter) throw UsageError(argument.name + " muss eine Zahl sein: " + value);
            parameters.push_back(*parameter);
        }
        sets.push_back(std::move(parameters));
    }
    return sets;
}

int query(const Invocation& invocation, ToolEnvironment& environment) {
    const std::vector<std::string>& operands = invocation.operands;
    if (operands.size() < 2) throw UsageError("query erwartet eine Datenbank und eine Frage ('query --help')");
    const fleet::Question* question = fleet::findQuestion(operands[1]);
    if (!question) throw UsageError("Unbekannte Frage: " + operands[1] + " ('query --help' listet sie)");
    const auto sets = parameterSets(*question, {operands.begin() + 2, operands.end()});
    if (invocation.sql) {
        writeText(environment.console, question->sql + "\n");
        return done;
    }
    const auto database = openDatabase(operands[0], false, environment);
    fleet::prepareSchema(*database, false);
    fleet::QueryResult answer;
    for (const auto& parameters : sets) {
        fleet::QueryResult part = database->query(question->sql, parameters);
        answer.columns = std::move(part.columns);
        std::move(part.rows.begin(), part.rows.end(), std::back_inserter(answer.rows));
    }
    writeText(environment.console, fleet::answerTable(answer));
    return done;
}

}  // namespace

bool isFleetCommand(const std::string& command) { return command == "load" || command == "query"; }

int runFleetCommand(const std::vector<std::string>& arguments, ToolEnvironment& environment) {
    return runGuarded(environment.console, "tavisk-report " + arguments[0] + " --help", [&] {
        try {
            const Invocation invocation = parse(arguments);
            if (invocation.help) {
                writeText(environment.console, invocation.command == "load" ? loadUsage : queryUsage());
                return int(done);
            }
            return invocation.command == "load" ? load(invocation, environment) : query(invocation, environment);
        } catch (const DatabaseError& error) {
            throw report::ReportError(std::string("Datenbank: ") + error.what());
        }
    });
}

}  // namespace reporttool
