// Times every system item but the ten-second processor sample on this machine,
// and the local-user listing over a generated account file of 10,000 accounts.
// Usage: bench_system_items [RUNS]
#include "collect/system/SystemCollector.h"
#include "platform/linux/AccountFiles.h"
#include "platform/Native.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// The machine's accounts replaced by generated files; the rest answers as the native area does.
class GeneratedAccounts final : public platform::Accounts {
public:
    GeneratedAccounts(std::string passwd, std::string group) : passwd_(std::move(passwd)), group_(std::move(group)) {}
    platform::ErrorCode localAccounts(std::uint32_t&, std::vector<platform::LocalAccount>& batch) override {
        std::istringstream passwd(passwd_), group(group_);
        batch = platform::linux_layer::accountsFromFiles(passwd, group);
        return 0;
    }
    platform::ErrorCode domainController(const std::wstring&, std::wstring&) override { return 2453; }
    platform::ErrorCode globalGroups(const std::wstring&, const std::wstring&, std::vector<std::wstring>&) override {
        return 2221;
    }
    platform::ErrorCode localGroups(const std::wstring&, const std::wstring&, std::vector<std::wstring>&) override {
        return 2221;
    }

private:
    std::string passwd_, group_;
};

class NullSink final : public ReportSink {
public:
    void write(std::wstring_view text) override { bytes += text.size(); }
    std::uint64_t tell() const override { return bytes; }
    void truncate(std::uint64_t position) override { bytes = position; }
    std::uint64_t bytes = 0;
};

template <typename Work>
double medianMilliseconds(int runs, Work work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    CpuSample last;
    const SamplerPause noPause = [](std::uint32_t, std::uint32_t) {};
    SystemCollector machine({platform::nativeVolumes(), platform::nativeMachineState(), platform::nativeAccounts(),
                             platform::nativeRegistry(), platform::nativeHost()},
                            last, noPause);
    NullSink sink;
    const auto item = [&](const wchar_t* name) { return [&, name] { machine.collect(name, sink); }; };
    const double disk = medianMilliseconds(runs, item(L"DISK"));
    const double memory = medianMilliseconds(runs, item(L"MEMORY"));
    const double os = medianMilliseconds(runs, item(L"OS"));
    const double user = medianMilliseconds(runs, item(L"USER"));
    const double figures = medianMilliseconds(runs, [&] { sink.write(machine.systemFigures()); });
    std::printf("DISK %.3f ms, MEMORY %.3f ms, OS %.3f ms, USER %.3f ms, figures %.3f ms: together %.3f ms\n", disk,
                memory, os, user, figures, disk + memory + os + user + figures);

    std::string passwd, group = "sudo:x:27:";
    for (int i = 0; i < 10000; ++i) {
        passwd += "user" + std::to_string(i) + ":x:" + std::to_string(1000 + i) + ":" + std::to_string(1000 + i) +
                  ":Generated Account:/home/user" + std::to_string(i) + ":/bin/bash\n";
        if (i % 100 != 0) continue;
        if (i > 0) group += ',';
        group += "user" + std::to_string(i);
    }
    group += "\n";
    GeneratedAccounts generated(passwd, group);
    SystemCollector many({platform::nativeVolumes(), platform::nativeMachineState(), generated,
                          platform::nativeRegistry(), platform::nativeHost()},
                         last, noPause);
    NullSink manySink;
    const double manyUsers = medianMilliseconds(runs, [&] { many.localUsers(manySink); });
    std::printf("USER over 10,000 generated accounts: %.3f ms (%zu characters per run)\n", manyUsers,
                manySink.bytes / static_cast<std::size_t>(runs));
}
