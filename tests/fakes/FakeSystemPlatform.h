#pragma once
// In-memory stand-ins for the areas the system collector reads.
#include "platform/Accounts.h"
#include "platform/MachineState.h"
#include "platform/Volumes.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

class FakeVolumes : public platform::Volumes {
public:
    struct Volume {
        std::wstring name;
        std::wstring device;
        std::vector<std::wstring> paths;
    };

    platform::ErrorCode visitLimit(std::uint32_t& value) override {
        value = limit;
        return limitFailure;
    }
    platform::ErrorCode firstVolume(std::wstring& name) override {
        next = 0;
        return firstFailure ? firstFailure : nextVolume(name);
    }
    platform::ErrorCode nextVolume(std::wstring& name) override {
        if (next >= volumes.size()) return platform::error::noMoreFiles;
        name = volumes[next++].name;
        return platform::error::success;
    }
    void endVolumes() override { ++ended; }
    platform::ErrorCode devicePath(const std::wstring& volume, std::wstring& device) override {
        const Volume* found = find(L"\\\\?\\" + volume + L"\\");
        if (!found || found->device.empty()) return platform::error::fileNotFound;
        device = found->device;
        return platform::error::success;
    }
    platform::ErrorCode mountPaths(const std::wstring& volume, std::vector<std::wstring>& paths) override {
        const Volume* found = find(volume);
        if (!found) return platform::error::fileNotFound;
        paths = found->paths;
        return platform::error::success;
    }
    platform::ErrorCode space(const std::wstring& path, platform::SpaceFigures& figures) override {
        const auto found = spaces.find(path);
        if (found == spaces.end()) return platform::error::accessDenied;
        figures = found->second;
        return platform::error::success;
    }

    std::vector<Volume> volumes;
    std::map<std::wstring, platform::SpaceFigures> spaces;
    std::uint32_t limit = 26;
    platform::ErrorCode limitFailure = 0, firstFailure = 0;
    int ended = 0;

private:
    const Volume* find(const std::wstring& name) const {
        for (const auto& volume : volumes) {
            if (volume.name == name) return &volume;
        }
        return nullptr;
    }
    std::size_t next = 0;
};

class FakeMachineState : public platform::MachineState {
public:
    platform::ErrorCode memoryStatus(platform::MemoryStatus& status) override {
        if (!memory) return platform::error::accessDenied;
        status = *memory;
        return platform::error::success;
    }
    bool is64BitSystem() override { return sixtyFourBit; }
    std::optional<std::wstring> userLocaleName() override { return locale; }
    std::uint32_t logicalProcessors() override { return processors; }
    // Each call takes the next sample; a missing one fails with error 5.
    platform::ErrorCode processorTimes(platform::ProcessorTimes& times) override {
        const std::size_t index = samplesTaken++;
        if (index >= samples.size() || !samples[index]) return platform::error::accessDenied;
        times = *samples[index];
        return platform::error::success;
    }
    std::uint64_t uptimeMilliseconds() override { return uptime; }
    std::optional<std::uint32_t> openHandles() override { return handles; }
    std::optional<std::uint32_t> runningProcesses() override { return processes; }

    std::optional<platform::MemoryStatus> memory;
    bool sixtyFourBit = true;
    std::optional<std::wstring> locale = L"de-DE";
    std::uint32_t processors = 4;
    std::vector<std::optional<platform::ProcessorTimes>> samples;
    std::size_t samplesTaken = 0;
    std::uint64_t uptime = 86400000;
    std::optional<std::uint32_t> handles = 30215;
    std::optional<std::uint32_t> processes = 112;
};

class FakeAccounts : public platform::Accounts {
public:
    struct Batch {
        platform::ErrorCode status;
        std::vector<platform::LocalAccount> accounts;
    };

    platform::ErrorCode localAccounts(std::uint32_t& resume, std::vector<platform::LocalAccount>& batch) override {
        if (resume >= batches.size()) return platform::error::invalidParameter;
        const Batch& next = batches[resume++];
        batch = next.accounts;
        return next.status;
    }
    platform::ErrorCode domainController(const std::wstring& domain, std::wstring& controller) override {
        asked.push_back(L"controller of " + domain);
        const auto found = controllers.find(domain);
        if (found == controllers.end()) return 2453;
        controller = found->second;
        return platform::error::success;
    }
    platform::ErrorCode globalGroups(const std::wstring& server, const std::wstring& account,
                                     std::vector<std::wstring>& groups) override {
        asked.push_back(L"global groups of " + account + L" at " + server);
        groups = global;
        return globalStatus;
    }
    platform::ErrorCode localGroups(const std::wstring& server, const std::wstring& account,
                                    std::vector<std::wstring>& groups) override {
        asked.push_back(L"local groups of " + account + L" at " + server);
        groups = local;
        return localStatus;
    }

    std::vector<Batch> batches;
    std::map<std::wstring, std::wstring> controllers;
    std::vector<std::wstring> global, local;
    platform::ErrorCode globalStatus = 0, localStatus = 0;
    std::vector<std::wstring> asked;
};
