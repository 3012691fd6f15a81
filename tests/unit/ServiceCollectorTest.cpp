#include "collect/services/ServiceCollector.h"
#include "fakes/FakePlatform.h"
#include "platform/linux/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using platform::ErrorCode;
using platform::PredefinedKey;
using platform::ServiceStatus;
using platform::StatusQuery;
namespace error = platform::error;

struct FakeService {
    std::wstring displayName;
    ServiceStatus status{16, 4};
    StatusQuery statusQuery = StatusQuery::answered;
    std::uint32_t startType = 2;
    ErrorCode startError = error::success;
    std::uint32_t delayedFlag = 0;
    ErrorCode delayedError = error::success;
    ErrorCode openError = error::success;
};

// A service manager in memory that counts the handles left open.
class FakeServices : public platform::Services {
public:
    ErrorCode openManager(bool enumerate, Handle& manager) override {
        const ErrorCode failure = enumerate ? enumerateManagerError : managerError;
        if (failure == error::success) manager = open(L"");
        return failure;
    }
    ErrorCode listServices(Handle, std::vector<platform::ServiceEntry>& entries) override {
        for (const auto& [name, service] : services) entries.push_back({name, service.displayName, service.status});
        return listError;
    }
    ErrorCode openService(Handle, const std::wstring& name, Handle& service) override {
        const auto found = services.find(name);
        if (found == services.end()) return error::serviceDoesNotExist;
        if (found->second.openError != error::success) return found->second.openError;
        service = open(name);
        return error::success;
    }
    StatusQuery queryStatus(Handle service, ServiceStatus& status) override {
        status = of(service).status;
        return of(service).statusQuery;
    }
    ErrorCode queryStartType(Handle service, std::uint32_t& startType) override {
        startType = of(service).startType;
        return of(service).startError;
    }
    ErrorCode queryDelayedAutoStart(Handle service, std::uint32_t& flag) override {
        flag = of(service).delayedFlag;
        return of(service).delayedError;
    }
    void close(Handle handle) override { handles.erase(handle); }

    std::map<std::wstring, FakeService> services;
    ErrorCode managerError = error::success;
    ErrorCode enumerateManagerError = error::success;
    ErrorCode listError = error::success;
    std::map<Handle, std::wstring> handles;

private:
    Handle open(const std::wstring& name) {
        Handle handle = reinterpret_cast<Handle>(++lastHandle);
        handles[handle] = name;
        return handle;
    }
    FakeService& of(Handle service) { return services.at(handles.at(service)); }
    std::uintptr_t lastHandle = 0;
};

const std::wstring lead = L"Bei einer Dienstoperation ist folgender Fehler aufgetreten: \r\n";
const std::wstring servicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

class ServiceCollectorTest : public ::testing::Test {
protected:
    void account(const std::wstring& service, const std::wstring& name) {
        registry.setValue(PredefinedKey::localMachine, servicesKey + service,
                          platform::MemoryRegistry::stringValue(L"ObjectName", name));
    }
    void keyWithoutAccount(const std::wstring& service) {
        registry.setValue(PredefinedKey::localMachine, servicesKey + service,
                          platform::MemoryRegistry::dwordValue(L"Type", 16));
    }
    std::wstring status(const std::wstring& name) {
        TextSink out;
        collector.serviceStatus(name, out);
        EXPECT_TRUE(services.handles.empty()) << "handles left open";
        return out.text();
    }
    std::wstring all() {
        TextSink out;
        collector.allServices(out);
        EXPECT_TRUE(services.handles.empty()) << "handles left open";
        return out.text();
    }

    FakeServices services;
    platform::MemoryRegistry registry;
    FakeHost host;
    ServiceCollector collector{services, registry, host};
};

TEST(ServiceNames, StatesAndTypesKeepTheirTextsAndFallBack) {
    const std::pair<std::uint32_t, const wchar_t*> states[] = {
        {1, L"stopped"}, {2, L"is starting"},      {3, L"is stopping"},
        {4, L"running"}, {5, L"about to coninue"}, {6, L"is pausing"},
        {7, L"paused"},  {0, L"unknown Status"},   {8, L"unknown Status"},
        {platform::serviceStoppedFailed, L"stopped(failed)"},
    };
    for (const auto& [code, name] : states) EXPECT_EQ(serviceStateName(code), name) << code;
    const std::pair<std::uint32_t, const wchar_t*> types[] = {
        {1, L"Device Driver"}, {2, L"System Driver"},  {16, L"Own Process"},  {32, L"Shared Process"},
        {8, L"unknown Type"},  {272, L"unknown Type"}, {48, L"unknown Type"},
    };
    for (const auto& [code, name] : types) EXPECT_EQ(serviceTypeName(code), name) << code;
}

