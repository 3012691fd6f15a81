#include "platform/linux/AccountFiles.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"
#include "text/AsciiCase.h"

#include <fstream>
#include <grp.h>
#include <pwd.h>

namespace platform {
namespace {

constexpr ErrorCode domainControllerNotFound = 2453;

std::optional<std::string> groupName(gid_t id) {
    const group* entry = getgrgid(id);
    if (!entry) return std::nullopt;
    return entry->gr_name;
}

// Linux has no domains: the machine itself, named as its computer name, by
// "." or by nothing, answers for its accounts. An account's primary group is
// its global group, its other groups are its local groups.
class LinuxAccounts final : public Accounts {
public:
    ErrorCode localAccounts(std::uint32_t& resume, std::vector<LocalAccount>& batch) override {
        std::ifstream passwd("/etc/passwd"), group("/etc/group");
        if (!passwd) return error::accessDenied;
        batch = linux_layer::accountsFromFiles(passwd, group);
        resume = static_cast<std::uint32_t>(batch.size());
        return error::success;
    }

    ErrorCode domainController(const std::wstring& domain, std::wstring& controller) override {
        const auto machine = nativeHost().computerName().value_or(L"");
        // Computer names ignore the case of A-Z, as on Windows.
        if (!domain.empty() && domain != L"." && text::lowerAscii(domain) != text::lowerAscii(machine)) {
            return domainControllerNotFound;
        }
        controller = machine;
        return error::success;
    }

    ErrorCode globalGroups(const std::wstring&, const std::wstring& account,
                           std::vector<std::wstring>& groups) override {
        const passwd* entry = getpwnam(linux_layer::toNative(account).c_str());
        if (!entry) return error::userNotFound;
        if (const auto name = groupName(entry->pw_gid)) groups.push_back(linux_layer::nameFromNative(*name));
        return error::success;
    }

    ErrorCode localGroups(const std::wstring&, const std::wstring& account,
                          std::vector<std::wstring>& groups) override {
        const std::string name = linux_layer::toNative(account);
        const passwd* entry = getpwnam(name.c_str());
        if (!entry) return error::userNotFound;
        const gid_t primary = entry->pw_gid;
        std::vector<gid_t> ids(64);
        int count = static_cast<int>(ids.size());
        while (getgrouplist(name.c_str(), primary, ids.data(), &count) < 0) {
            ids.resize(static_cast<std::size_t>(count) > ids.size() ? static_cast<std::size_t>(count) : ids.size() * 2);
            count = static_cast<int>(ids.size());
        }
        for (int i = 0; i < count; ++i) {
            if (ids[static_cast<std::size_t>(i)] == primary) continue;
            if (const auto group = groupName(ids[static_cast<std::size_t>(i)])) {
                groups.push_back(linux_layer::nameFromNative(*group));
            }
        }
        return error::success;
    }
};

}  // namespace

Accounts& nativeAccounts() {
    static LinuxAccounts accounts;
    return accounts;
}

}  // namespace platform
