// SPDX-License-Identifier: MIT
// byte_codec_test.cc - field reading and writing in both byte orders.
#include "support/byte_codec.h"

#include <gtest/gtest.h>

namespace hdrtune {
namespace {

const unsigned char counting[8] = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(ByteCodec, ReadersTakeEverySizeInTheirOrder) {
  EXPECT_EQ(get_le(counting, 1), 0x01u);
  EXPECT_EQ(get_be(counting, 1), 0x01u);
  EXPECT_EQ(get_le(counting, 2), 0x0201u);
  EXPECT_EQ(get_be(counting, 2), 0x0102u);
  EXPECT_EQ(get_le(counting, 5), 0x0504030201u);
  EXPECT_EQ(get_be(counting, 7), 0x01020304050607u);
  EXPECT_EQ(get_le(counting, 8), 0x0807060504030201u);
  EXPECT_EQ(get_be(counting, 8), 0x0102030405060708u);
  EXPECT_EQ(get_le(counting, 3), 0x030201u);
  EXPECT_EQ(get_be(counting, 3), 0x010203u);
}

TEST(ByteCodec, WritersStoreTheLowBytesOnly) {
  unsigned char field[8] = {};
  put_be(field, 0x1234, 2);
  EXPECT_EQ(field[0], 0x12);
  EXPECT_EQ(field[1], 0x34);
  put_le(field, 0x1003E, 2);
  EXPECT_EQ(field[0], 0x3E);
  EXPECT_EQ(field[1], 0x00);
  EXPECT_EQ(field[2], 0x00) << "a 2-byte write touched a third byte";
  put_le(field, 0xAABBCC, 3);
  EXPECT_EQ(get_le(field, 3), 0xAABBCCu);
  put_be(field, 0x0102030405060708, 8);
  EXPECT_EQ(get_be(field, 8), 0x0102030405060708u);
  EXPECT_EQ(field[7], 0x08);
}

TEST(ByteCodecDeathTest, RefusedSizesAbortWithTheirNumber) {
  unsigned char field[16] = {};
  EXPECT_DEATH(put_le(field, 1, 5), "hdrtune: Error: Unhandled data length: 5\n");
  EXPECT_DEATH(put_be(field, 1, 7), "Unhandled data length: 7");
  EXPECT_DEATH(get_le(field, 0), "Unhandled data length: 0");
  EXPECT_DEATH(get_be(field, 9), "Unhandled data length: 9");
  EXPECT_DEATH(put_be(field, 1, -1), "Unhandled data length: -1");
}

TEST(ByteCodec, OnlyElfdata2msbSelectsBigEndian) {
  for (int ei_data : {0, 1, 3, 255}) {
    select_byte_order(static_cast<unsigned char>(ei_data));
    EXPECT_EQ(field_get, &get_le) << "EI_DATA " << ei_data;
    EXPECT_EQ(field_put, &put_le) << "EI_DATA " << ei_data;
  }
  select_byte_order(2);
  EXPECT_EQ(field_get, &get_be);
  EXPECT_EQ(field_put, &put_be);
}

TEST(ByteCodec, SignedReadsExtendOnlyTheSmallSizes) {
  select_byte_order(2);
  const unsigned char minus_two[] = {0xFF, 0xFE};
  EXPECT_EQ(get_signed(minus_two, 2), -2);
  const unsigned char int32_min[] = {0x80, 0, 0, 0};
  EXPECT_EQ(get_signed(int32_min, 4), INT32_MIN);
  const unsigned char three[] = {0xFF, 0xFF, 0xFE};
  EXPECT_EQ(get_signed(three, 3), -2);
  const unsigned char five[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(get_signed(five, 5), (std::int64_t{1} << 40) - 1);
}

TEST(ByteCodec, Split64FollowsTheSelectedReader) {
  std::uint64_t high = 0, low = 0;
  const unsigned char little[] = {1, 0, 0, 0, 2, 0, 0, 0};
  select_byte_order(1);
  get_split64(little, &high, &low);
  EXPECT_EQ(high, 2u);
  EXPECT_EQ(low, 1u);
  const unsigned char big[] = {0, 0, 0, 2, 0, 0, 0, 1};
  select_byte_order(2);
  get_split64(big, &high, &low);
  EXPECT_EQ(high, 2u);
  EXPECT_EQ(low, 1u);
}

}  // namespace
}  // namespace hdrtune
