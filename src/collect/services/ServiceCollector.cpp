#include "collect/services/ServiceCollector.h"

#include "collect/registry/RegistryCollector.h"

#include <utility>
#include <vector>

using platform::ErrorCode;
using platform::Services;
using platform::StatusQuery;
namespace error = platform::error;

namespace {

const std::wstring servicesKeyPath = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

template <std::size_t size>
std::wstring lookup(const std::pair<std::uint32_t, const wchar_t*> (&table)[size], std::uint32_t code,
                    const wchar_t* fallback) {
    for (const auto& [known, text] : table) {
        if (known == code) return text;
    }
    return fallback;
}

// The report keeps these texts exactly as they have always read, misspellings included.
const std::pair<std::uint32_t, const wchar_t*> stateNames[] = {
    {1, L"stopped"},          {2, L"is starting"}, {3, L"is stopping"}, {4, L"running"},
    {5, L"about to coninue"}, {6, L"is pausing"},  {7, L"paused"},
    // Linux only; a reader that looks at the start of the field still sees a stopped service.
    {platform::serviceStoppedFailed, L"stopped(failed)"},
};

const std::pair<std::uint32_t, const wchar_t*> typeNames[] = {
    {1, L"Device Driver"}, {2, L"System Driver"}, {16, L"Own Process"}, {32, L"Shared Process"},
};

// Boot, system and automatic starts all read "Automatisch".
constexpr std::uint32_t lastAutomaticStart = 2;
const std::pair<std::uint32_t, const wchar_t*> startTypeNames[] = {
    {0, L"Automatisch"}, {1, L"Automatisch"}, {2, L"Automatisch"}, {3, L"Manuell"}, {4, L"Deaktiviert"},
};

// By the result of delayedAutoStart.
const std::pair<std::uint32_t, const wchar_t*> delaySuffixes[] = {
    {0, L"(verz\u00f6gert)"}, {1, L""}, {2, L"(Fehler)"},
};

}  // namespace

std::wstring serviceStateName(std::uint32_t state) { return lookup(stateNames, state, L"unknown Status"); }

std::wstring serviceTypeName(std::uint32_t type) { return lookup(typeNames, type, L"unknown Type"); }

std::wstring ServiceCollector::serviceErrorText(ErrorCode code) const {
    return L"Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\n" + host_.errorMessage(code);
}

std::wstring ServiceCollector::startTypeName(std::uint32_t startType, Services::Handle service) const {
    std::wstring text = lookup(startTypeNames, startType, L"Unbekannt");
    if (startType <= lastAutomaticStart) {
        text += lookup(delaySuffixes, static_cast<std::uint32_t>(delayedAutoStart(service)), L"");
    }
    return text;
}

int ServiceCollector::delayedAutoStart(Services::Handle service) const {
    std::uint32_t flag = 0;
    if (services_.queryDelayedAutoStart(service, flag) != error::success) return 2;
    if (flag == 1) return 0;
    if (flag == 0) return 1;
    return 2;
}

void ServiceCollector::serviceStatus(const std::wstring& name, ReportSink& out) const {
    out << L"<service name=\"" << name << L"\">";
    Services::Handle manager = nullptr;
    if (const ErrorCode opened = services_.openManager(false, manager); opened != error::success) {
        out << serviceErrorText(opened);
    } else {
        Services::Handle service = nullptr;
        if (const ErrorCode found = services_.openService(manager, name, service); found != error::success) {
            out << serviceErrorText(found);
        } else {
            const RegistryRoot servicesKey(registry_, servicesKeyPath);
            writeStatus(servicesKey, service, name, out);
            services_.close(service);
        }
        services_.close(manager);
    }
    out << L"</service>\n";
}

void ServiceCollector::writeStatus(const RegistryRoot& servicesKey, Services::Handle service, const std::wstring& name,
                                   ReportSink& out) const {
    platform::ServiceStatus status;
    const StatusQuery asked = services_.queryStatus(service, status);
    if (asked == StatusQuery::unavailable) return;
    if (asked == StatusQuery::answered) {
        out << name << L"|" << statusFields(servicesKey, name, status);
    }
    out << startText(service);
}

// A manager that cannot be reached, or cannot list, is said so in the report:
// an empty section would read as a machine without services.
void ServiceCollector::allServices(ReportSink& out) const {
    Services::Handle manager = nullptr;
    if (const ErrorCode opened = services_.openManager(true, manager); opened != error::success) {
        out << L"<service>" << serviceErrorText(opened) << L"</service>\n";
        return;
    }
    std::vector<platform::ServiceEntry> entries;
    if (const ErrorCode listed = services_.listServices(manager, entries); listed != error::success) {
        out << L"<service>" << serviceErrorText(listed) << L"</service>\n";
        services_.close(manager);
        return;
    }
    const RegistryRoot servicesKey(registry_, servicesKeyPath);
    for (const platform::ServiceEntry& entry : entries) {
        // A service that cannot be opened shows why in its start field.
        std::wstring start;
        Services::Handle service = nullptr;
        if (const ErrorCode opened = services_.openService(manager, entry.name, service); opened != error::success) {
            start = serviceErrorText(opened);
        } else {
            start = startText(service);
            services_.close(service);
        }
        out << L"<service name=\"" << entry.name << L"\">" << entry.displayName << L"|"
            << statusFields(servicesKey, entry.name, entry.status) << start << L"</service>\n";
    }
    services_.close(manager);
}

std::wstring ServiceCollector::statusFields(const RegistryRoot& servicesKey, const std::wstring& name,
                                           const platform::ServiceStatus& status) const {
    return serviceTypeName(status.type) + L"|" + serviceStateName(status.state) + L"|" + account(servicesKey, name) +
           L"|";
}

std::wstring ServiceCollector::startText(Services::Handle service) const {
    std::uint32_t startType = 0;
    if (const ErrorCode read = services_.queryStartType(service, startType); read != error::success) {
        return serviceErrorText(read);
    }
    return startTypeName(startType, service);
}

std::wstring ServiceCollector::account(const RegistryRoot& servicesKey, const std::wstring& name) const {
    return RegistryCollector(registry_, host_).readValue(servicesKey, servicesKeyPath + name + L"\\ObjectName");
}
