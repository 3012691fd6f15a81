#pragma once
#include "read/ReportParser.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileSystem.h"
#include "seal/Der.h"
#include "seal/SealedFile.h"

#include <memory>
#include <string>

namespace report {

// The engine's threads for one archive: as many as it likes (a large archive
// decodes faster; a small one gets one all the same), or one (less memory, for
// reading several archives at once).
enum class Decoding { parallel, oneThread };

// The engine and the readers it made, kept for reading archives one after another:
// each new reader asks the system for its processors and memory, round trips to the
// server under Wine. One reader is kept for each way of decoding.
class ArchiveReaders {
public:
    explicit ArchiveReaders(platform::DynamicLibraries& libraries);
    ArchiveReaders(const ArchiveReaders&) = delete;
    ArchiveReaders& operator=(const ArchiveReaders&) = delete;
    ~ArchiveReaders();

    struct Kept;
    Kept& kept() { return *kept_; }

private:
    std::unique_ptr<Kept> kept_;
};

// Feeds the report in FILE to the parser and finishes it: a ".tavisk" archive
// (recognised by its signature, not its name) is streamed through the engine,
// which must hold exactly one file; anything else is read as the report itself.
// A sealed file is opened with OPENER's key first. Only a regular file is opened,
// and nothing is written to disk. True when the report came from an archive.
// Throws ReportError.
bool readReport(const std::wstring& path, const platform::FileSystem& files, platform::DynamicLibraries& libraries,
                ReportParser& parser, Decoding decoding = Decoding::parallel, const seal::Opener* opener = nullptr);
// The same from a file already open, read from its start.
bool readReport(std::unique_ptr<platform::FileStream> file, platform::DynamicLibraries& libraries, ReportParser& parser,
                Decoding decoding = Decoding::parallel, const seal::Opener* opener = nullptr);
// The same with readers kept from earlier archives.
bool readReport(std::unique_ptr<platform::FileStream> file, ArchiveReaders& readers, ReportParser& parser,
                Decoding decoding = Decoding::parallel, const seal::Opener* opener = nullptr);

// A report file opened for reading: unsealed, and known to be an archive or not,
// before a byte of the report itself is read.
struct OpenedReport {
    std::unique_ptr<platform::FileStream> file;
    bool archive = false;
};
OpenedReport openReport(std::unique_ptr<platform::FileStream> file, const seal::Opener* opener = nullptr);
void readReport(OpenedReport report, ArchiveReaders& readers, ReportParser& parser,
                Decoding decoding = Decoding::parallel);

}  // namespace report
