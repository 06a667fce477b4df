#include <gtest/gtest.h>

#include "base/byte_search.h"

#include <string>

namespace vzrm {
namespace {

TEST(ByteSearch, FindsEachByteAtEveryPlaceAndNothingElse) {
    // Every length up to three words, the byte at every place: in the words
    // read whole and in the bytes after them.
    for (std::size_t size = 0; size <= 24; ++size) {
        // Neighbours of the bytes looked for (one bit apart, or the high bit
        // set) must not be taken for them.
        const std::string plain(size, '\x89');
        EXPECT_FALSE(HoldsAnyByte(plain.data(), size, '\t', '%'));
        const std::string close(size, '\x08');
        EXPECT_FALSE(HoldsAnyByte(close.data(), size, '\t', '%'));
        for (std::size_t at = 0; at < size; ++at) {
            for (const char c : {'\t', '%'}) {
                std::string text(size, 'a');
                text[at] = c;
                EXPECT_TRUE(HoldsAnyByte(text.data(), size, '\t', '%')) << size << " " << at;
                // Not looked at beyond the size given.
                EXPECT_FALSE(HoldsAnyByte(text.data(), at, '\t', '%')) << size << " " << at;
            }
        }
    }
    const std::string zeros(16, '\0');
    EXPECT_TRUE(HoldsAnyByte(zeros.data(), zeros.size(), '\0', '\x01'));
    EXPECT_FALSE(HoldsAnyByte(zeros.data(), zeros.size(), '\x02', '\x01'));
    // Three bytes: each of them found in a word and in the tail, one alone too.
    for (const char c : {'\r', '\n', ';'}) {
        for (const std::size_t at : {std::size_t{3}, std::size_t{9}}) {
            std::string text(10, 'x');
            text[at] = c;
            EXPECT_TRUE(HoldsAnyByte(text.data(), text.size(), '\r', '\n', ';')) << at;
            EXPECT_EQ(HoldsAnyByte(text.data(), text.size(), ';'), c == ';') << at;
        }
    }
    const std::string none(17, ',');
    EXPECT_FALSE(HoldsAnyByte(none.data(), none.size(), '\r', '\n', ';'));
}

}  // namespace
}  // namespace vzrm
