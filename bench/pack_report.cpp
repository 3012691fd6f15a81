// Packs one report through the engine the way a run does, and prints the time
// spent and the process's peak resident memory.
#include "archive/PackReport.h"
#include "platform/Native.h"
#include "text/Utf8.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s REPORT.xml\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool packed = SevenZip::packReport(text::utf8ToWide(argv[1]), platform::nativeDynamicLibraries(),
                                             platform::nativeFileStreams(), platform::nativeConsole());
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds %.3f peak_kib %ld\n", elapsed.count(), usage.ru_maxrss);
    return packed ? 0 : 1;
}
