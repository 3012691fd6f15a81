#pragma once
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"

#include <functional>
#include <string>
#include <vector>

// Packs the intermediate report into the archive; true when the archive was written.
using ReportPacker = std::function<bool(const std::wstring& intermediatePath)>;

struct RunEnvironment {
    const platform::Host& host;
    platform::Console& console;
    platform::FileSystem& files;
    Collectors& collectors;
    ReportPacker packReport;
    // Shown the run's progress when someone watches it; null otherwise.
    Progress* progress = nullptr;
};

// One run of the tool, from the banner to the final prompt; returns the exit status.
int run(const std::vector<std::string>& arguments, RunEnvironment& environment);
