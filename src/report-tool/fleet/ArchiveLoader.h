#pragma once
#include "archive/EngineLibrary.h"
#include "platform/Cryptography.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"
#include "read/ReportSource.h"
#include "report-tool/fleet/Database.h"
#include "seal/SealedFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fleet {

// The engine's library, loaded ahead on a thread of its own from the start of a load,
// beside the search for archives and the opening of the database, so that the readers
// find it loaded: under Wine its loading sets up the window system, a good part of a
// small load's time.
class ResidentEngine {
public:
    explicit ResidentEngine(platform::DynamicLibraries& libraries);
    ResidentEngine(const ResidentEngine&) = delete;
    ResidentEngine& operator=(const ResidentEngine&) = delete;
    ~ResidentEngine();

private:
    void load(const std::wstring& name) noexcept;

    SevenZip::EngineLibrary library_;
    std::thread loading_;
};

// Loads archives (or report files) into the database, each in one transaction,
// streaming its records into rows: nothing of a report is held but the element
// being read and a file's contents up to the limit.
class ArchiveLoader {
public:
    struct Outcome {
        bool added = false;  // false: an archive with the same SHA-256 is there already
        std::uint64_t rows = 0;
    };

    // rowsWritten hears the rows of the running archive now and then.
    ArchiveLoader(Database& database, platform::DynamicLibraries& libraries, platform::Cryptography& cryptography,
                  std::uint64_t keptContents, std::function<void(std::uint64_t rowsWritten)> rowsWritten);

    // Throws report::ReportError for an archive that cannot be read, leaving
    // nothing of it behind, and DatabaseError when the database fails. A sealed
    // archive is opened with OPENER's key.
    Outcome load(std::unique_ptr<platform::FileStream> file, const std::string& archiveName,
                 const seal::Opener* opener = nullptr);

private:
    Database& database_;
    platform::Cryptography& cryptography_;
    const std::uint64_t keptContents_;
    std::function<void(std::uint64_t)> rowsWritten_;
    report::ArchiveReaders readers_;
    // One for all archives: a new megabyte for each would be zeroed and mapped anew each time.
    std::vector<std::uint8_t> hashingBuffer_;
};

}  // namespace fleet
