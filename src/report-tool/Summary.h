#pragma once
#include "read/ReportRecord.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace reporttool {

// What "show" tells of one report, gathered record by record: memory stays
// bounded whatever the report's size.
class Summary final : public report::RecordHandler {
public:
    void record(report::Record&& record) override;

    std::string text() const;
    std::string json() const;

    // Every failure is listed until the list holds this many bytes; the rest
    // are only counted, so memory stays bounded.
    static constexpr std::size_t listedFailureBytes = 8u << 20;

    struct Disk {
        std::string path, free, total;
        double usedShare() const;
    };
    // A failed request, or a stretch of the report that could not be read
    // (element "unlesbar", its lines and the start of its text).
    struct Failure {
        std::string element, name, text;
        std::uint64_t firstLine = 0, lastLine = 0;
        std::string lines() const;  // "Zeilen 4-5", "Zeile 4"
    };
    struct Facts {
        std::map<std::string, std::string> computer;
        std::vector<std::pair<std::string, std::string>> systemFigures;
        std::vector<std::string> os, cpu, ram;  // fields trimmed of their line ends
        std::vector<Disk> disks;
        std::map<std::string, std::uint64_t> servicesByState;
        std::vector<std::string> automaticNotRunning;
        std::vector<Failure> failures;
        std::uint64_t failureCount = 0;  // stretches that could not be read included
        std::uint64_t unreadableCount = 0;
        std::size_t failureBytes = 0;
        std::map<std::string, std::uint64_t> sectionCounts;

        std::string computerValue(const char* key) const;
        std::string collectionTime() const;  // local time and UTC
        double memoryShare() const;
        std::string processorLoad() const;  // "100 %" for the written "1e+02%"
    };
    const Facts& facts() const { return facts_; }

private:
    void addFailure(Failure&& failure);

    Facts facts_;
};

}  // namespace reporttool
