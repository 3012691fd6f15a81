#pragma once
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "platform/Console.h"
#include "platform/Cryptography.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"

#include <string>
#include <vector>

struct RunEnvironment {
    const platform::Host& host;
    platform::Console& console;
    platform::FileSystem& files;
    Collectors& collectors;
    // Where the compression engine is loaded from.
    platform::DynamicLibraries& libraries;
    // Shown the run's progress when someone watches it; null otherwise.
    Progress* progress = nullptr;
    // False when the process could not start the thread that removes the run's own files on a signal.
    bool guarded = true;
    // Seals the deliverable for support (/seal); null where sealing is not offered.
    platform::Cryptography* cryptography = nullptr;
};

// One run of the tool, from the banner to the final prompt; returns the exit status.
int run(const std::vector<std::string>& arguments, RunEnvironment& environment);
