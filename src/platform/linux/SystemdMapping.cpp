#include "platform/linux/SystemdMapping.h"

#include "platform/linux/Paths.h"

#include <string_view>
#include <utility>

namespace platform::linux_layer {
namespace {

template <std::size_t size>
std::uint32_t lookup(const std::pair<std::string_view, std::uint32_t> (&table)[size], std::string_view key,
                     std::uint32_t fallback) {
    for (const auto& [known, code] : table) {
        if (known == key) return code;
    }
    return fallback;
}

// ActiveState -> service state, for units that have not failed (hasFailed).
// A unit that reloads keeps running. Anything newer systemd may add reads
// "unknown Status".
const std::pair<std::string_view, std::uint32_t> states[] = {
    {"active", 4},      {"reloading", 4},  {"refreshing", 4},   {"inactive", 1},
    {"maintenance", 1}, {"activating", 2}, {"deactivating", 3},
};

// UnitFileState -> start type. Enabled units start with the machine
// (Automatisch); disabled and masked ones do not start by themselves
// (Deaktiviert); static, indirect, generated, linked, transient and the rest
// start when something asks for them (Manuell).
//
// Nothing counts as a delayed start: systemd starts every enabled unit in the
// one boot transaction, ordered by dependencies, with no "start later"
// setting; units started by a timer are started on demand, like Windows'
// trigger-started services, which read "Manuell" too.
const std::pair<std::string_view, std::uint32_t> startTypes[] = {
    {"enabled", 2}, {"enabled-runtime", 2}, {"disabled", 4}, {"masked", 4}, {"masked-runtime", 4},
};
constexpr std::uint32_t automaticStart = 2;
constexpr std::uint32_t onDemand = 3;

// Every systemd service runs in processes of its own, masked ones included,
// though the manager tells nothing of their service settings.
constexpr std::uint32_t ownProcess = 16;

// systemctl marks these units as failed: a failed start, a crash loop that
// waits for its next restart, a unit file the manager could not take.
bool hasFailed(const UnitFacts& unit) {
    return unit.activeState == "failed" || (unit.activeState == "activating" && unit.subState == "auto-restart") ||
           unit.loadState == "bad-setting" || unit.loadState == "error";
}

}  // namespace

std::string unitName(const std::wstring& serviceName) {
    std::string name = toNative(serviceName);
    if (!name.ends_with(serviceSuffix)) name += serviceSuffix;
    return name;
}

bool isServiceUnit(std::string_view name) {
    const bool service = name.size() > serviceSuffix.size() && name.ends_with(serviceSuffix);
    const bool templateUnit = service && name[name.size() - serviceSuffix.size() - 1] == '@';
    return service && !templateUnit;
}

ServiceStatus serviceStatusOf(const UnitFacts& unit) {
    return {ownProcess, hasFailed(unit) ? serviceStoppedFailed : lookup(states, unit.activeState, 0)};
}

// A generated unit (a SysV script, a generator's unit) that a target pulls in
// starts at boot like an enabled one: the generator did the enabling.
std::uint32_t startTypeOf(const UnitFacts& unit) {
    if (unit.unitFileState == "generated" && unit.pulledInByTarget) return automaticStart;
    return lookup(startTypes, unit.unitFileState, onDemand);
}

// The manager fills in User itself, for dynamic users too; none means root.
std::wstring accountOf(const UnitFacts& unit) { return unit.user.empty() ? L"root" : nameFromNative(unit.user); }

}  // namespace platform::linux_layer
