#pragma once
#include "read/ReportRecord.h"
#include "read/ReportWriter.h"
#include "report-tool/clean/TextMasker.h"

#include <cstdint>
#include <string>

namespace clean {

// Cleans a report record by record and writes it again through the report's
// own element writer: names, accounts and free text masked, figures (times,
// sizes, versions, states) kept. It learns the names the records and texts
// reveal (host, accounts) as it goes, so a first pass over the report that
// only learns teaches the masker what the second then masks everywhere. A
// single pass learns from each record and line before it masks it.
class ReportCleaner final : public report::RecordHandler {
public:
    enum class Pass { masks, learnsAndMasks };

    // Learns only: masks and writes nothing.
    explicit ReportCleaner(TextMasker& masker);
    ReportCleaner(TextMasker& masker, report::TextOut out, Pass pass = Pass::masks);

    void record(report::Record&& record) override;
    void fileContents(const report::Record& file, std::string_view text, bool lineEnds) override;
    void end() override;

    // The report's date attribute, seconds since 1970; 0 until its first line was read.
    std::int64_t date() const { return date_; }

private:
    void learn(const report::Record& record);
    template <typename Visit>
    void eachMaskedText(report::Record& record, Visit visit);
    void mask(report::Record& record);

    const bool learns_;  // all that a pass that only learns would
    const bool cleans_;

    TextMasker& masker_;
    report::TextOut out_;
    report::ReportWriter writer_;
    bool contentsOpen_ = false;
    std::string line_;
    std::int64_t date_ = 0;
};

}  // namespace clean
