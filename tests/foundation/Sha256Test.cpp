#include "foundation/Sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string HexOf(const std::string& text) {
    return Sha256::Hex(Sha256::Of({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block's padding.
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HexOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    const Sha256::Digest whole = Sha256::Of(data);
    for (size_t cut : {size_t{1}, size_t{55}, size_t{63}, size_t{64}, size_t{65}, size_t{999}}) {
        Sha256 h;
        h.Update({data.data(), cut});
        h.Update({data.data() + cut, data.size() - cut});
        EXPECT_EQ(h.Final(), whole) << cut;
    }
}

} // namespace
