#pragma once
#include "collect/registry/RegistryRoot.h"
#include "dispatch/ReportSink.h"
#include "platform/Host.h"
#include "platform/Registry.h"
#include "platform/Services.h"

#include <cstdint>
#include <string>

// The names the report gives service states, types and start types.
std::wstring serviceStateName(std::uint32_t state);
// Only the four plain type codes have names; combined codes such as 272 do not.
std::wstring serviceTypeName(std::uint32_t type);

// Reports one or all services as `service` elements: type, state, the account
// from the registry value ObjectName, and the start type.
class ServiceCollector {
public:
    ServiceCollector(platform::Services& services, platform::Registry& registry, const platform::Host& host)
        : services_(services), registry_(registry), host_(host) {}

    // `<service name="NAME">NAME|TYPE|STATE|ACCOUNT|START</service>` and a line
    // feed, or the error text in place of the fields.
    void serviceStatus(const std::wstring& name, ReportSink& out) const;
    // One element per service with its display name as the first field, or
    // `<service>ERROR</service>` when the services cannot be listed.
    void allServices(ReportSink& out) const;

    // The German lead-in and the system's text for an error code.
    std::wstring serviceErrorText(platform::ErrorCode code) const;
    // "Automatisch" (with the delayed-start suffix), "Manuell", "Deaktiviert" or "Unbekannt".
    std::wstring startTypeName(std::uint32_t startType, platform::Services::Handle service) const;
    // 0 for a delayed automatic start, 1 for an undelayed one, 2 when the manager cannot tell.
    int delayedAutoStart(platform::Services::Handle service) const;

private:
    void writeStatus(const RegistryRoot& servicesKey, platform::Services::Handle service, const std::wstring& name,
                     ReportSink& out) const;
    // "TYPE|STATE|ACCOUNT|"
    std::wstring statusFields(const RegistryRoot& servicesKey, const std::wstring& name,
                              const platform::ServiceStatus& status) const;
    std::wstring startText(platform::Services::Handle service) const;
    std::wstring account(const RegistryRoot& servicesKey, const std::wstring& name) const;

    platform::Services& services_;
    platform::Registry& registry_;
    const platform::Host& host_;
};
