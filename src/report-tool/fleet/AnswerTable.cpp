#include "report-tool/fleet/AnswerTable.h"

#include <algorithm>
#include <ctime>

namespace fleet {
namespace {

// Seconds since 1970 as a UTC date.
std::string utcDate(const std::string& seconds) {
    if (seconds.empty() || seconds.find_first_not_of("-0123456789") != std::string::npos) return seconds;
    const auto time = static_cast<std::time_t>(std::stoll(seconds));
    const std::tm* parts = std::gmtime(&time);
    char text[32];
    if (!parts || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", parts)) return seconds;
    return text;
}

std::size_t characters(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string cellText(const std::optional<std::string>& cell, const std::string& column) {
    if (!cell) return "";
    std::string text = column.ends_with("_at") ? utcDate(*cell) : *cell;
    // A cell stays on its line.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

}  // namespace

std::string answerTable(const QueryResult& result) {
    std::vector<std::vector<std::string>> lines = {result.columns};
    for (const auto& row : result.rows) {
        auto& line = lines.emplace_back();
        for (std::size_t column = 0; column < row.size(); ++column)
            line.push_back(cellText(row[column], result.columns[column]));
    }
    std::vector<std::size_t> widths(result.columns.size(), 0);
    for (const auto& line : lines)
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], characters(line[column]));
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (std::size_t column = 0; column < line.size(); ++column)
            text += line[column] +
                    std::string(column + 1 < line.size() ? widths[column] - characters(line[column]) + 2 : 0, ' ');
        out += text + "\n";
        if (&line == &lines.front()) {
            std::size_t total = 0;
            for (std::size_t width : widths) total += width + 2;
            out += std::string(total > 2 ? total - 2 : 0, '-') + "\n";
        }
    }
    return result.rows.empty() ? out + "(keine Treffer)\n" : out;
}

}  // namespace fleet
