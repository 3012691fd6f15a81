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
    const std::wstring lines = decodeTextFile(bytes);
    // A configuration keeps the file's encoding; read as ISO 8859-1, it is the file's lines.
    const ConfigurationText configuration = configurationText(bytes);
    const std::wstring text = decodeText(configuration.bytes, configuration.encoding);
    if (configuration.encoding == TextEncoding::latin1 && text != lines) std::abort();
    const std::wstring name = platform::linux_layer::fromNative(bytes);
    // Encoding never fails, and what strict decoding accepts comes back unchanged.
    text::wideToUtf8(name);
    try {
        if (text::wideToUtf8(text::utf8ToWide(bytes)) != bytes) std::abort();
    } catch (const std::range_error&) {
    }
    return 0;
}
