#include "platform/linux/SdBus.h"

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

namespace platform::linux_layer {
namespace {

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// D-Bus error names -> Win32 codes; any other failing call is a failed remote call.
const std::pair<std::string_view, ErrorCode> busErrors[] = {
    {"org.freedesktop.systemd1.NoSuchUnit", error::serviceDoesNotExist},
    {"org.freedesktop.DBus.Error.UnknownMethod", error::invalidFunction},
    {"org.freedesktop.DBus.Error.InvalidArgs", error::invalidName},
    {"org.freedesktop.DBus.Error.AccessDenied", error::accessDenied},
    {"org.freedesktop.DBus.Error.ServiceUnknown", error::rpcServerUnavailable},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", error::rpcServerUnavailable},
    {"org.freedesktop.DBus.Error.NoReply", error::timeout},
    {"org.freedesktop.DBus.Error.Timeout", error::timeout},
    {"org.freedesktop.DBus.Error.TimedOut", error::timeout},
};

}  // namespace

const SdBus* sdBus() {
    static const std::unique_ptr<SdBus> loaded = []() -> std::unique_ptr<SdBus> {
        void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return nullptr;
        auto api = std::make_unique<SdBus>();
        const bool complete =
            bind(library, "sd_bus_open_system", api->openSystem) &&
            bind(library, "sd_bus_message_new_method_call", api->newMethodCall) &&
            bind(library, "sd_bus_message_append", api->append) &&
            bind(library, "sd_bus_message_append_strv", api->appendStrv) && bind(library, "sd_bus_call", api->call) &&
            bind(library, "sd_bus_call_async", api->callAsync) && bind(library, "sd_bus_process", api->process) &&
            bind(library, "sd_bus_wait", api->wait) && bind(library, "sd_bus_message_get_error", api->messageError) &&
            bind(library, "sd_bus_message_enter_container", api->enterContainer) &&
            bind(library, "sd_bus_message_exit_container", api->exitContainer) &&
            bind(library, "sd_bus_message_read", api->read) && bind(library, "sd_bus_message_skip", api->skip) &&
            bind(library, "sd_bus_message_peek_type", api->peekType) &&
            bind(library, "sd_bus_message_unref", api->messageUnref) &&
            bind(library, "sd_bus_slot_unref", api->slotUnref) && bind(library, "sd_bus_close", api->close) &&
            bind(library, "sd_bus_unref", api->unref) && bind(library, "sd_bus_error_free", api->errorFree) &&
            bind(library, "sd_bus_path_encode", api->pathEncode);
        if (!complete) return nullptr;  // too old a systemd; the library stays loaded, as it is harmless
        return api;
    }();
    return loaded.get();
}

ErrorCode callFailure(int result, const sd_bus_error* failure) {
    if (failure != nullptr && failure->name != nullptr) {
        for (const auto& [name, code] : busErrors) {
            if (name == failure->name) return code;
        }
    }
    switch (-result) {
    case ETIMEDOUT: return error::timeout;
    case EACCES:
    case EPERM: return error::accessDenied;
    default: return error::rpcCallFailed;
    }
}

Bus::~Bus() {
    if (bus_ == nullptr) return;
    api_.close(bus_);
    api_.unref(bus_);
}

ErrorCode Bus::connect() {
    const int result = api_.openSystem(&bus_);
    if (result < 0) {
        bus_ = nullptr;
        return result == -EACCES || result == -EPERM ? error::accessDenied : error::rpcServerUnavailable;
    }
    return error::success;
}

ErrorCode Bus::request(const char* path, const char* interface, const char* method, Message& message,
                  const char* first, const char* second) const {
    sd_bus_message* made = nullptr;
    int result = api_.newMethodCall(bus_, &made, managerName, path, interface, method);
    message = Message(made, MessageRelease{&api_});
    for (const char* argument : {first, second}) {
        if (result >= 0 && argument != nullptr) result = api_.append(made, "s", argument);
    }
    if (result < 0) return result == -ENOMEM ? error::notEnoughMemory : error::invalidParameter;
    return error::success;
}

ErrorCode Bus::call(const Message& request, Clock::time_point deadline, Message& reply) const {
    sd_bus_error failure{nullptr, nullptr, 0};
    sd_bus_message* answer = nullptr;
    const int result = api_.call(bus_, request.get(), microsecondsUntil(deadline), &failure, &answer);
    const ErrorCode code = result < 0 ? callFailure(result, &failure) : error::success;
    api_.errorFree(&failure);
    reply = Message(answer, MessageRelease{&api_});
    return code;
}

ErrorCode Bus::callManager(const char* method, const char* argument, Clock::time_point deadline, Message& reply) const {
    Message request;
    if (const ErrorCode failed = this->request(managerPath, managerInterface, method, request, argument)) {
        return failed;
    }
    return call(request, deadline, reply);
}

}  // namespace platform::linux_layer
