#include <gtest/gtest.h>

#include <string>

#include "platform/bit_array.h"
#include "platform/string_list.h"

TEST(BitArray, BitOrderAndBounds)
{
    CBitArray bits;
    EXPECT_EQ(bits.SetBit(0, 1), 1u);
    EXPECT_FALSE(bits.GetBit(0));
    EXPECT_EQ(bits.Create(0), 1u);
    ASSERT_EQ(bits.Create(9), 0u);
    EXPECT_EQ(bits.GetByteCount(), 2u);
    EXPECT_EQ(bits.SetBit(8, 1), 0u);
    EXPECT_EQ(bits.GetBytes()[1], 0x01);
    EXPECT_EQ(bits.SetBit(3, 1), 0u);
    EXPECT_EQ(bits.GetBytes()[0], 0x08);
    EXPECT_EQ(bits.SetBit(9, 1), 2u);
    EXPECT_FALSE(bits.GetBit(9));
    EXPECT_TRUE(bits.GetBit(8));
    EXPECT_EQ(bits.SetBit(8, 0), 0u);
    EXPECT_FALSE(bits.GetBit(8));
    EXPECT_EQ(bits.Create(0), 1u); // left as it was
    EXPECT_EQ(bits.GetBitCount(), 9u);
}

TEST(BitArray, CountsAndAllSet)
{
    CBitArray bits;
    EXPECT_FALSE(bits.AllSet());
    EXPECT_EQ(bits.CountSet(), 0u);
    ASSERT_EQ(bits.Create(16), 0u);
    const uint8_t almost[2] = {0xFF, 0x7F};
    EXPECT_EQ(bits.CopyFrom(almost, 2), 0u);
    EXPECT_FALSE(bits.AllSet());
    EXPECT_EQ(bits.CountSet(), 15u);
    bits.SetBit(15, 1);
    EXPECT_TRUE(bits.AllSet());
    EXPECT_EQ(bits.CopyFrom(almost, 3), 1u);
    EXPECT_EQ(bits.CopyFrom(nullptr, 1), 1u);

    ASSERT_EQ(bits.Create(10), 0u);
    const uint8_t full[2] = {0xFF, 0xFF}; // bits past the count come from the copy
    bits.CopyFrom(full, 2);
    EXPECT_TRUE(bits.AllSet());
    EXPECT_EQ(bits.CountSet(), 16u);
}

TEST(StringList, CopiesInOrder)
{
    CStringList list;
    EXPECT_EQ(list.Add(nullptr), 1u);
    std::string text = "first";
    EXPECT_EQ(list.Add(text.c_str()), 0u);
    text[0] = 'X';
    EXPECT_STREQ(list.Get(0), "first");
    for (int i = 1; i <= 1024; ++i)
        list.Add(std::to_string(i).c_str());
    EXPECT_EQ(list.GetCount(), 1025);
    EXPECT_STREQ(list.Get(1024), "1024");
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(1025), nullptr);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
}
