// The hash initial values: their words, their bytes in memory, and one private copy per unit that
// includes the header. Word values are the tables of RFC 1321 (A, B, C, D) and FIPS 180-4 (H0..H7).
#include "WideIntText.h"

#include <Foundation/tHashInit.h>
#include <cstring>
#include <gtest/gtest.h>

// The pair of the wide-integer test unit, which includes the header too.
const tWideInt128& HashInitMD5OfWideIntUnit();
const tWideInt256& HashInitSHA256OfWideIntUnit();

namespace
{
struct WordCase
{
    int Word;
    uint32_t Value;
};

void ExpectBytes(const void* object, const unsigned char* expected, std::size_t count)
{
    unsigned char bytes[64] = {};
    ASSERT_LE(count, sizeof bytes);
    std::memcpy(bytes, object, count);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
}
} // namespace

TEST(HashInit, Md5WordsHoldDcbaFromTheBottom)
{
    const WordCase words[] = {{0, 0x10325476u}, {1, 0x98badcfeu}, {2, 0xefcdab89u}, {3, 0x67452301u}};
    for (const WordCase& w : words)
        EXPECT_EQ(HashInitMD5.Words[w.Word], w.Value) << "word " << w.Word;
    EXPECT_FALSE(HashInitMD5.IsNegative());

    const unsigned char bytes[16] = {0x76, 0x54, 0x32, 0x10, 0xfe, 0xdc, 0xba, 0x98,
                                     0x89, 0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67};
    ExpectBytes(&HashInitMD5, bytes, sizeof bytes);
}

TEST(HashInit, Sha256WordsHoldH7ToH0FromTheBottom)
{
    const WordCase words[] = {{0, 0x5be0cd19u}, {1, 0x1f83d9abu}, {2, 0x9b05688cu}, {3, 0x510e527fu},
                              {4, 0xa54ff53au}, {5, 0x3c6ef372u}, {6, 0xbb67ae85u}, {7, 0x6a09e667u}};
    for (const WordCase& w : words)
        EXPECT_EQ(HashInitSHA256.Words[w.Word], w.Value) << "word " << w.Word;
    EXPECT_FALSE(HashInitSHA256.IsNegative());

    const unsigned char bytes[32] = {0x19, 0xcd, 0xe0, 0x5b, 0xab, 0xd9, 0x83, 0x1f, 0x8c, 0x68, 0x05,
                                     0x9b, 0x7f, 0x52, 0x0e, 0x51, 0x3a, 0xf5, 0x4f, 0xa5, 0x72, 0xf3,
                                     0x6e, 0x3c, 0x85, 0xae, 0x67, 0xbb, 0x67, 0xe6, 0x09, 0x6a};
    ExpectBytes(&HashInitSHA256, bytes, sizeof bytes);
}

TEST(HashInit, EveryUnitOwnsAnEqualCopy)
{
    // Internal linkage: the other unit's objects are distinct, and equal word for word.
    EXPECT_NE(&HashInitMD5OfWideIntUnit(), &HashInitMD5);
    EXPECT_NE(&HashInitSHA256OfWideIntUnit(), &HashInitSHA256);
    EXPECT_EQ(WideHex(HashInitMD5OfWideIntUnit()), WideHex(HashInitMD5));
    EXPECT_EQ(WideHex(HashInitSHA256OfWideIntUnit()), WideHex(HashInitSHA256));
}
