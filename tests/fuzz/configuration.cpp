// Any configuration file is read, parsed and walked without a fault; every
// request reaches recording collectors, some of which throw.
#include "config/XmlParser.h"
#include "dispatch/Dispatcher.h"
#include "fakes/FakePlatform.h"
#include "text/TextFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto root = XmlParser().parse(configurationText(bytes));
    if (!root) return 0;
    RecordingCollectors collectors;
    FakeFileSystem files;
    files.files[L"a"] = bytes;
    TextSink registry, file, directory, system, service;
    ReportSections sections{registry, file, directory, system, service};
    Dispatcher(collectors, files, sections).walk(*root);
    return 0;
}
