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

namespace {

// Counts the elements and their bytes as UTF-8 and keeps nothing: the walk is
// timed, not the growth of a text holding the whole listing.
class CountingSink final : public ReportSink {
public:
    void write(std::wstring_view text) override {
        elements_ += static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n'));
        bytes_ += text::wideToUtf8(std::wstring(text)).size();
    }
    std::uint64_t tell() const override { return bytes_; }
    void truncate(std::uint64_t) override {}
    std::size_t elements() const { return elements_; }
    std::size_t bytes() const { return bytes_; }

private:
    std::size_t elements_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TREE [REPEATS]\n", argv[0]);
        return 2;
    }
    const std::wstring tree = text::utf8ToWide(argv[1]);
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    files::DirectoryCollector collector(platform::nativeFileQueries(), platform::nativeHost(),
                                      platform::nativeFileSystem().separator());
    double best = 1e9;
    std::size_t entries = 0;
    std::size_t textBytes = 0;
    for (int run = 0; run < repeats; ++run) {
        CountingSink directories;
        CountingSink files;
        const auto start = std::chrono::steady_clock::now();
        collector.getDirectoriesAndFilesRecursively(tree, directories, files);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        entries = directories.elements() + files.elements();
        textBytes = directories.bytes() + files.bytes();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("collector: %zu elements (%zu bytes as UTF-8) in %.3f s, %.0f entries/s, peak %ld KiB\n", entries,
                textBytes, best, static_cast<double>(entries) / best, usage.ru_maxrss);
}
