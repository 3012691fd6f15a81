#pragma once
#include "dispatch/ReportSink.h"
#include "platform/Accounts.h"
#include "platform/Host.h"
#include "platform/MachineState.h"
#include "platform/Registry.h"
#include "platform/Volumes.h"

#include <cstdint>
#include <functional>
#include <string>

// The platform areas the system items are read from.
struct SystemSources {
    platform::Volumes& volumes;
    platform::MachineState& machine;
    platform::Accounts& accounts;
    platform::Registry& registry;
    const platform::Host& host;
};

// The processor times of the last successful load sample, kept for the whole
// run: each sample measures the interval since the one before.
struct CpuSample {
    std::uint64_t idle = 0;
    std::uint64_t busy = 0;
};

// Waits between two load samples; told how long, and how many pauses follow
// this one, so a caller may show the time left.
using SamplerPause = std::function<void(std::uint32_t milliseconds, std::uint32_t pausesLeft)>;

// Serves "getSystem" and "getUser" and composes the figures of the report's
// system element. Every operation appends complete elements, each with its
// line feed, and never stops the run on a failure.
class SystemCollector {
public:
    SystemCollector(const SystemSources& sources, CpuSample& lastCpuSample, SamplerPause pause)
        : sources_(sources), lastCpuSample_(lastCpuSample), pause_(std::move(pause)) {}

    // The item named by the request value (ALL, DISK, MEMORY, OS, PROCESSOR or
    // USER, letters in any case); any other value appends nothing.
    void collect(const std::wstring& item, ReportSink& out);
    void collectAll(ReportSink& out);

    void disks(ReportSink& out);
    // One disk element per mount path of a volume named "\\?\NAME\".
    void volumePaths(const std::wstring& volume, ReportSink& out);
    void memory(ReportSink& out);
    void operatingSystem(ReportSink& out);
    void processor(ReportSink& out);
    // Ten samples one second apart; the load of the last interval, "%" and a
    // line feed, after the error lines of failed samples.
    std::wstring cpuLoad();
    void localUsers(ReportSink& out);
    // The groups of an account named "DOMAIN\NAME".
    void userGroups(const std::wstring& account, ReportSink& out);

    // The attribute text of the system element: handle (when known), uptime, processes.
    std::wstring systemFigures();

private:
    // The data of a registry value as the value listing ends it, line feed included.
    std::wstring registryName(const std::wstring& keyPath, const std::wstring& valueName);

    SystemSources sources_;
    CpuSample& lastCpuSample_;
    SamplerPause pause_;
};
