#include "collect/MachineCollectors.h"
#include "dispatch/TerminalProgress.h"
#include "driver/Run.h"
#include "platform/Native.h"

int main(int argc, char** argv) {
    const bool guarded = platform::guardProcess();
    platform::Host& host = platform::nativeHost();
    MachineCollectors collectors;
    RunEnvironment environment{host, platform::nativeConsole(), platform::nativeFileSystem(), collectors,
                               platform::nativeDynamicLibraries()};
    environment.guarded = guarded;
    environment.cryptography = &platform::nativeCryptography();
    // Scripts and logs that read standard error see no progress.
    TerminalProgress progress(platform::nativeConsole());
    if (platform::nativeConsole().errorIsTerminal()) {
        environment.progress = &progress;
        collectors.setProgress(&progress);
    }
    return run(host.commandLine(argc, argv), environment);
}
