// The report reader on any bytes: records or a ReportError, never anything else,
// and the same outcome whether the bytes come whole or one at a time.
#include "read/ReportParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The records as one text, to compare two readings.
class Collected final : public report::RecordHandler {
public:
    void record(report::Record&& record) override {
        text += record.section + '\0' + record.element + '\0' + record.name + '\0' + std::to_string(record.line) + '-' +
                std::to_string(record.lastLine);
        for (const auto& [key, value] : record.attributes) text += '\0' + key + '=' + value;
        for (const std::string& field : record.fields) text += '\1' + field;
        text += record.failure ? "\2F" : "\2";
    }
    std::string text;
};

std::string read(const std::string& bytes, std::size_t piece) {
    Collected collected;
    report::ReportParser parser(collected);
    try {
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            parser.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
        parser.finish();
    } catch (const report::ReportError& error) {
        collected.text += std::string("\3") + error.what();
    }
    return collected.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (read(bytes, bytes.size() + 1) != read(bytes, 1)) std::abort();
    return 0;
}
