#pragma once
#include "read/ReportRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace report {

// Turns the bytes of a report into records as they arrive, in pieces of any
// size, holding no more than the element being read. A stretch it cannot take
// as elements becomes one "unlesbar" record, and reading goes on at the next
// line that starts an element it knows: one damaged element never costs the
// rest of the report. Throws ReportError naming the line only for what is no
// report at all, or a report cut short.
class ReportParser {
public:
    // At most this many bytes of a file's contents are kept, the first ones; the
    // rest is only measured (contentSize), so memory stays flat whatever the
    // files' sizes.
    struct ContentsLimit {
        std::uint64_t bytes;
    };

    // Contents are handed to the handler piece by piece (RecordHandler::fileContents), none kept.
    struct StreamedContents {};

    explicit ReportParser(RecordHandler& handler, bool keepContents = true)
        : ReportParser(handler, ContentsLimit{keepContents ? UINT64_MAX : 0}) {}
    ReportParser(RecordHandler& handler, ContentsLimit keptContents) : handler_(handler), keptContents_(keptContents.bytes) {}
    ReportParser(RecordHandler& handler, StreamedContents) : handler_(handler), keptContents_(0), streamsContents_(true) {}

    void feed(const char* data, std::size_t size);
    // The report ends here; throws when it ends anywhere but after "</computer>".
    void finish();

    // An element or line longer than this is read as an unreadable stretch, and
    // no more of a stretch than this is kept.
    static constexpr std::size_t maximumElementSize = 16u << 20;

private:
    enum class Stage { declaration, computer, body, contents, done };

    void line(std::string_view text);
    void reopenBody();
    void bodyLine(std::string_view text);
    void contentLine(std::string_view text);
    void startElement(std::string_view text);
    void continueElement(std::string_view text);
    bool enterSection(const char* section, int rank, bool wrapped, std::string_view text);
    void startSystem(std::string_view text);
    void closeElement(std::string_view tag, std::string_view text);
    void appendContents(std::string_view text, bool endsLine);
    void finishContents();
    void emit(Record&& record);
    void skipLongLine();
    void unreadableStretch(std::uint64_t firstLine, std::string_view text);
    void keepUnreadable(std::string_view text);
    void emitUnreadable();
    [[noreturn]] void fail(const std::string& what) const;

    RecordHandler& handler_;
    const std::uint64_t keptContents_;
    const bool streamsContents_ = false;
    Stage stage_ = Stage::declaration;
    std::string pending_;  // the line not yet ended
    bool pendingIsContinuation_ = false;  // part of it already went to the contents
    std::uint64_t lineNumber_ = 0;
    std::string section_;  // the section last entered
    bool wrapped_ = false;  // inside its wrapper element
    int sectionRank_ = 0;
    std::string elementTag_;  // the element open over several lines, if any
    std::string elementText_;
    std::uint64_t elementLine_ = 0;
    Record element_;            // the record of the element last read
    Record contents_;           // the file contents being read
    bool endTagPending_ = false;  // a "</filecontent>" line awaits the next one
    Record unreadable_;           // the unreadable stretch not yet handed on, if any
    bool skippingLongLine_ = false;  // the rest of an overlong line belongs to it
};

}  // namespace report
