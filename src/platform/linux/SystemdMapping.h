#pragma once
#include "platform/Services.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::linux_layer {

// What systemd tells about one service unit: the unit's Description,
// ActiveState and UnitFileState, and the service's Type, User and DynamicUser.
struct UnitFacts {
    std::string description;
    std::string activeState;
    std::string unitFileState;
    std::string type;
    std::string user;
    bool dynamicUser = false;
};

inline constexpr std::string_view serviceSuffix = ".service";

// The unit a requested service name means: as systemctl does, ".service" is
// added to a name without it.
std::string unitName(const std::wstring& serviceName);
// A service unit, not a template such as "getty@.service".
bool isServiceUnit(std::string_view name);

// systemd in the Win32 terms of the report.
ServiceStatus serviceStatusOf(const UnitFacts& unit);
std::uint32_t startTypeOf(const UnitFacts& unit);
// The account the service runs under, for the registry view's ObjectName.
std::wstring accountOf(const std::string& unitName, const UnitFacts& unit);

}  // namespace platform::linux_layer
