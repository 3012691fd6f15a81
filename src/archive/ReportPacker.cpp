#include "archive/ReportPacker.h"

#include "archive/SevenZipCompressor.h"
#include "archive/SevenZipException.h"

namespace SevenZip {
namespace {

// The engine plans its work, down to the dictionary, by the size it is told.
// A report still growing past this size is announced with nominalSize, which
// plans as for any large file; a smaller one is packed once it is complete,
// with its size exact.
constexpr std::uint64_t plannedFromSize = std::uint64_t{2} << 20;
constexpr std::uint64_t nominalSize = std::uint64_t{1} << 30;

constexpr std::uint32_t archiveAttribute = 0x20;

}  // namespace

ReportPacker::ReportPacker(platform::DynamicLibraries& libraries, ReportItem item, GrowingReport& report,
                           std::unique_ptr<platform::FileStream> archive)
    : library_(libraries), item_(std::move(item)), report_(report), archive_(std::move(archive)) {
    try {
        if (archive_) library_.load(libraries.engineFileName());
    } catch (const SevenZipException&) {
    }
    if (!library_.isLoaded()) {
        report_.abandon();
        return;
    }
    thread_ = std::thread([this] { pack(); });
}

ReportPacker::~ReportPacker() {
    if (!thread_.joinable()) return;
    report_.abandon();
    thread_.join();
}

bool ReportPacker::finish() {
    const auto archive = finishOpen();
    return archive && archive->close() == platform::error::success;
}

std::unique_ptr<platform::FileStream> ReportPacker::finishOpen() {
    if (thread_.joinable()) thread_.join();
    return packed_ ? std::move(archive_) : nullptr;
}

// A rewritten report is packed again from its first byte once it is complete.
void ReportPacker::pack() {
    const bool complete = report_.awaitBytes(plannedFromSize);
    packed_ = write(complete ? report_.size() : nominalSize, report_.openGrowing());
    if (packed_ || !report_.rewritten()) return;
    auto whole = report_.openComplete();
    std::uint64_t start = 0;
    if (whole && archive_->setSize(0) == 0 && archive_->seek(0, platform::FileStream::fromBegin, start) == 0) {
        packed_ = write(report_.size(), std::move(whole));
    }
}

bool ReportPacker::write(std::uint64_t declaredSize, std::unique_ptr<platform::FileStream> input) {
    const std::vector<intl::FileEntry> entries{
        {item_.name, item_.time, item_.time, item_.time, declaredSize, archiveAttribute, false, item_.name}};
    try {
        writeArchive(library_, L"", entries,
                     [&input](const intl::FileEntry&, platform::ErrorCode& error) {
                         if (!input) error = platform::error::invalidHandle;
                         return std::move(input);
                     },
                     *archive_);
        return true;
    } catch (...) {
        // Nothing may leave this thread; the operator learns of the failure from the run.
        return false;
    }
}

void reportPackingFailure(platform::Console& console) {
    console.writeNarrowError("Problem beim Komprimieren! Bitte wenden Sie sich an den Hersteller!\n");
    console.writeNarrowOutput("Bitte druecken Sie die Eingabe-Taste um fort zu fahren!\n");
    console.readCharacter();
}

}  // namespace SevenZip
