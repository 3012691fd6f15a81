#pragma once
#include "platform/ErrorCode.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

// The run-time binding of libsystemd's sd-bus: the few declarations used, the
// functions looked up when first needed, and one connection to the system bus.
// Loaded at run time, so the tool starts and reports on machines without it.
extern "C" {
struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;
struct sd_bus_error {
    const char* name;
    const char* message;
    int needsFree;
};
using sd_bus_message_handler_t = int (*)(sd_bus_message*, void*, sd_bus_error*);
}

namespace platform::linux_layer {

// The service manager's names on the bus.
inline constexpr const char* managerName = "org.freedesktop.systemd1";
inline constexpr const char* managerPath = "/org/freedesktop/systemd1";
inline constexpr const char* managerInterface = "org.freedesktop.systemd1.Manager";
inline constexpr const char* unitPathPrefix = "/org/freedesktop/systemd1/unit";
inline constexpr const char* unitInterface = "org.freedesktop.systemd1.Unit";
inline constexpr const char* serviceInterface = "org.freedesktop.systemd1.Service";
inline constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

using Clock = std::chrono::steady_clock;

// The time left until the deadline, as sd-bus takes it; at least 1 us, since 0 means no limit.
inline std::uint64_t microsecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return static_cast<std::uint64_t>(std::max<std::int64_t>(left, 1));
}

// The library's functions that the tool calls.
struct SdBus {
    int (*openSystem)(sd_bus**);
    int (*newMethodCall)(sd_bus*, sd_bus_message**, const char*, const char*, const char*, const char*);
    int (*append)(sd_bus_message*, const char*, ...);
    int (*appendStrv)(sd_bus_message*, char**);
    int (*call)(sd_bus*, sd_bus_message*, std::uint64_t, sd_bus_error*, sd_bus_message**);
    int (*callAsync)(sd_bus*, sd_bus_slot**, sd_bus_message*, sd_bus_message_handler_t, void*, std::uint64_t);
    int (*process)(sd_bus*, sd_bus_message**);
    int (*wait)(sd_bus*, std::uint64_t);
    const sd_bus_error* (*messageError)(sd_bus_message*);
    int (*enterContainer)(sd_bus_message*, char, const char*);
    int (*exitContainer)(sd_bus_message*);
    int (*read)(sd_bus_message*, const char*, ...);
    int (*skip)(sd_bus_message*, const char*);
    int (*peekType)(sd_bus_message*, char*, const char**);
    sd_bus_message* (*messageUnref)(sd_bus_message*);
    sd_bus_slot* (*slotUnref)(sd_bus_slot*);
    void (*close)(sd_bus*);
    sd_bus* (*unref)(sd_bus*);
    void (*errorFree)(sd_bus_error*);
    int (*pathEncode)(const char*, const char*, char**);
};

// The library's functions (all of systemd 221, the first with a public sd-bus),
// loaded on first use; nothing without the library.
const SdBus* sdBus();

// The error of a failed call: its D-Bus error name, else its result.
ErrorCode callFailure(int result, const sd_bus_error* failure);

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
    // Closed without flushing: nothing sent is left that the tool still wants
    // answered, and a stalled manager must not hold the run.
    ~Bus();

    ErrorCode connect();
    // A call of the manager's with up to two string arguments.
    ErrorCode request(const char* path, const char* interface, const char* method, Message& message,
                      const char* first = nullptr, const char* second = nullptr) const;
    // Sends a call and waits for the answer.
    ErrorCode call(const Message& request, Clock::time_point deadline, Message& reply) const;
    // Calls a method of the manager's with no argument or one string argument.
    ErrorCode callManager(const char* method, const char* argument, Clock::time_point deadline, Message& reply) const;

    sd_bus* get() const { return bus_; }
    const SdBus& api() const { return api_; }

private:
    const SdBus& api_;
    sd_bus* bus_ = nullptr;
};

}  // namespace platform::linux_layer
