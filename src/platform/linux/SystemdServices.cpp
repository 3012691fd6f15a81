#include "platform/linux/SystemdServices.h"

#include "platform/Native.h"
#include "platform/linux/Paths.h"
#include "platform/linux/SdBus.h"
#include "platform/linux/SystemdMapping.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {
namespace linux_layer {
namespace {

// A manager that does not answer is reported, not waited for: each list call
// gets the 25 s systemctl allows a call, the per-unit requests of one request
// share one budget, and the units not read by then say so.
constexpr std::chrono::seconds listTimeout{25};
constexpr std::chrono::seconds unitBudget{60};
// Per-unit requests in flight together; the system bus allows 128 unanswered
// calls per connection.
constexpr std::size_t requestsInFlight = 64;

// The strings of a Get answer: one for a string property, all of an array of
// strings; nothing for any other type.
std::vector<std::string> readStrings(const SdBus& api, sd_bus_message* reply) {
    std::vector<std::string> strings;
    char type = 0;
    const char* contents = nullptr;
    if (api.peekType(reply, &type, &contents) <= 0 || contents == nullptr) return strings;
    const bool array = std::strcmp(contents, "as") == 0;
    if ((!array && std::strcmp(contents, "s") != 0) || api.enterContainer(reply, 'v', contents) <= 0) return strings;
    if (array) api.enterContainer(reply, 'a', "s");
    const char* text = nullptr;
    while (api.read(reply, "s", &text) > 0) strings.emplace_back(text);
    return strings;
}

// A property of a unit and where its value goes. Each is asked for alone: the
// manager computes some properties at a cost (UnitFilePreset reads the preset
// files, UnitFileState searches the unit paths), and GetAll would compute all.
struct Property {
    const char* interface;
    const char* name;
    std::string UnitFacts::*text;  // where a string goes; none for the units that want or require this one
};
namespace property {
const Property description{unitInterface, "Description", &UnitFacts::description};
const Property loadState{unitInterface, "LoadState", &UnitFacts::loadState};
const Property activeState{unitInterface, "ActiveState", &UnitFacts::activeState};
const Property subState{unitInterface, "SubState", &UnitFacts::subState};
const Property unitFileState{unitInterface, "UnitFileState", &UnitFacts::unitFileState};
const Property wantedBy{unitInterface, "WantedBy", nullptr};
const Property requiredBy{unitInterface, "RequiredBy", nullptr};
const Property user{serviceInterface, "User", &UnitFacts::user};
}  // namespace property

void take(const Property& property, const std::vector<std::string>& values, UnitFacts& facts) {
    if (property.text != nullptr) {
        facts.*property.text = values.empty() ? std::string() : values.front();
    } else {
        facts.pulledInByTarget = facts.pulledInByTarget || std::any_of(values.begin(), values.end(), [](const auto& unit) {
                                     return unit.ends_with(targetSuffix);
                                 });
    }
}

ErrorCode unitPath(const SdBus& api, const std::string& name, std::string& path) {
    char* encoded = nullptr;
    if (api.pathEncode(unitPathPrefix, name.c_str(), &encoded) < 0) return error::notEnoughMemory;
    path = encoded;
    std::free(encoded);
    return error::success;
}

// A service unit as the lists tell it and as its reads complete it.
struct ListedUnit {
    bool stated = false;     // its description and states from ListUnits or ListUnitsByNames
    bool installed = false;  // in ListUnitFiles
    UnitFacts facts;
    ErrorCode failure = error::success;  // of reading what the lists left open
};
using UnitList = std::map<std::string, ListedUnit>;

// One property request of a unit, sent without waiting for the answer.
struct PropertyRead {
    ListedUnit* unit;
    std::string path;
    const Property* property;
    const SdBus* api;
    std::size_t* inFlight = nullptr;
    sd_bus_slot* slot = nullptr;
    bool answered = false;

