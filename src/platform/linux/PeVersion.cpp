#include "platform/linux/PeVersion.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace platform::linux_layer {
namespace {

constexpr std::uint32_t versionResourceType = 16;
constexpr std::uint32_t versionResourceName = 1;
constexpr std::uint32_t subdirectoryFlag = 0x80000000;
constexpr std::size_t fixedBlockSize = 52;
// Far above any real version resource; keeps a corrupt size from costing memory.
constexpr std::uint32_t largestVersionBlock = 1 << 20;
// The most sections the Windows loader accepts.
constexpr std::uint16_t mostSections = 96;

std::uint16_t word(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }

std::uint32_t dword(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(word(bytes)) | static_cast<std::uint32_t>(word(bytes + 2)) << 16;
}

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

class PeImage {
public:
    explicit PeImage(const ReadAt& read) : read_(read) {}

    PeVersion version() {
        const auto resources = resourceDirectory();
        if (!resources) return {};
        const auto types = childDirectory(*resources, *resources, versionResourceType);
        const auto names = types ? childDirectory(*resources, *types, versionResourceName) : std::nullopt;
        const auto block = names ? firstLanguageData(*resources, *names) : std::nullopt;
        return block ? parseVersionBlock(*block) : PeVersion{};
    }

private:
    bool read(std::uint64_t offset, void* buffer, std::size_t length) const { return read_(offset, buffer, length); }

    // The relative virtual address of the resource directory.
    std::optional<std::uint32_t> resourceDirectory() {
        unsigned char dos[executableHeaderSize];
        if (!read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
        const std::uint32_t peOffset = dword(dos + 0x3C);
        unsigned char headers[24];
        if (!read(peOffset, headers, sizeof headers) || dword(headers) != 0x00004550) return std::nullopt;
        const std::uint16_t sectionCount = word(headers + 6);
        const std::uint16_t optionalSize = word(headers + 20);
        if (sectionCount > mostSections) return std::nullopt;

        std::vector<unsigned char> optional(optionalSize);
        if (optionalSize < 2 || !read(peOffset + 24, optional.data(), optional.size())) return std::nullopt;
        // Where the data directories start, for 32-bit and 64-bit images.
        const std::uint16_t magic = word(optional.data());
        const std::size_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
        const std::size_t resourceEntry = directories + 2 * 8;
        if (directories == 0 || optional.size() < resourceEntry + 8 || dword(optional.data() + directories - 4) < 3) {
            return std::nullopt;
        }

        std::vector<unsigned char> table(std::size_t{sectionCount} * 40);
        if (!read(std::uint64_t{peOffset} + 24 + optionalSize, table.data(), table.size())) return std::nullopt;
        for (std::size_t index = 0; index < sectionCount; ++index) {
            const unsigned char* header = table.data() + index * 40;
            sections_.push_back({dword(header + 12), dword(header + 8), dword(header + 16), dword(header + 20)});
        }
        const std::uint32_t resources = dword(optional.data() + resourceEntry);
        if (resources == 0) return std::nullopt;
        return resources;
    }

    // Reads bytes that the image places at a relative virtual address.
    bool readVirtual(std::uint64_t address, void* buffer, std::size_t length) const {
        for (const Section& section : sections_) {
            if (address < section.virtualAddress) continue;
            const std::uint64_t offset = address - section.virtualAddress;
            if (offset + length <= section.rawSize) return read(section.rawOffset + offset, buffer, length);
        }
        return false;
    }

    // The entries of the resource directory at an address, as pairs of an
    // identifier and an offset from the start of the resources.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries(std::uint64_t directory) const {
        unsigned char header[16];
        if (!readVirtual(directory, header, sizeof header)) return {};
        const std::size_t count = std::size_t{word(header + 12)} + word(header + 14);
        std::vector<unsigned char> raw(count * 8);
        if (!readVirtual(directory + 16, raw.data(), raw.size())) return {};
        std::vector<std::pair<std::uint32_t, std::uint32_t>> result;
        for (std::size_t index = 0; index < count; ++index) {
            result.emplace_back(dword(raw.data() + index * 8), dword(raw.data() + index * 8 + 4));
        }
        return result;
    }

    std::optional<std::uint64_t> childDirectory(std::uint32_t base, std::uint64_t directory, std::uint32_t id) const {
        for (const auto& [identifier, offset] : entries(directory)) {
            if (identifier == id && (offset & subdirectoryFlag)) return std::uint64_t{base} + (offset & ~subdirectoryFlag);
        }
        return std::nullopt;
    }

    // The bytes of the first language's resource data.
    std::optional<std::vector<unsigned char>> firstLanguageData(std::uint32_t base, std::uint64_t directory) const {
        const auto languages = entries(directory);
        if (languages.empty() || (languages.front().second & subdirectoryFlag)) return std::nullopt;
        unsigned char data[16];
        if (!readVirtual(std::uint64_t{base} + languages.front().second, data, sizeof data)) return std::nullopt;
        const std::uint32_t size = dword(data + 4);
        if (size > largestVersionBlock) return std::nullopt;
        std::vector<unsigned char> block(size);
        if (!readVirtual(dword(data), block.data(), block.size())) return std::nullopt;
        return block;
    }

    // The root of a version block: length, value length, type, a key ending
    // with a zero character, padding to 32 bits, then the fixed block.
    static PeVersion parseVersionBlock(const std::vector<unsigned char>& block) {
        if (block.size() < 6) return {};
        const std::size_t length = std::min<std::size_t>(word(block.data()), block.size());
        const std::size_t valueLength = word(block.data() + 2);
        std::size_t offset = 6;
        while (offset + 2 <= length && word(block.data() + offset) != 0) offset += 2;
        offset = (offset + 2 + 3) & ~std::size_t{3};
        if (valueLength < fixedBlockSize || offset + fixedBlockSize > length) {
            return {VersionResource::withoutFixedBlock, {}};
        }
        const unsigned char* fixed = block.data() + offset;
        return {VersionResource::withFixedBlock, {dword(fixed + 8), dword(fixed + 12), dword(fixed + 16), dword(fixed + 20)}};
    }

    const ReadAt& read_;
    std::vector<Section> sections_;
};

}  // namespace

PeVersion readPeVersion(const ReadAt& read) { return PeImage(read).version(); }

}  // namespace platform::linux_layer
