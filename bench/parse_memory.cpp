// Peak memory of reading and parsing a configuration file, as a multiple of the
// file's size: a single text node and many small requests, at several sizes.
// Each measurement runs in a child process of its own, so that one peak does not
// hide the next. Usage: bench_parse_memory [MEGABYTES...] (default 25 100).
#include "config/XmlParser.h"
#include "platform/Native.h"
#include "driver/ConfigurationFile.h"
#include "text/TextFile.h"
#include "text/Utf8.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The resident set's high-water mark in bytes, from /proc/self/status.
long peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return 0;
}

// Writes the configuration piece by piece, so the writer holds none of it.
void writeSingleText(std::ofstream& out, std::size_t size) {
    out << "<config><File><getFile>";
    const std::string piece(1 << 20, 'x');
    for (std::size_t written = 0; written < size; written += piece.size()) out << piece;
    out << "</getFile></File></config>\r\n";
}

void writeRequests(std::ofstream& out, std::size_t size) {
    out << "<?xml version=\"1.0\"?>\r\n<config>\r\n";
    const char* categories[][2] = {{"Registry", "getKey"}, {"File", "getFileVersion"}, {"Directory", "getFiles"}};
    std::size_t written = 0;
    for (int block = 0; written < size; ++block) {
        const auto& category = categories[block % 3];
        std::string text = std::string("  <") + category[0] + "> <!-- block " + std::to_string(block) + " -->\r\n";
        for (int i = 0; i < 50; ++i) {
            text += std::string("    <") + category[1] + ">C:\\Program Files\\Vendor\\Product\\Component" +
                    std::to_string(i) + "\\Settings\\value.dat</" + category[1] + ">\r\n";
        }
        text += std::string("  </") + category[0] + ">\r\n";
        out << text;
        written += text.size();
    }
    out << "</config>\r\n";
}

// Reads and parses the file in a child; prints the peak growth against the file's size.
void measure(const char* shape, const std::string& path, std::size_t fileSize) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const long before = peakResidentBytes();
        auto text = readConfigurationFile(platform::nativeFileSystem(), text::utf8ToWide(path));
        const auto root = text ? XmlParser().parse(std::move(*text)) : nullptr;
        const long growth = peakResidentBytes() - before;
        std::printf("%-22s %10.1f %12.1f %8.2f%s\n", shape, static_cast<double>(fileSize) / 1e6,
                    static_cast<double>(growth) / 1e6, static_cast<double>(growth) / static_cast<double>(fileSize),
                    root ? "" : "  (no root)");
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> megabytes;
    for (int i = 1; i < argc; ++i) megabytes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (megabytes.empty()) megabytes = {25, 100};
    char directory[] = "/tmp/tavisk-parse-memory-XXXXXX";
    if (!mkdtemp(directory)) return 1;
    const std::string path = std::string(directory) + "/configuration.xml";
    std::printf("%-22s %10s %12s %8s\n", "shape", "file MB", "peak MB", "ratio");
    for (const std::size_t size : megabytes) {
        for (const auto& [shape, write] : {std::pair{"single text node", &writeSingleText},
                                           std::pair{"requests of ~95 bytes", &writeRequests}}) {
            {
                std::ofstream out(path, std::ios::binary);
                write(out, size << 20);
            }
            std::ifstream in(path, std::ios::binary | std::ios::ate);
            measure(shape, path, static_cast<std::size_t>(in.tellg()));
        }
    }
    std::remove(path.c_str());
    rmdir(directory);
}
