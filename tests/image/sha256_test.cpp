// SHA-256 against the published vectors, one of them fed in uneven pieces
// across block edges.
#include <gtest/gtest.h>

#include <string>

#include "image/sha256.h"

namespace {

std::string Hex(const std::string& text) {
    return kv::Sha256::HexOf(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    const std::string million(1000000, 'a');
    kv::Sha256 pieces;
    for (size_t at = 0, step = 1; at < million.size(); at += step, step = step % 97 + 1)
        pieces.Update(reinterpret_cast<const uint8_t*>(million.data()) + at, std::min(step, million.size() - at));
    std::string hex;
    for (uint8_t b : pieces.Final()) {
        static const char* const digits = "0123456789abcdef";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    EXPECT_EQ(hex, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
