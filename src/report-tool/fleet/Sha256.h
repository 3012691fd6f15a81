#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace fleet {

// SHA-256 (FIPS 180-4) of bytes given piece by piece; the same on every build,
// none of which need a crypto library for it.
class Sha256 {
public:
    Sha256();
    void add(std::string_view bytes);
    // The digest as 64 lower-case hexadecimal digits; the object is used up.
    std::string hexDigest();

private:
    void compress(const unsigned char* block);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> block_{};
    std::size_t filled_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace fleet
