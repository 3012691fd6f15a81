#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Linux only: a service that stopped because it failed (systemd's failed and
// crash-looping units and units it could not load). Win32 states end at 7.
inline constexpr std::uint32_t serviceStoppedFailed = 0x101;

// Service type and state codes are the Win32 ones on every target, and
// serviceStoppedFailed.
struct ServiceStatus {
    std::uint32_t type = 0;
    std::uint32_t state = 0;
};

// One service as the manager lists it.
struct ServiceEntry {
    std::wstring name;
    std::wstring displayName;  // empty when the manager has none
    ServiceStatus status;
};

// How a status query ended. `unavailable`: the service would not even say how
// much it has to tell, so nothing was asked; `failed`: the query itself failed.
enum class StatusQuery { answered, unavailable, failed };

// The local service manager, read only. Every handle from openManager or
// openService is given back with close.
class Services {
public:
    using Handle = void*;

    virtual ~Services() = default;

    // `enumerate` also asks for the right to list every service.
    virtual ErrorCode openManager(bool enumerate, Handle& manager) = 0;
    // Every driver and service, running or not, in the manager's order.
    virtual ErrorCode listServices(Handle manager, std::vector<ServiceEntry>& services) = 0;
    // error::serviceDoesNotExist when the manager knows no such service.
    virtual ErrorCode openService(Handle manager, const std::wstring& name, Handle& service) = 0;
    virtual StatusQuery queryStatus(Handle service, ServiceStatus& status) = 0;
    // The configured start type: 0 boot, 1 system, 2 automatic, 3 on demand, 4 disabled.
    virtual ErrorCode queryStartType(Handle service, std::uint32_t& startType) = 0;
    // The delayed-automatic-start flag as the manager keeps it: 1 delayed, 0 not.
    virtual ErrorCode queryDelayedAutoStart(Handle service, std::uint32_t& flag) = 0;
    virtual void close(Handle handle) = 0;
};

}  // namespace platform
