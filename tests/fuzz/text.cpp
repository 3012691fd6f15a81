// Text decoding of any bytes: file contents, configurations, UTF-8 both ways,
// and native file names.
#include "platform/linux/Paths.h"
#include "text/TextFile.h"
#include "text/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    decodeTextFile(bytes);
    decodeConfiguration(bytes);
    const std::wstring name = platform::linux_layer::fromNative(bytes);
    // Encoding never fails, and what strict decoding accepts comes back unchanged.
    text::wideToUtf8(name);
    try {
        if (text::wideToUtf8(text::utf8ToWide(bytes)) != bytes) std::abort();
    } catch (const std::range_error&) {
    }
    return 0;
}