    void fail(ErrorCode code) {
        if (unit->failure == error::success) unit->failure = code;
    }
};

int takeAnswer(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    PropertyRead& read = *static_cast<PropertyRead*>(userdata);
    read.answered = true;
    --*read.inFlight;
    if (const sd_bus_error* failure = read.api->messageError(reply)) {
        read.fail(callFailure(0, failure));
    } else {
        take(*read.property, readStrings(*read.api, reply), read.unit->facts);
    }
    return 0;
}

void send(const Bus& bus, PropertyRead& read, std::size_t& inFlight, Clock::time_point deadline) {
    Message request;
    ErrorCode failed = bus.request(read.path.c_str(), propertiesInterface, "Get", request, read.property->interface,
                                   read.property->name);
    if (failed == error::success) {
        const int sent = bus.api().callAsync(bus.get(), &read.slot, request.get(), takeAnswer, &read,
                                             microsecondsUntil(deadline));
        if (sent < 0) failed = callFailure(sent, nullptr);
    }
    if (failed != error::success) {
        read.answered = true;
        read.fail(failed);
        return;
    }
    read.inFlight = &inFlight;
    ++inFlight;
}

// Sends the reads, at most requestsInFlight unanswered at a time, rather than
// one round trip after the other, and takes their answers until all are in or
// the deadline passes; a unit whose read is not answered by then timed out.
void runReads(const Bus& bus, std::vector<PropertyRead>& reads, Clock::time_point deadline) {
    const SdBus& api = bus.api();
    std::size_t inFlight = 0;
    auto next = reads.begin();
    ErrorCode cut = error::timeout;
    while (Clock::now() < deadline) {
        for (; next != reads.end() && inFlight < requestsInFlight; ++next) send(bus, *next, inFlight, deadline);
        if (inFlight == 0 && next == reads.end()) break;
        const int processed = api.process(bus.get(), nullptr);
        if (processed < 0) {
            cut = error::rpcCallFailed;  // the connection broke
            break;
        }
        if (processed == 0) api.wait(bus.get(), microsecondsUntil(deadline));
    }
    for (PropertyRead& read : reads) {
        if (!read.answered) read.fail(cut);
        api.slotUnref(read.slot);  // an answer still to come is not taken
    }
}

// The reads that complete a unit: what the lists did not tell of it, whether a
// target pulls in a generated unit, and always its account; nothing for a unit
// the manager found no file for.
void addReads(const SdBus& api, const std::string& path, ListedUnit& unit, std::vector<PropertyRead>& reads) {
    if (unit.facts.loadState == "not-found") return;
    std::vector<const Property*> wanted;
    if (!unit.stated) wanted.insert(wanted.end(), {&property::description, &property::loadState, &property::activeState, &property::subState});
    if (!unit.installed) wanted.push_back(&property::unitFileState);
    if (!unit.installed || unit.facts.unitFileState == "generated") wanted.insert(wanted.end(), {&property::wantedBy, &property::requiredBy});
    wanted.push_back(&property::user);
    for (const Property* property : wanted) reads.push_back({&unit, path, property, &api});
}

// Accounts asked for so far, so that the registry view answers without asking
// again, also for a unit that could not be read.
std::map<std::string, ServiceAccount>& knownAccounts() {
    static std::map<std::string, ServiceAccount> accounts;
    return accounts;
}

// Where reading a unit came to. systemd answers for any well-formed name, with
// the load state not-found where there is no such unit (a dangling link too).
void settle(const std::string& name, ListedUnit& unit) {
    if (unit.failure == error::success && unit.facts.loadState == "not-found") {
        unit.failure = error::serviceDoesNotExist;
    }
    knownAccounts()[name] = {unit.failure, unit.failure == error::success ? accountOf(unit.facts) : L""};
}

// A unit by name, loaded by the manager if it was not yet, within one budget.
ErrorCode readUnit(const Bus& bus, const std::string& name, UnitFacts& facts) {
    const auto deadline = Clock::now() + unitBudget;
    ListedUnit unit;
    Message reply;
    const char* path = nullptr;
    unit.failure = bus.callManager("LoadUnit", name.c_str(), deadline, reply);
    if (unit.failure == error::success && bus.api().read(reply.get(), "o", &path) <= 0) {
        unit.failure = error::rpcCallFailed;
    }
    if (unit.failure == error::success) {
        std::vector<PropertyRead> reads;
        addReads(bus.api(), path, unit, reads);
        runReads(bus, reads, deadline);
    }
    settle(name, unit);
    facts = unit.facts;
    return unit.failure;
}

// The description and states of the service units in a ListUnits answer.
ErrorCode addUnitStates(const SdBus& api, sd_bus_message* reply, UnitList& units) {
    if (api.enterContainer(reply, 'a', "(ssssssouso)") <= 0) return error::rpcCallFailed;
    const char *name, *description, *loadState, *activeState, *subState, *following, *path, *jobType, *jobPath;
    std::uint32_t jobId = 0;
    while (api.read(reply, "(ssssssouso)", &name, &description, &loadState, &activeState, &subState, &following,
                    &path, &jobId, &jobType, &jobPath) > 0) {
        if (!isServiceUnit(name)) continue;
        ListedUnit& unit = units[name];
        unit.stated = true;
        unit.facts.description = description;
        unit.facts.loadState = loadState;
        unit.facts.activeState = activeState;
        unit.facts.subState = subState;
    }
    return error::success;
}

// The service units the manager has loaded.
ErrorCode addLoadedServices(const Bus& bus, UnitList& units) {
    Message reply;
    if (const ErrorCode failed = bus.callManager("ListUnits", nullptr, Clock::now() + listTimeout, reply)) {
        return failed;
    }
    return addUnitStates(bus.api(), reply.get(), units);
}

// The states of the units only the file list named, in one call: the manager
// loads each for it. Where the call fails (an older manager has no
// ListUnitsByNames), the units' reads ask for their states one by one.
void addUnloadedStates(const Bus& bus, UnitList& units, Clock::time_point deadline) {
    std::vector<char*> names;
    for (auto& [name, unit] : units) {
        if (!unit.stated) names.push_back(const_cast<char*>(name.c_str()));  // the library only reads them
    }
    if (names.empty()) return;
    names.push_back(nullptr);
    Message request, reply;
    if (bus.request(managerPath, managerInterface, "ListUnitsByNames", request) != error::success ||
        bus.api().appendStrv(request.get(), names.data()) < 0 || bus.call(request, deadline, reply) != error::success) {
        return;
    }
    addUnitStates(bus.api(), reply.get(), units);
}

// The manager's unit files of services, as (path, state) pairs. The manager
// works out each file's state at a cost, so it is asked for service files
// only; an older manager without the call lists all its files.
ErrorCode listServiceFiles(const Bus& bus, Message& reply) {
    Message request;
    char* noStates[] = {nullptr};
    char* services[] = {const_cast<char*>("*.service"), nullptr};  // the library only reads it
    const SdBus& api = bus.api();
    ErrorCode listed = bus.request(managerPath, managerInterface, "ListUnitFilesByPatterns", request);
    if (listed == error::success && (api.appendStrv(request.get(), noStates) < 0 ||
                                     api.appendStrv(request.get(), services) < 0)) {
        listed = error::notEnoughMemory;
    }
    if (listed == error::success) listed = bus.call(request, Clock::now() + listTimeout, reply);
    if (listed != error::invalidFunction) return listed;
    return bus.callManager("ListUnitFiles", nullptr, Clock::now() + listTimeout, reply);
}

// The service unit files installed, without aliases (the unit they name is listed itself).
ErrorCode addInstalledServices(const Bus& bus, UnitList& units) {
    Message reply;
    if (const ErrorCode failed = listServiceFiles(bus, reply)) return failed;
    const SdBus& api = bus.api();
    if (api.enterContainer(reply.get(), 'a', "(ss)") <= 0) return error::rpcCallFailed;
    const char *file, *state;
    while (api.read(reply.get(), "(ss)", &file, &state) > 0) {
        const char* slash = std::strrchr(file, '/');
        const std::string name = slash == nullptr ? file : slash + 1;
        if (!isServiceUnit(name) || std::strcmp(state, "alias") == 0) continue;
        ListedUnit& unit = units[name];
        unit.installed = true;
        unit.facts.unitFileState = state;
    }
    return error::success;
}

// What a handle stands for: a manager or a service.
struct Opened {
    virtual ~Opened() = default;
};

struct Manager : Opened {
    explicit Manager(const SdBus& api) : bus(api) {}
    Bus bus;
    UnitList listed;  // from listServices
};

struct Service : Opened {
    UnitFacts facts;
};

Manager& managerOf(Services::Handle handle) { return static_cast<Manager&>(*static_cast<Opened*>(handle)); }
const UnitFacts& factsOf(Services::Handle handle) { return static_cast<Service&>(*static_cast<Opened*>(handle)).facts; }

class SystemdServices final : public Services {
public:
    ErrorCode openManager(bool, Handle& manager) override {
        const SdBus* api = sdBus();
        if (api == nullptr) return error::moduleNotFound;
        auto opened = std::make_unique<Manager>(*api);
        if (const ErrorCode failed = opened->bus.connect()) return failed;
        manager = static_cast<Opened*>(opened.release());
        return error::success;
    }

