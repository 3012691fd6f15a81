#include "driver/ConfigurationFile.h"

#include <algorithm>
#include <vector>

// The file is read into a buffer of its own size, so that no growth ever holds it twice.
std::optional<ConfigurationText> readConfigurationFile(const platform::FileSystem& files, const std::wstring& path) {
    platform::ErrorCode error = platform::error::success;
    const auto file = files.openForReading(path, error);
    std::uint64_t size = 0;
    if (!file || file->size(size) != platform::error::success) return std::nullopt;
    std::string bytes;
    // One byte more for the line feed that ends the text.
    bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size + 1, bytes.max_size())));
    std::vector<char> chunk(std::size_t{1} << 16);
    for (;;) {
        std::uint32_t count = 0;
        if (file->read(chunk.data(), static_cast<std::uint32_t>(chunk.size()), count) != platform::error::success) {
            return std::nullopt;
        }
        bytes.append(chunk.data(), count);
        if (count == 0) return configurationText(std::move(bytes));
    }
}