TEST_F(ServiceCollectorTest, StartTypesWithTheDelayedFlag) {
    struct Case {
        std::uint32_t startType;
        std::uint32_t flag;
        ErrorCode flagError;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 0, error::success, L"Automatisch"},
        {1, 1, error::success, L"Automatisch(verz\u00f6gert)"},
        {2, 1, error::success, L"Automatisch(verz\u00f6gert)"},
        {2, 0, error::success, L"Automatisch"},
        {2, 7, error::success, L"Automatisch(Fehler)"},
        {2, 0, 124, L"Automatisch(Fehler)"},
        {3, 1, error::success, L"Manuell"},
        {4, 1, error::success, L"Deaktiviert"},
        {5, 0, error::success, L"Unbekannt"},
    };
    account(L"Svc", L"LocalSystem");
    for (const Case& c : cases) {
        services.services[L"Svc"] = {L"Display", {16, 1}, StatusQuery::answered, c.startType, error::success, c.flag,
                                     c.flagError};
        EXPECT_EQ(status(L"Svc"), L"<service name=\"Svc\">Svc|Own Process|stopped|LocalSystem|" + std::wstring(c.text) +
                                      L"</service>\n")
            << c.startType << " " << c.flag;
    }
}

TEST_F(ServiceCollectorTest, OneServiceOnEveryPath) {
    services.services = {
        {L"Spooler", {L"Print Spooler", {272, 4}, StatusQuery::answered, 3}},
        {L"Driver", {L"Driver", {1, 1}, StatusQuery::answered, 4}},
        {L"Silent", {L"", {16, 4}, StatusQuery::unavailable, 2}},
        {L"Failing", {L"", {16, 4}, StatusQuery::failed, 3}},
        {L"Unconfigured", {L"", {32, 1}, StatusQuery::answered, 2, error::accessDenied}},
    };
    account(L"Spooler", L"LocalSystem");
    account(L"Unconfigured", L"NT AUTHORITY\\LocalService");
    keyWithoutAccount(L"Driver");
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"Spooler", L"<service name=\"Spooler\">Spooler|unknown Type|running|LocalSystem|Manuell</service>\n"},
        {L"Driver", L"<service name=\"Driver\">Driver|Device Driver|stopped|unknown Value|Deaktiviert</service>\n"},
        {L"No Such\\Service \u00e4",
         L"<service name=\"No Such\\Service \u00e4\">" + lead + L"message 1060\r\n</service>\n"},
        {L"Silent", L"<service name=\"Silent\"></service>\n"},
        {L"Failing", L"<service name=\"Failing\">Manuell</service>\n"},
        {L"Unconfigured",
         L"<service name=\"Unconfigured\">Unconfigured|Shared Process|stopped|NT AUTHORITY\\LocalService|" + lead +
             L"message 5\r\n</service>\n"},
    };
    for (const auto& [name, element] : cases) EXPECT_EQ(status(name), element);

    services.managerError = error::accessDenied;
    EXPECT_EQ(status(L"Spooler"), L"<service name=\"Spooler\">" + lead + L"message 5\r\n</service>\n");
}

TEST_F(ServiceCollectorTest, AllServicesInTheManagersOrder) {
    services.services = {
        {L"Eventlog", {L"Event Log", {32, 4}, StatusQuery::answered, 2, error::success, 1}},
        {L"NoDisplay", {L"", {16, 1}, StatusQuery::answered, 3}},
        {L"Locked", {L"Locked Service", {1, 7}, StatusQuery::answered, 3, 0, 0, 0, error::accessDenied}},
    };
    account(L"Eventlog", L"LocalSystem");
    keyWithoutAccount(L"NoDisplay");
    EXPECT_EQ(all(),
              L"<service name=\"Eventlog\">Event Log|Shared Process|running|LocalSystem|"
              L"Automatisch(verz\u00f6gert)</service>\n"
              L"<service name=\"Locked\">Locked Service|Device Driver|paused|message 2\r\n|" +
                  lead +
                  L"message 5\r\n</service>\n"
                  L"<service name=\"NoDisplay\">|Own Process|stopped|unknown Value|Manuell</service>\n");
}

TEST_F(ServiceCollectorTest, AllServicesSayWhyTheyCannotBeListed) {
    services.services = {{L"Eventlog", {}}};
    services.enumerateManagerError = error::accessDenied;
    EXPECT_EQ(all(), L"<service>" + lead + L"message 5\r\n</service>\n");
    services.enumerateManagerError = error::success;
    services.listError = error::rpcServerUnavailable;
    EXPECT_EQ(all(), L"<service>" + lead + L"message 1722\r\n</service>\n");
}

}  // namespace
