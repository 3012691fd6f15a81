#include "collect/system/SystemCollector.h"

#include "collect/registry/RegistryCollector.h"
#include "collect/system/SystemFormat.h"
#include "text/AsciiCase.h"

#include <utility>

using platform::ErrorCode;
namespace error = platform::error;
using namespace system_format;

namespace {

using Operation = void (SystemCollector::*)(ReportSink&);

const std::pair<const wchar_t*, Operation> items[] = {
    {L"ALL", &SystemCollector::collectAll},     {L"DISK", &SystemCollector::disks},
    {L"MEMORY", &SystemCollector::memory},      {L"OS", &SystemCollector::operatingSystem},
    {L"PROCESSOR", &SystemCollector::processor}, {L"USER", &SystemCollector::localUsers},
};

constexpr std::uint32_t loadSamples = 10;
constexpr std::uint32_t samplePauseMilliseconds = 1000;

}  // namespace

void SystemCollector::collect(const std::wstring& item, ReportSink& out) {
    const std::wstring name = text::upperAscii(item);
    for (const auto& [itemName, operation] : items) {
        if (name == itemName) {
            (this->*operation)(out);
            return;
        }
    }
}

void SystemCollector::collectAll(ReportSink& out) {
    for (const auto& entry : items) {
        if (entry.second != &SystemCollector::collectAll) (this->*entry.second)(out);
    }
}

void SystemCollector::disks(ReportSink& out) {
    auto& volumes = sources_.volumes;
    std::uint32_t passes = 0;
    std::wstring volume;
    ErrorCode failed = volumes.visitLimit(passes);
    if (failed == error::success) failed = volumes.firstVolume(volume);
    if (failed != error::success) {
        out << L"<disk>" + formatUnsigned(failed) + L"</disk>\n";
        return;
    }
    const std::wstring prefix = L"\\\\?\\";
    for (std::uint32_t pass = 0; pass < passes; ++pass) {
        const bool wellFormed = volume.size() > prefix.size() && volume.starts_with(prefix) && volume.back() == L'\\';
        std::wstring device;
        if (wellFormed &&
            volumes.devicePath(volume.substr(prefix.size(), volume.size() - prefix.size() - 1), device) ==
                error::success &&
            device.find(L"HarddiskVolume") != std::wstring::npos) {
            volumePaths(volume, out);
        }
        if (volumes.nextVolume(volume) != error::success) break;
    }
    volumes.endVolumes();
}

// A mount path whose figures cannot be read keeps its element whole: the path
// and the error code in place of the figures.
void SystemCollector::volumePaths(const std::wstring& volume, ReportSink& out) {
    std::vector<std::wstring> paths;
    if (sources_.volumes.mountPaths(volume, paths) != error::success) return;
    for (const std::wstring& path : paths) {
        platform::SpaceFigures figures;
        const ErrorCode failed = sources_.volumes.space(path, figures);
        out << (failed == error::success ? L"<disk>" + path + L"|" + diskGibibytes(figures.freeToCaller) + L"|" +
                                               diskGibibytes(figures.total) + L"</disk>\n"
                                         : L"<disk>" + path + L"|" + formatUnsigned(failed) + L"</disk>\n");
    }
}

void SystemCollector::memory(ReportSink& out) {
    platform::MemoryStatus status;
    if (sources_.machine.memoryStatus(status) != error::success) return;
    out << L"<ram>" + formatUnsigned(status.loadPercent) + L"|" + memoryGibibytes(status.totalBytes) + L"|" +
               memoryGibibytes(status.availableBytes) + L"</ram>\n";
}

