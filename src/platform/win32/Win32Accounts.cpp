#include "platform/Native.h"

#include <windows.h>
#include <lm.h>

namespace platform {
namespace {

// Copies what a network management call returned and releases its buffer.
template <typename Entry, typename Copy>
void takeEntries(BYTE* buffer, DWORD count, Copy copy) {
    if (!buffer) return;
    const auto* entries = reinterpret_cast<const Entry*>(buffer);
    for (DWORD i = 0; i < count; ++i) copy(entries[i]);
    NetApiBufferFree(buffer);
}

class Win32Accounts final : public Accounts {
public:
    ErrorCode localAccounts(std::uint32_t& resume, std::vector<LocalAccount>& batch) override {
        BYTE* buffer = nullptr;
        DWORD read = 0, total = 0, position = resume;
        const NET_API_STATUS status =
            NetUserEnum(nullptr, 2, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &position);
        resume = position;
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            if (buffer) NetApiBufferFree(buffer);
            return status;
        }
        takeEntries<USER_INFO_2>(buffer, read, [&batch](const USER_INFO_2& user) {
            batch.push_back({user.usri2_name ? user.usri2_name : L"", user.usri2_priv});
        });
        return status;
    }

    ErrorCode domainController(const std::wstring& domain, std::wstring& controller) override {
        BYTE* name = nullptr;
        if (const NET_API_STATUS status = NetGetDCName(nullptr, domain.c_str(), &name); status != NERR_Success) {
            return status;
        }
        controller = reinterpret_cast<const wchar_t*>(name);
        return NetApiBufferFree(name);
    }

    ErrorCode globalGroups(const std::wstring& controller, const std::wstring& account,
                           std::vector<std::wstring>& groups) override {
        BYTE* buffer = nullptr;
        DWORD read = 0, total = 0;
        const NET_API_STATUS status =
            NetUserGetGroups(controller.c_str(), account.c_str(), 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total);
        if (status != NERR_Success) read = 0;
        takeEntries<GROUP_USERS_INFO_0>(buffer, read, [&groups](const GROUP_USERS_INFO_0& group) {
            groups.emplace_back(group.grui0_name ? group.grui0_name : L"");
        });
        return status;
    }

    ErrorCode localGroups(const std::wstring& controller, const std::wstring& account,
                          std::vector<std::wstring>& groups) override {
        BYTE* buffer = nullptr;
        DWORD read = 0, total = 0;
        const NET_API_STATUS status = NetUserGetLocalGroups(
            controller.c_str(), account.c_str(), 0, LG_INCLUDE_INDIRECT, &buffer, MAX_PREFERRED_LENGTH, &read, &total);
        if (status != NERR_Success) read = 0;
        takeEntries<LOCALGROUP_USERS_INFO_0>(buffer, read, [&groups](const LOCALGROUP_USERS_INFO_0& group) {
            groups.emplace_back(group.lgrui0_name ? group.lgrui0_name : L"");
        });
        return status;
    }
};

}  // namespace

Accounts& nativeAccounts() {
    static Win32Accounts accounts;
    return accounts;
}

}  // namespace platform
