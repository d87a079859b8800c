#include "live/content_hash.h"

namespace kvr {

namespace {

constexpr uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotate(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compress(uint32_t state[8], const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = static_cast<uint32_t>(block[4 * i]) << 24 |
               static_cast<uint32_t>(block[4 * i + 1]) << 16 |
               static_cast<uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t s1 = rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25);
        const uint32_t choice = (e & f) ^ (~e & g);
        const uint32_t t1 = h + s1 + choice + RoundConstants[i] + w[i];
        const uint32_t s0 = rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22);
        const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const uint32_t t2 = s0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

} // namespace

std::array<uint8_t, 32> sha256(std::string_view data) {
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    size_t whole = data.size() / 64 * 64;
    for (size_t at = 0; at < whole; at += 64) {
        compress(state, bytes + at);
    }
    // The tail, a one bit, zeros, and the length in bits: one or two blocks.
    uint8_t tail[128] = {};
    const size_t rest = data.size() - whole;
    for (size_t i = 0; i < rest; ++i) {
        tail[i] = bytes[whole + i];
    }
    tail[rest] = 0x80;
    const size_t blocks = rest + 9 <= 64 ? 1 : 2;
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[blocks * 64 - 1 - static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * i));
    }
    for (size_t b = 0; b < blocks; ++b) {
        compress(state, tail + 64 * b);
    }
    std::array<uint8_t, 32> digest{};
    for (size_t i = 0; i < 32; ++i) {
        digest[i] = static_cast<uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    }
    return digest;
}

std::string base64(const uint8_t* data, size_t size) {
    static const char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const size_t n = size - i < 3 ? size - i : 3;
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (n > 1) {
            group |= static_cast<uint32_t>(data[i + 1]) << 8;
        }
        if (n > 2) {
            group |= data[i + 2];
        }
        out += Letters[(group >> 18) & 63];
        out += Letters[(group >> 12) & 63];
        out += n > 1 ? Letters[(group >> 6) & 63] : '=';
        out += n > 2 ? Letters[group & 63] : '=';
    }
    return out;
}

std::string cspHashSource(std::string_view text) {
    const std::array<uint8_t, 32> digest = sha256(text);
    return "'sha256-" + base64(digest.data(), digest.size()) + "'";
}

} // namespace kvr
