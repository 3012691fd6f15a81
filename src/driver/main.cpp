#include "collect/MachineCollectors.h"
#include "driver/Run.h"
#include "driver/TerminalProgress.h"
#include "platform/Native.h"

int main(int argc, char** argv) {
    platform::guardProcess();
    platform::Host& host = platform::nativeHost();
    MachineCollectors collectors;
    RunEnvironment environment{host, platform::nativeConsole(), platform::nativeFileSystem(), collectors,
                               platform::nativeDynamicLibraries()};
    environment.cryptography = &platform::nativeCryptography();
    // Scripts and logs that read standard error see no progress.
    TerminalProgress progress(platform::nativeConsole());
    if (platform::nativeConsole().errorIsTerminal()) {
        environment.progress = &progress;
        collectors.setProgress(&progress);
    }
    return run(host.commandLine(argc, argv), environment);
}
