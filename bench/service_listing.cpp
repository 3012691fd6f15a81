// Lists every service of the machine (on Linux: of the manager on the system bus)
// with allServices, RUNS times, and prints the elements and the median time.
// Usage: bench_service_listing [RUNS]
#include "collect/services/ServiceCollector.h"
#include "platform/Native.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const ServiceCollector collector(platform::nativeServices(), platform::nativeRegistry(), platform::nativeHost());
    std::vector<double> milliseconds;
    std::size_t elements = 0;
    for (int run = 0; run < runs; ++run) {
        TextSink out;
        const auto start = std::chrono::steady_clock::now();
        collector.allServices(out);
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        milliseconds.push_back(elapsed.count());
        elements = static_cast<std::size_t>(std::count(out.text().begin(), out.text().end(), L'\n'));
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("services listed: %zu lines; median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n", elements,
                milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back(), runs);
}
