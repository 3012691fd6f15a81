// Times the recursive directory-and-file listing of a tree with the native file
// queries, without the report around it. Usage: bench_tree_walk TREE [REPEATS]
#include "collect/files/DirectoryCollector.h"
#include "platform/Native.h"
#include "text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TREE [REPEATS]\n", argv[0]);
        return 2;
    }
    const std::wstring tree = text::utf8ToWide(argv[1]);
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    files::DirectoryCollector collector(platform::nativeFileQueries(), platform::nativeFileSystem().separator());
    double best = 1e9;
    std::size_t entries = 0;
    std::size_t textBytes = 0;
    for (int run = 0; run < repeats; ++run) {
        TextSink directories;
        TextSink files;
        const auto start = std::chrono::steady_clock::now();
        collector.getDirectoriesAndFilesRecursively(tree, directories, files);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        const std::wstring listing = directories.text() + files.text();
        entries = static_cast<std::size_t>(std::count(listing.begin(), listing.end(), L'\n'));
        textBytes = text::wideToUtf8(listing).size();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("collector: %zu elements (%zu bytes as UTF-8) in %.3f s, %.0f entries/s, peak %ld KiB\n", entries,
                textBytes, best, static_cast<double>(entries) / best, usage.ru_maxrss);
}
