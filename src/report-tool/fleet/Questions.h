#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fleet {

struct Argument {
    enum class Kind { text, number, fileName };
    std::string name;  // for the help, e.g. "VERSION"
    Kind kind = Kind::text;
    bool optional = false;  // left out, it is the empty text (a number: the default)
    std::string fallback = {};
};

// A question shipped with the program: SQL over the latest report of each
// computer, with its arguments as $1, $2, ...
struct Question {
    std::string name;
    std::string description;  // German, one line
    std::vector<Argument> arguments;
    // The last argument may be given several times: the question is asked once for each.
    bool lastRepeats = false;
    std::string sql;
};

std::span<const Question> questions();
const Question* findQuestion(const std::string& name);
// The parameter an argument gives: a file name as the file_name column holds
// it; nothing for a number that is none.
std::optional<std::string> parameterOf(const Argument& argument, const std::string& given);

}  // namespace fleet
