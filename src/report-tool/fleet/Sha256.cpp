#include "report-tool/fleet/Sha256.h"

#include <cstring>

namespace fleet {
namespace {

constexpr std::uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotateRight(std::uint32_t value, int count) {
    return (value >> count) | (value << (32 - count));
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::add(std::string_view bytes) {
    length_ += bytes.size();
    while (!bytes.empty()) {
        const std::size_t taken = std::min(bytes.size(), block_.size() - filled_);
        std::memcpy(block_.data() + filled_, bytes.data(), taken);
        filled_ += taken;
        bytes.remove_prefix(taken);
        if (filled_ == block_.size()) {
            compress(block_.data());
            filled_ = 0;
        }
    }
}

std::string Sha256::hexDigest() {
    const std::uint64_t bits = length_ * 8;
    add(std::string_view("\x80", 1));
    while (filled_ != 56) add(std::string_view("\0", 1));
    for (int shift = 56; shift >= 0; shift -= 8) add(std::string(1, static_cast<char>(bits >> shift)));
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint32_t word : state_)
        for (int shift = 28; shift >= 0; shift -= 4) text += digits[(word >> shift) & 15];
    return text;
}

void Sha256::compress(const unsigned char* block) {
    std::uint32_t schedule[64];
    for (int index = 0; index < 16; ++index)
        schedule[index] = std::uint32_t(block[4 * index]) << 24 | std::uint32_t(block[4 * index + 1]) << 16 |
                          std::uint32_t(block[4 * index + 2]) << 8 | block[4 * index + 3];
    for (int index = 16; index < 64; ++index) {
        const std::uint32_t w15 = schedule[index - 15], w2 = schedule[index - 2];
        schedule[index] = schedule[index - 16] + (rotateRight(w15, 7) ^ rotateRight(w15, 18) ^ (w15 >> 3)) +
                          schedule[index - 7] + (rotateRight(w2, 17) ^ rotateRight(w2, 19) ^ (w2 >> 10));
    }
    auto [a, b, c, d, e, f, g, h] = state_;
    for (int index = 0; index < 64; ++index) {
        const std::uint32_t t1 = h + (rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25)) +
                                 ((e & f) ^ (~e & g)) + roundConstants[index] + schedule[index];
        const std::uint32_t t2 =
            (rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::uint32_t added[8] = {a, b, c, d, e, f, g, h};
    for (int index = 0; index < 8; ++index) state_[index] += added[index];
}

}  // namespace fleet
