#pragma once
#include "platform/Services.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::linux_layer {

// What systemd tells about one service unit: the unit's Description,
// LoadState, ActiveState, SubState and UnitFileState, the service's User, and
// whether a target wants or requires the unit (its WantedBy or RequiredBy).
struct UnitFacts {
    std::string description;
    std::string loadState;
    std::string activeState;
    std::string subState;
    std::string unitFileState;
    std::string user;
    bool pulledInByTarget = false;
};

inline constexpr std::string_view serviceSuffix = ".service";
inline constexpr std::string_view targetSuffix = ".target";

// The unit a requested service name means: as systemctl does, ".service" is
// added to a name without it.
std::string unitName(const std::wstring& serviceName);
// A service unit, not a template such as "getty@.service".
bool isServiceUnit(std::string_view name);

// systemd in the Win32 terms of the report.
ServiceStatus serviceStatusOf(const UnitFacts& unit);
std::uint32_t startTypeOf(const UnitFacts& unit);
// The account the service runs under, for the registry view's ObjectName.
std::wstring accountOf(const UnitFacts& unit);

}  // namespace platform::linux_layer
