#include "platform/linux/AccountFiles.h"

#include "platform/linux/Paths.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

namespace platform::linux_layer {
namespace {

const char* const administratorGroups[] = {"sudo", "wheel", "admin"};
constexpr const char* overflowAccount = "nobody";
constexpr const char* overflowId = "65534";

// The colon-separated fields of a line of an account file; nothing for
// comments and the compatibility entries ("+", "-") that name no local account.
std::vector<std::string> fieldsOf(const std::string& line) {
    if (line.empty() || line.front() == '#' || line.front() == '+' || line.front() == '-') return {};
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ':');) fields.push_back(field);
    return fields;
}

}  // namespace

std::vector<LocalAccount> accountsFromFiles(std::istream& passwd, std::istream& group) {
    std::set<std::string> administratorIds, administratorMembers;
    for (std::string line; std::getline(group, line);) {
        const auto fields = fieldsOf(line);
        if (fields.size() < 3 || std::none_of(std::begin(administratorGroups), std::end(administratorGroups),
                                              [&fields](const char* name) { return fields[0] == name; })) {
            continue;
        }
        administratorIds.insert(fields[2]);
        std::istringstream members(fields.size() > 3 ? fields[3] : "");
        for (std::string member; std::getline(members, member, ',');) administratorMembers.insert(member);
    }
    std::vector<LocalAccount> accounts;
    for (std::string line; std::getline(passwd, line);) {
        const auto fields = fieldsOf(line);
        if (fields.size() < 4 || fields[0].empty()) continue;
        const std::string& name = fields[0];
        std::uint32_t level = privilege::user;
        if (fields[2] == "0" || administratorIds.count(fields[3]) || administratorMembers.count(name)) {
            level = privilege::administrator;
        } else if (name == overflowAccount || fields[2] == overflowId) {
            level = privilege::guest;
        }
        accounts.push_back({nameFromNative(name), level});
    }
    return accounts;
}

}  // namespace platform::linux_layer