    // Both lists, the states of the units not loaded, then what is still open of
    // each unit, asked for all units together.
    ErrorCode listServices(Handle handle, std::vector<ServiceEntry>& services) override {
        Manager& manager = managerOf(handle);
        const SdBus& api = manager.bus.api();
        UnitList units;
        if (const ErrorCode failed = addLoadedServices(manager.bus, units)) return failed;
        if (const ErrorCode failed = addInstalledServices(manager.bus, units)) return failed;
        const auto deadline = Clock::now() + unitBudget;
        addUnloadedStates(manager.bus, units, deadline);
        std::vector<PropertyRead> reads;
        for (auto& [name, unit] : units) {
            std::string path;
            unit.failure = unitPath(api, name, path);
            if (unit.failure == error::success) addReads(api, path, unit, reads);
        }
        runReads(manager.bus, reads, deadline);
        for (auto& [name, unit] : units) {
            settle(name, unit);
            // Left out as a single request would say it does not exist.
            if (unit.failure == error::serviceDoesNotExist) continue;
            services.push_back(
                {nameFromNative(name), nameFromNative(unit.facts.description), serviceStatusOf(unit.facts)});
        }
        manager.listed = std::move(units);
        return error::success;
    }

    ErrorCode openService(Handle handle, const std::wstring& serviceName, Handle& service) override {
        Manager& manager = managerOf(handle);
        const std::string name = unitName(serviceName);
        auto opened = std::make_unique<Service>();
        if (const auto listed = manager.listed.find(name); listed != manager.listed.end()) {
            if (listed->second.failure != error::success) return listed->second.failure;
            opened->facts = listed->second.facts;
        } else if (const ErrorCode failed = readUnit(manager.bus, name, opened->facts)) {
            return failed;
        }
        service = static_cast<Opened*>(opened.release());
        return error::success;
    }

