// SHA-256 and Base64 against the published test vectors: a policy hash that is off by one bit
// blocks the page's whole style.
#include "live/content_hash.h"

#include <gtest/gtest.h>

namespace {

std::string hex(const std::array<uint8_t, 32>& digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += Digits[b >> 4];
        text += Digits[b & 15];
    }
    return text;
}

TEST(ContentHash, Sha256MatchesTheStandardsVectorsAcrossBlockEdges) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the block, a second one is needed.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, digest] : cases) {
        EXPECT_EQ(hex(kvr::sha256(text)), digest) << text.substr(0, 20);
    }
}

TEST(ContentHash, Base64PadsEachRemainder) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
    };
    for (const auto& [text, encoded] : cases) {
        const std::string bytes = text;
        EXPECT_EQ(kvr::base64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  encoded);
    }
    EXPECT_EQ(kvr::cspHashSource("abc"), "'sha256-ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0='");
}

} // namespace
