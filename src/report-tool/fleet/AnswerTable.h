#pragma once
#include "report-tool/fleet/Database.h"

#include <string>

namespace fleet {

// The answer as a table for people: columns aligned, a rule under the names,
// each cell on one line, NULL empty, times (columns ending in "_at", seconds
// since 1970) as UTC dates.
std::string answerTable(const QueryResult& result);

}  // namespace fleet