    StatusQuery queryStatus(Handle service, ServiceStatus& status) override {
        status = serviceStatusOf(factsOf(service));
        return StatusQuery::answered;
    }

    ErrorCode queryStartType(Handle service, std::uint32_t& startType) override {
        startType = startTypeOf(factsOf(service));
        return error::success;
    }

    // systemd has no delayed start (see startTypeOf).
    ErrorCode queryDelayedAutoStart(Handle, std::uint32_t& flag) override {
        flag = 0;
        return error::success;
    }

    void close(Handle handle) override { delete static_cast<Opened*>(handle); }
};

}  // namespace

ServiceAccount serviceAccount(const std::wstring& serviceName) {
    const std::string name = unitName(serviceName);
    if (const auto found = knownAccounts().find(name); found != knownAccounts().end()) return found->second;
    const SdBus* api = sdBus();
    if (api == nullptr) return {error::moduleNotFound, L""};
    Bus bus(*api);
    if (const ErrorCode failed = bus.connect()) return {failed, L""};
    UnitFacts facts;
    readUnit(bus, name, facts);
    return knownAccounts()[name];  // as reading the unit left it
}

}  // namespace linux_layer

Services& nativeServices() {
    static linux_layer::SystemdServices services;
    return services;
}

}  // namespace platform
