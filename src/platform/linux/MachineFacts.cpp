#include "platform/linux/MachineFacts.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace platform::linux_layer {
namespace {

bool isLetters(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isalpha(c); });
}

}  // namespace

std::optional<MemoryStatus> memoryFromMeminfo(std::istream& meminfo) {
    std::optional<std::uint64_t> totalKibibytes, availableKibibytes;
    std::string field;
    std::uint64_t kibibytes = 0;
    std::string line;
    while (std::getline(meminfo, line)) {
        std::istringstream words(line);
        if (!(words >> field >> kibibytes)) continue;
        if (field == "MemTotal:") totalKibibytes = kibibytes;
        if (field == "MemAvailable:") availableKibibytes = kibibytes;
    }
    if (!totalKibibytes || !availableKibibytes || *totalKibibytes == 0) return std::nullopt;
    const std::uint64_t total = *totalKibibytes * 1024;
    const std::uint64_t available = std::min(*availableKibibytes * 1024, total);
    return MemoryStatus{static_cast<std::uint32_t>((total - available) * 100 / total), total, available};
}

std::optional<ProcessorTimes> timesFromStat(std::istream& stat, long ticksPerSecond) {
    std::string label;
    std::uint64_t user = 0, nice = 0, system = 0, idle = 0, ioWait = 0, irq = 0, softIrq = 0, steal = 0;
    if (!(stat >> label >> user >> nice >> system >> idle) || label != "cpu" || ticksPerSecond <= 0) {
        return std::nullopt;
    }
    stat >> ioWait >> irq >> softIrq >> steal;  // absent on old kernels
    const std::uint64_t unitsPerTick = 10000000 / static_cast<std::uint64_t>(ticksPerSecond);
    const std::uint64_t idleTicks = idle + ioWait;
    return ProcessorTimes{idleTicks * unitsPerTick, (system + irq + softIrq + steal + idleTicks) * unitsPerTick,
                          (user + nice) * unitsPerTick};
}

std::optional<std::wstring> localeTag(const char* all, const char* messages, const char* lang) {
    std::string value;
    for (const char* candidate : {all, messages, lang}) {
        if (candidate && *candidate) {
            value = candidate;
            break;
        }
    }
    const std::string name = value.substr(0, value.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return L"en-US";
    const auto underscore = name.find('_');
    const std::string language = name.substr(0, underscore);
    const std::string country = underscore == std::string::npos ? "" : name.substr(underscore + 1);
    if (!isLetters(language) || (underscore != std::string::npos && !isLetters(country))) return std::nullopt;
    const std::string tag = country.empty() ? language : language + "-" + country;
    return std::wstring(tag.begin(), tag.end());
}

bool is64BitArchitecture(const std::string& machine) {
    return machine.find("64") != std::string::npos || machine == "s390x" || machine == "alpha";
}

}  // namespace platform::linux_layer
