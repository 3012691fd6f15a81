#include "report-tool/fleet/ArchiveLoader.h"

#include "archive/SevenZipException.h"
#include "read/ReportParser.h"
#include "read/ReportSource.h"
#include "text/Utf8.h"

#include <chrono>
#include <system_error>
#include <vector>

namespace fleet {
namespace {

// The rows of one archive are reported in steps of this many.
constexpr std::uint64_t rowsPerNotice = 16384;

// What a text column can hold on both back ends: UTF-8 without NUL.
bool isStorable(std::string_view text) {
    bool ascii = true;
    for (const char c : text) {
        if (c == '\0') return false;
        ascii &= static_cast<unsigned char>(c) < 0x80;
    }
    return ascii || text::isUtf8(text);
}

std::string storable(std::string_view text) {
    std::string repaired = text::repairedUtf8(text);
    for (char& c : repaired)
        if (c == '\0') c = ' ';
    return repaired;
}

// An archive found in the database before anything of it was written.
struct AlreadyLoaded {};

// Writes each record as it arrives; the report's row comes from the computer line.
class RowWriter final : public report::RecordHandler {
public:
    RowWriter(Database& database, std::uint64_t keptContents, const std::function<void(std::uint64_t)>& rowsWritten,
              std::vector<std::string> reportTexts)
        : database_(database),
          keptContents_(keptContents),
          rowsWritten_(rowsWritten),
          reportTexts_(std::move(reportTexts)) {}

    void record(report::Record&& record) override {
        if (record.element == "computer") return insertReport(record);
        const RecordTable* table = tableFor(record);
        if (!table) return;
        for (std::size_t item = 0; item < table->rowsOf(record); ++item) insertRow(*table, record, item);
    }

    std::int64_t reportId() const { return reportId_; }
    std::uint64_t rows() const { return rows_; }

private:
    void insertReport(const report::Record& record) {
        const std::string date = record.attribute("date");
        if (date.empty() || date.find_first_not_of("-0123456789") != std::string::npos)
            throw report::ReportError("Zeile 2: Erfassungszeit ist keine Zahl");
        std::vector<std::string> parameters = {storable(record.attribute("hostname")),
                                               storable(record.attribute("username")), date};
        parameters.insert(parameters.end(), reportTexts_.begin(), reportTexts_.end());
        const QueryResult inserted = database_.query(
            "INSERT INTO report (computer, account, collected_at, archive_name, archive_sha256, loaded_at)"
            " VALUES ($1, $2, $3, $4, $5, $6) ON CONFLICT (archive_sha256) DO NOTHING RETURNING id",
            parameters);
        // Another load took the same archive in the meantime.
        if (inserted.rows.empty()) throw AlreadyLoaded{};
        reportId_ = std::stoll(*inserted.rows[0][0]);
    }

    void insertRow(const RecordTable& table, const report::Record& record, std::size_t item) {
        row_.assign(1, Value::ofInteger(reportId_));
        repaired_.resize(table.columns.size() + 1);
        const RowSource source{record, item, keptContents_, scratch_};
        for (const Column& column : table.columns) {
            Value value = column.value(source);
            if (value.kind == Value::Kind::text && !isStorable(value.text)) {
                std::string& repaired = repaired_[row_.size()];
                repaired = storable(value.text);
                value.text = repaired;
            }
            row_.push_back(value);
        }
        database_.insert(table, row_);
        if (++rows_ % rowsPerNotice == 0) rowsWritten_(rows_);
    }

    Database& database_;
    const std::uint64_t keptContents_;
    const std::function<void(std::uint64_t)>& rowsWritten_;
    const std::vector<std::string> reportTexts_;  // archive name, SHA-256, loaded at
    std::int64_t reportId_ = 0;
    std::uint64_t rows_ = 0;
    std::vector<Value> row_;
    std::vector<std::string> repaired_;
    std::string scratch_;
};

std::string nowInSeconds() {
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

std::string lowerHex(const platform::Sha256Value& value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : value) text.append({digits[byte >> 4], digits[byte & 15]});
    return text;
}

// The SHA-256 of the file from its start, in lower-case hex: what the database knows an archive by.
std::string sha256Of(platform::FileStream& file, platform::Cryptography& cryptography,
                     std::vector<std::uint8_t>& buffer) {
    const std::unique_ptr<platform::Digest> digest = cryptography.sha256();
    if (!digest) throw report::ReportError("SHA-256 nicht berechenbar");
    std::uint64_t position = 0;
    if (file.seek(0, platform::FileStream::fromBegin, position) != platform::error::success)
        throw report::ReportError("Datei nicht lesbar");
    for (;;) {
        std::uint32_t read = 0;
        if (file.read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read) != platform::error::success)
            throw report::ReportError("Datei nicht lesbar");
        if (read == 0) break;
        if (!digest->add(buffer.data(), read)) throw report::ReportError("SHA-256 nicht berechenbar");
    }
    const auto value = digest->finish();
    if (!value) throw report::ReportError("SHA-256 nicht berechenbar");
    return lowerHex(*value);
}

}  // namespace

ResidentEngine::ResidentEngine(platform::DynamicLibraries& libraries) : library_(libraries) {
    try {
        loading_ = std::thread([this, name = libraries.engineFileName()] { load(name); });
    } catch (const std::system_error&) {
        load(libraries.engineFileName());
    }
}

ResidentEngine::~ResidentEngine() {
    if (loading_.joinable()) loading_.join();
}

void ResidentEngine::load(const std::wstring& name) noexcept {
    try {
        library_.load(name);
    } catch (const SevenZip::SevenZipException&) {
        // Each archive says so itself; reports that are no archives still load.
    }
}

ArchiveLoader::ArchiveLoader(Database& database, platform::DynamicLibraries& libraries,
                             platform::Cryptography& cryptography, std::uint64_t keptContents,
                             std::function<void(std::uint64_t rowsWritten)> rowsWritten)
    : database_(database),
      cryptography_(cryptography),
      keptContents_(keptContents),
      rowsWritten_(std::move(rowsWritten)),
      readers_(libraries),
      hashingBuffer_(1u << 20) {}

ArchiveLoader::Outcome ArchiveLoader::load(std::unique_ptr<platform::FileStream> file, const std::string& archiveName,
                                           const seal::Opener* opener) {
    const std::string digest = sha256Of(*file, cryptography_, hashingBuffer_);
    RowWriter writer(database_, keptContents_, rowsWritten_, {storable(archiveName), digest, nowInSeconds()});
    report::ReportParser parser(writer, report::ReportParser::ContentsLimit{keptContents_});
    // One transaction from the look for an archive loaded before to the commit: each
    // transaction takes and leaves the database's locks, round trips to the server under Wine.
    database_.begin();
    try {
        // The quick answer for an archive loaded before; the insert decides in a race.
        if (!database_.query("SELECT 1 FROM report WHERE archive_sha256 = $1", {digest}).rows.empty())
            throw AlreadyLoaded{};
        report::readReport(std::move(file), readers_, parser, report::Decoding::parallel, opener);
        database_.execute("UPDATE report SET row_count = " + std::to_string(writer.rows()) +
                          " WHERE id = " + std::to_string(writer.reportId()));
        database_.commit();
    } catch (const AlreadyLoaded&) {
        database_.rollback();
        return {};
    } catch (...) {
        database_.rollback();
        throw;
    }
    return {true, writer.rows()};
}

}  // namespace fleet
