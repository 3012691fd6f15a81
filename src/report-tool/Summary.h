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

    // Failures beyond this many are only counted.
    static constexpr std::size_t listedFailures = 50;

private:
    struct Disk {
        std::string path, free, total;
    };
    struct Failure {
        std::string element, name, text;
    };

    std::map<std::string, std::string> computer_;
    std::vector<std::pair<std::string, std::string>> systemFigures_;
    std::vector<std::string> os_, cpu_, ram_;
    std::vector<Disk> disks_;
    std::map<std::string, std::uint64_t> servicesByState_;
    std::vector<std::string> automaticNotRunning_;
    std::vector<Failure> failures_;
    std::uint64_t failureCount_ = 0;
    std::map<std::string, std::uint64_t> sectionCounts_;
};

}  // namespace reporttool
