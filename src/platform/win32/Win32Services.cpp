#include "platform/Native.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr DWORD connectAccess = SC_MANAGER_CONNECT;
constexpr DWORD enumerateAccess = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE;
constexpr DWORD queryAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;
// Drivers of every kind, own-process and shared-process services.
constexpr DWORD listedTypes = SERVICE_DRIVER | SERVICE_WIN32;
// Services added between the size query and the listing make it ask again, a few times at most.
constexpr int listAttempts = 4;

SC_HANDLE scHandle(Services::Handle handle) { return static_cast<SC_HANDLE>(handle); }

ErrorCode lastError() { return static_cast<ErrorCode>(GetLastError()); }

// The error of a size query, which is expected to fail; one that succeeds has
// handed back nothing to read.
ErrorCode sizeQueryFailure(BOOL succeeded) { return succeeded ? error::invalidFunction : lastError(); }

class Win32Services final : public Services {
public:
    ErrorCode openManager(bool enumerate, Handle& manager) override {
        const SC_HANDLE opened = OpenSCManagerW(nullptr, nullptr, enumerate ? enumerateAccess : connectAccess);
        if (opened == nullptr) return lastError();
        manager = opened;
        return error::success;
    }

    ErrorCode listServices(Handle manager, std::vector<ServiceEntry>& services) override {
        DWORD needed = 0;
        DWORD count = 0;
        std::vector<BYTE> buffer;
        for (int attempt = 0; attempt < listAttempts; ++attempt) {
            const BOOL listed =
                EnumServicesStatusExW(scHandle(manager), SC_ENUM_PROCESS_INFO, listedTypes, SERVICE_STATE_ALL,
                                      buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                                      &needed, &count, nullptr, nullptr);
            if (listed) {
                if (buffer.empty()) return error::success;  // nothing to list
                const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
                for (DWORD i = 0; i < count; ++i) services.push_back(entryOf(entries[i]));
                return error::success;
            }
            if (GetLastError() != ERROR_MORE_DATA) return lastError();
            buffer.assign(buffer.size() + needed, 0);
        }
        return error::moreData;
    }

    ErrorCode openService(Handle manager, const std::wstring& name, Handle& service) override {
        const SC_HANDLE opened = OpenServiceW(scHandle(manager), name.c_str(), queryAccess);
        if (opened == nullptr) return lastError();
        service = opened;
        return error::success;
    }

    StatusQuery queryStatus(Handle service, ServiceStatus& status) override {
        DWORD needed = 0;
        if (QueryServiceStatusEx(scHandle(service), SC_STATUS_PROCESS_INFO, nullptr, 0, &needed) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return StatusQuery::unavailable;
        }
        std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(SERVICE_STATUS_PROCESS)));
        if (!QueryServiceStatusEx(scHandle(service), SC_STATUS_PROCESS_INFO, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), &needed)) {
            return StatusQuery::failed;
        }
        const auto* process = reinterpret_cast<const SERVICE_STATUS_PROCESS*>(buffer.data());
        status = {process->dwServiceType, process->dwCurrentState};
        return StatusQuery::answered;
    }

    ErrorCode queryStartType(Handle service, std::uint32_t& startType) override {
        DWORD needed = 0;
        const BOOL sized = QueryServiceConfigW(scHandle(service), nullptr, 0, &needed);
        if (const ErrorCode failure = sizeQueryFailure(sized); failure != error::insufficientBuffer) return failure;
        std::vector<BYTE> buffer(needed);
        if (!QueryServiceConfigW(scHandle(service), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), needed,
                                 &needed)) {
            return lastError();
        }
        startType = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
        return error::success;
    }

    ErrorCode queryDelayedAutoStart(Handle service, std::uint32_t& flag) override {
        DWORD needed = 0;
        const BOOL sized = QueryServiceConfig2W(scHandle(service), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, nullptr, 0,
                                                &needed);
        if (const ErrorCode failure = sizeQueryFailure(sized); failure != error::insufficientBuffer) return failure;
        std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(SERVICE_DELAYED_AUTO_START_INFO)));
        if (!QueryServiceConfig2W(scHandle(service), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), &needed)) {
            return lastError();
        }
        flag = static_cast<std::uint32_t>(
            reinterpret_cast<const SERVICE_DELAYED_AUTO_START_INFO*>(buffer.data())->fDelayedAutostart);
        return error::success;
    }

    void close(Handle handle) override { CloseServiceHandle(scHandle(handle)); }

private:
    // The manager may hand back no display name at all.
    static ServiceEntry entryOf(const ENUM_SERVICE_STATUS_PROCESSW& entry) {
        return {entry.lpServiceName != nullptr ? entry.lpServiceName : L"",
                entry.lpDisplayName != nullptr ? entry.lpDisplayName : L"",
                {entry.ServiceStatusProcess.dwServiceType, entry.ServiceStatusProcess.dwCurrentState}};
    }
};

}  // namespace

Services& nativeServices() {
    static Win32Services services;
    return services;
}

}  // namespace platform
