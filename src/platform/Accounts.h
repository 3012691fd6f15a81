#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Privilege levels of local accounts, as Windows numbers them.
namespace privilege {
inline constexpr std::uint32_t guest = 0;
inline constexpr std::uint32_t user = 1;
inline constexpr std::uint32_t administrator = 2;
}  // namespace privilege

struct LocalAccount {
    std::wstring name;
    std::uint32_t privilege = privilege::user;
};

// The machine's account database. Failures are network management status codes.
class Accounts {
public:
    virtual ~Accounts() = default;

    // The next batch of local accounts from the position in resume (0 at the start);
    // error::moreData means that further batches follow.
    virtual ErrorCode localAccounts(std::uint32_t& resume, std::vector<LocalAccount>& batch) = 0;
    // The server that answers for a domain.
    virtual ErrorCode domainController(const std::wstring& domain, std::wstring& controller) = 0;
    // The account's global groups, and its local groups with indirect membership, as the server knows them.
    virtual ErrorCode globalGroups(const std::wstring& controller, const std::wstring& account,
                                   std::vector<std::wstring>& groups) = 0;
    virtual ErrorCode localGroups(const std::wstring& controller, const std::wstring& account,
                                  std::vector<std::wstring>& groups) = 0;
};

}  // namespace platform
