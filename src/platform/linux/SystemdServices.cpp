#include "platform/linux/SystemdServices.h"

#include "platform/Native.h"
#include "platform/linux/Paths.h"
#include "platform/linux/SystemdMapping.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string_view>

// The few sd-bus declarations used. libsystemd is loaded at run time, so the
// tool starts and reports on machines without it.
extern "C" {
struct sd_bus;
struct sd_bus_message;
struct sd_bus_error {
    const char* name;
    const char* message;
    int needsFree;
};
}

namespace platform {
namespace linux_layer {
namespace {

constexpr const char* managerName = "org.freedesktop.systemd1";
constexpr const char* managerPath = "/org/freedesktop/systemd1";
constexpr const char* managerInterface = "org.freedesktop.systemd1.Manager";
constexpr const char* unitPathPrefix = "/org/freedesktop/systemd1/unit";
constexpr const char* unitInterface = "org.freedesktop.systemd1.Unit";
constexpr const char* serviceInterface = "org.freedesktop.systemd1.Service";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";
// A manager that does not answer within this time is reported, not waited for.
constexpr std::uint64_t callTimeoutMicroseconds = 5'000'000;

struct SdBus {
    int (*openSystem)(sd_bus**);
    int (*newMethodCall)(sd_bus*, sd_bus_message**, const char*, const char*, const char*, const char*);
    int (*append)(sd_bus_message*, const char*, ...);
    int (*call)(sd_bus*, sd_bus_message*, std::uint64_t, sd_bus_error*, sd_bus_message**);
    int (*enterContainer)(sd_bus_message*, char, const char*);
    int (*exitContainer)(sd_bus_message*);
    int (*read)(sd_bus_message*, const char*, ...);
    int (*skip)(sd_bus_message*, const char*);
    int (*peekType)(sd_bus_message*, char*, const char**);
    sd_bus_message* (*messageUnref)(sd_bus_message*);
    sd_bus* (*flushCloseUnref)(sd_bus*);
    void (*errorFree)(sd_bus_error*);
    int (*pathEncode)(const char*, const char*, char**);
};

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The library's functions, loaded on first use; nothing without the library.
const SdBus* sdBus() {
    static const std::unique_ptr<SdBus> loaded = []() -> std::unique_ptr<SdBus> {
        void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return nullptr;
        auto api = std::make_unique<SdBus>();
        const bool complete =
            bind(library, "sd_bus_open_system", api->openSystem) &&
            bind(library, "sd_bus_message_new_method_call", api->newMethodCall) &&
            bind(library, "sd_bus_message_append", api->append) && bind(library, "sd_bus_call", api->call) &&
            bind(library, "sd_bus_message_enter_container", api->enterContainer) &&
            bind(library, "sd_bus_message_exit_container", api->exitContainer) &&
            bind(library, "sd_bus_message_read", api->read) && bind(library, "sd_bus_message_skip", api->skip) &&
            bind(library, "sd_bus_message_peek_type", api->peekType) &&
            bind(library, "sd_bus_message_unref", api->messageUnref) &&
            bind(library, "sd_bus_flush_close_unref", api->flushCloseUnref) &&
            bind(library, "sd_bus_error_free", api->errorFree) &&
            bind(library, "sd_bus_path_encode", api->pathEncode);
        if (!complete) return nullptr;  // too old a systemd; the library stays loaded, as it is harmless
        return api;
    }();
    return loaded.get();
}

// D-Bus error names -> Win32 codes; any other failing call is a failed remote call.
const std::pair<std::string_view, ErrorCode> busErrors[] = {
    {"org.freedesktop.systemd1.NoSuchUnit", error::serviceDoesNotExist},
    {"org.freedesktop.DBus.Error.InvalidArgs", error::invalidName},
    {"org.freedesktop.DBus.Error.AccessDenied", error::accessDenied},
    {"org.freedesktop.DBus.Error.ServiceUnknown", error::rpcServerUnavailable},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", error::rpcServerUnavailable},
    {"org.freedesktop.DBus.Error.NoReply", error::timeout},
    {"org.freedesktop.DBus.Error.Timeout", error::timeout},
    {"org.freedesktop.DBus.Error.TimedOut", error::timeout},
};

ErrorCode callFailure(int result, const sd_bus_error& failure) {
    if (failure.name != nullptr) {
        for (const auto& [name, code] : busErrors) {
            if (name == failure.name) return code;
        }
    }
    switch (-result) {
    case ETIMEDOUT: return error::timeout;
    case EACCES:
    case EPERM: return error::accessDenied;
    default: return error::rpcCallFailed;
    }
}

struct MessageRelease {
    const SdBus* api;
    void operator()(sd_bus_message* message) const { api->messageUnref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageRelease>;

// One connection to the system bus.
class Bus {
public:
    explicit Bus(const SdBus& api) : api_(api) {}
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
    ~Bus() {
        if (bus_ != nullptr) api_.flushCloseUnref(bus_);
    }

    ErrorCode connect() {
        const int result = api_.openSystem(&bus_);
        if (result < 0) {
            bus_ = nullptr;
            return result == -EACCES || result == -EPERM ? error::accessDenied : error::rpcServerUnavailable;
        }
        return error::success;
    }

    // Calls a method with no argument or one string argument.
    ErrorCode call(const char* path, const char* interface, const char* method, const char* argument,
                   Message& reply) const {
        sd_bus_message* request = nullptr;
        int result = api_.newMethodCall(bus_, &request, managerName, path, interface, method);
        const Message requestHolder(request, MessageRelease{&api_});
        if (result >= 0 && argument != nullptr) result = api_.append(request, "s", argument);
        if (result < 0) return result == -ENOMEM ? error::notEnoughMemory : error::invalidParameter;
        sd_bus_error failure{nullptr, nullptr, 0};
        sd_bus_message* answer = nullptr;
        result = api_.call(bus_, request, callTimeoutMicroseconds, &failure, &answer);
        const ErrorCode code = result < 0 ? callFailure(result, failure) : error::success;
        api_.errorFree(&failure);
        reply = Message(answer, MessageRelease{&api_});
        return code;
    }

    const SdBus& api() const { return api_; }

private:
    const SdBus& api_;
    sd_bus* bus_ = nullptr;
};

// The string and boolean properties named in `wanted` from a GetAll answer.
std::map<std::string, std::string> readProperties(const SdBus& api, sd_bus_message* reply,
                                                  const std::set<std::string_view>& wanted) {
    std::map<std::string, std::string> properties;
    if (api.enterContainer(reply, 'a', "{sv}") <= 0) return properties;
    while (api.enterContainer(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        char type = 0;
        const char* contents = nullptr;
        if (api.read(reply, "s", &key) <= 0 || api.peekType(reply, &type, &contents) <= 0) break;
        const bool keep = wanted.count(key) > 0 && contents != nullptr;
        if (keep && std::strcmp(contents, "s") == 0) {
            const char* text = nullptr;
            if (api.read(reply, "v", "s", &text) > 0) properties[key] = text;
        } else if (keep && std::strcmp(contents, "b") == 0) {
            int flag = 0;
            if (api.read(reply, "v", "b", &flag) > 0) properties[key] = flag ? "yes" : "no";
        } else if (api.skip(reply, "v") < 0) {
            break;
        }
        api.exitContainer(reply);
    }
    api.exitContainer(reply);
    return properties;
}

ErrorCode unitPath(const SdBus& api, const std::string& name, std::string& path) {
    char* encoded = nullptr;
    if (api.pathEncode(unitPathPrefix, name.c_str(), &encoded) < 0) return error::notEnoughMemory;
    path = encoded;
    std::free(encoded);
    return error::success;
}

// Accounts asked for so far, so that the registry view answers without asking
// again; a unit that could not be read is remembered without an account.
std::map<std::string, std::optional<std::wstring>>& knownAccounts() {
    static std::map<std::string, std::optional<std::wstring>> accounts;
    return accounts;
}

// The service's own facts: its type and account.
void readService(const Bus& bus, const std::string& name, const std::string& path, UnitFacts& facts) {
    Message reply;
    if (bus.call(path.c_str(), propertiesInterface, "GetAll", serviceInterface, reply) != error::success) return;
    auto service = readProperties(bus.api(), reply.get(), {"Type", "User", "DynamicUser"});
    facts.type = service["Type"];
    facts.user = service["User"];
    facts.dynamicUser = service["DynamicUser"] == "yes";
    knownAccounts()[name] = accountOf(name, facts);
}

// A unit's facts in two property requests: the unit's and the service's.
ErrorCode readUnit(const Bus& bus, const std::string& name, const std::string& path, UnitFacts& facts) {
    Message reply;
    if (const ErrorCode failed = bus.call(path.c_str(), propertiesInterface, "GetAll", unitInterface, reply)) {
        return failed;
    }
    auto unit = readProperties(bus.api(), reply.get(), {"Description", "ActiveState", "UnitFileState", "LoadState"});
    // systemd answers for any well-formed name, with this load state when there is no such unit.
    if (unit["LoadState"] == "not-found") return error::serviceDoesNotExist;
    facts.description = unit["Description"];
    facts.activeState = unit["ActiveState"];
    facts.unitFileState = unit["UnitFileState"];
    readService(bus, name, path, facts);
    return error::success;
}

// A unit by name, loaded by the manager if it was not yet.
ErrorCode loadUnit(const Bus& bus, const std::string& name, UnitFacts& facts) {
    Message reply;
    if (const ErrorCode failed = bus.call(managerPath, managerInterface, "LoadUnit", name.c_str(), reply)) {
        return failed;
    }
    const char* path = nullptr;
    if (bus.api().read(reply.get(), "o", &path) <= 0) return error::rpcCallFailed;
    return readUnit(bus, name, path, facts);
}

// What the two lists tell of a unit: nothing is left to ask of the unit itself
// when the manager has it loaded and it has a unit file.
struct ListedUnit {
    bool loaded = false;
    bool installed = false;
    UnitFacts facts;
    ErrorCode failure = error::success;  // of reading what the lists left open
};
using UnitList = std::map<std::string, ListedUnit>;

// The service units the manager has loaded, except those it could not find a file for.
ErrorCode addLoadedServices(const Bus& bus, UnitList& units) {
    Message reply;
    if (const ErrorCode failed = bus.call(managerPath, managerInterface, "ListUnits", nullptr, reply)) return failed;
    const SdBus& api = bus.api();
    if (api.enterContainer(reply.get(), 'a', "(ssssssouso)") <= 0) return error::rpcCallFailed;
    const char *name, *description, *loadState, *activeState, *subState, *following, *path, *jobType, *jobPath;
    std::uint32_t jobId = 0;
    while (api.read(reply.get(), "(ssssssouso)", &name, &description, &loadState, &activeState, &subState,
                    &following, &path, &jobId, &jobType, &jobPath) > 0) {
        if (!isServiceUnit(name) || std::strcmp(loadState, "not-found") == 0) continue;
        ListedUnit& unit = units[name];
        unit.loaded = true;
        unit.facts.description = description;
        unit.facts.activeState = activeState;
    }
    return error::success;
}

// The service unit files installed, without aliases (the unit they name is listed itself).
ErrorCode addInstalledServices(const Bus& bus, UnitList& units) {
    Message reply;
    if (const ErrorCode failed = bus.call(managerPath, managerInterface, "ListUnitFiles", nullptr, reply)) {
        return failed;
    }
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

    ErrorCode listServices(Handle handle, std::vector<ServiceEntry>& services) override {
        Manager& manager = managerOf(handle);
        UnitList units;
        if (const ErrorCode failed = addLoadedServices(manager.bus, units)) return failed;
        if (const ErrorCode failed = addInstalledServices(manager.bus, units)) return failed;
        for (auto& [name, unit] : units) {
            std::string path;
            unit.failure = unitPath(manager.bus.api(), name, path);
            if (unit.failure == error::success && unit.loaded && unit.installed) {
                readService(manager.bus, name, path, unit.facts);
            } else if (unit.failure == error::success) {
                unit.failure = readUnit(manager.bus, name, path, unit.facts);
            }
            services.push_back({fromNative(name), fromNative(unit.facts.description), serviceStatusOf(unit.facts)});
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
        } else if (const ErrorCode failed = loadUnit(manager.bus, name, opened->facts)) {
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

std::optional<std::wstring> serviceAccount(const std::wstring& serviceName) {
    const std::string name = unitName(serviceName);
    auto& known = knownAccounts();
    if (const auto found = known.find(name); found != known.end()) return found->second;
    if (const SdBus* api = sdBus()) {
        Bus bus(*api);
        UnitFacts facts;
        if (bus.connect() == error::success) loadUnit(bus, name, facts);
    }
    return known[name];  // as reading the unit left it
}

}  // namespace linux_layer

Services& nativeServices() {
    static linux_layer::SystemdServices services;
    return services;
}

}  // namespace platform
