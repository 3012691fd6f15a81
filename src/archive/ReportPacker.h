#pragma once
#include "archive/EngineLibrary.h"
#include "platform/Console.h"
#include "platform/FileStreams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace SevenZip {

// The report as the packing reads it, while it is still being written.
class GrowingReport {
public:
    virtual ~GrowingReport() = default;

    // Waits until the report is complete or holds at least the bytes; true when it is complete.
    virtual bool awaitBytes(std::uint64_t bytes) = 0;
    // The bytes written so far.
    virtual std::uint64_t size() const = 0;
    // The report from its first byte as it grows: a read waits for bytes and
    // finds none only at the end of the complete report. Reads fail once the
    // report was abandoned or bytes they handed out were taken back. Only once.
    virtual std::unique_ptr<platform::FileStream> openGrowing() = 0;
    // True once bytes the growing reader had handed out were taken back.
    virtual bool rewritten() const = 0;
    // The complete report from its first byte; waits for it. Nothing when it was abandoned.
    virtual std::unique_ptr<platform::FileStream> openComplete() = 0;
    // Nothing more comes: a waiting reader fails.
    virtual void abandon() = 0;
};

// The report's one item: its name and times (100 ns units since 1601).
struct ReportItem {
    std::wstring name;
    std::uint64_t time = 0;
};

// Packs the report into an archive on a thread of its own while the report is
// still being written, so a run costs about the longer of collecting and packing.
class ReportPacker {
public:
    // Loads the engine now; without an engine or an archive file it never packs.
    ReportPacker(platform::DynamicLibraries& libraries, ReportItem item, GrowingReport& report,
                 std::unique_ptr<platform::FileStream> archive);
    ReportPacker(const ReportPacker&) = delete;
    ReportPacker& operator=(const ReportPacker&) = delete;
    // Abandons the report when packing has not been finished.
    ~ReportPacker();

    // Waits for the packing of the complete report; true when the archive, closed, holds it.
    bool finish();
    // The same, but the archive stays open for reading it back; null when packing failed.
    std::unique_ptr<platform::FileStream> finishOpen();

private:
    void pack();
    bool write(std::uint64_t declaredSize, std::unique_ptr<platform::FileStream> input);

    EngineLibrary library_;
    const ReportItem item_;
    GrowingReport& report_;
    std::unique_ptr<platform::FileStream> archive_;
    bool packed_ = false;
    std::thread thread_;
};

// Tells the operator that packing failed and waits for Enter.
void reportPackingFailure(platform::Console& console);

}  // namespace SevenZip