void SystemCollector::operatingSystem(ReportSink& out) {
    auto& machine = sources_.machine;
    const std::wstring product =
        registryName(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
    const auto locale = machine.userLocaleName();
    out << L"<os>" + product + L"|" + (machine.is64BitSystem() ? L"x64|" : L"x86|") + locale.value_or(L"unknown") +
               L"</os>\n";
}

void SystemCollector::processor(ReportSink& out) {
    const std::wstring name =
        registryName(L"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString");
    const std::wstring count = formatUnsigned(sources_.machine.logicalProcessors());
    out << L"<cpu>" + name + L"|" + count + L"|" + cpuLoad() + L"</cpu>\n";
}

// An interval in which no time passed keeps the load before it rather than
// dividing zero by zero.
std::wstring SystemCollector::cpuLoad() {
    double load = 0;
    std::wstring text;
    for (std::uint32_t sample = 1; sample <= loadSamples; ++sample) {
        platform::ProcessorTimes times;
        if (const ErrorCode failed = sources_.machine.processorTimes(times); failed != error::success) {
            text += L"Error by getting System Times:\n" + sources_.host.errorMessage(failed) + L"\n";
        } else {
            const std::uint64_t busy = times.kernel + times.user - times.idle;
            const std::uint64_t busyDelta = busy - lastCpuSample_.busy;
            const std::uint64_t idleDelta = times.idle - lastCpuSample_.idle;
            if (busyDelta + idleDelta != 0) {
                load = 100.0 * static_cast<double>(busyDelta) / (static_cast<double>(busyDelta) +
                                                                 static_cast<double>(idleDelta));
            }
            lastCpuSample_ = {times.idle, busy};
        }
        pause_(samplePauseMilliseconds, loadSamples - sample);
    }
    return text + formatLoad(load) + L"%\n";
}

void SystemCollector::localUsers(ReportSink& out) {
    std::uint32_t resume = 0;
    ErrorCode status = error::success;
    do {
        std::vector<platform::LocalAccount> batch;
        status = sources_.accounts.localAccounts(resume, batch);
        if (status != error::success && status != error::moreData) {
            out << L"<localuser>" + netApiErrorText(status) + L"</localuser>\n";
            return;
        }
        for (const auto& account : batch) {
            out << L"<localuser name=\"" + account.name + L"\">" + privilegeWord(account.privilege) +
                       L"</localuser>\n";
        }
    } while (status == error::moreData);
}

void SystemCollector::userGroups(const std::wstring& account, ReportSink& out) {
    const auto backslash = account.find(L'\\');
    const std::wstring domain = backslash == std::wstring::npos ? L"" : account.substr(0, backslash);
    const std::wstring name = backslash == std::wstring::npos ? L"" : account.substr(backslash + 1);
    std::wstring element = L"<user name=\"" + account + L"\">";
    std::wstring controller;
    auto& accounts = sources_.accounts;
    if (accounts.domainController(domain, controller) == error::success) {
        std::vector<std::wstring> groups;
        if (accounts.globalGroups(controller, name, groups) == error::success) {
            for (const auto& group : groups) element += group + L"|";
        }
        groups.clear();
        if (accounts.localGroups(controller, name, groups) == error::success) {
            for (const auto& group : groups) element += group + L"|";
        }
    }
    out << element + L"</user>\n";
}

std::wstring SystemCollector::systemFigures() {
    auto& machine = sources_.machine;
    const std::uint64_t uptime = machine.uptimeMilliseconds();
    std::wstring text;
    if (const auto handles = machine.openHandles()) text += L"handle=\"" + formatUnsigned(*handles) + L"\" ";
    text += L"uptime=\"" + std::to_wstring(uptime) + L"\" processes=\"";
    const auto processes = machine.runningProcesses();
    text += processes ? formatUnsigned(*processes) : L"couldn't receive number of processes";
    return text + L"\"";
}

std::wstring SystemCollector::registryName(const std::wstring& keyPath, const std::wstring& valueName) {
    RegistryRoot root(sources_.registry, keyPath);
    TextSink scratch;
    const std::wstring listing =
        RegistryCollector(sources_.registry, sources_.host).getValue(root, keyPath + L"\\" + valueName, scratch);
    const auto colon = listing.find(L':');
    return colon == std::wstring::npos ? listing : listing.substr(colon + 1);
}
