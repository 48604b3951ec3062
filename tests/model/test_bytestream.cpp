#include <gtest/gtest.h>

#include "ByteStream.h"

using vemto::StreamError;
using vemto::TStream;

TEST(ByteStream, RoundTripAndLittleEndianLayout) {
  TStream s;
  s.WriteInt32(-2);
  s.WriteUInt8(7);
  s.WriteDouble(1.5);
  s.WriteText("ab");
  ASSERT_EQ(s.Size(), 4u + 1u + 8u + 4u + 3u);
  EXPECT_EQ(s.Bytes()[0], 0xFE);
  EXPECT_EQ(s.Bytes()[3], 0xFF);
  EXPECT_EQ(s.Bytes()[13], 3);  // length field holds length + 1
  EXPECT_EQ(s.Bytes().back(), 0);
  EXPECT_EQ(s.ReadInt32(), -2);
  EXPECT_EQ(s.ReadUInt8(), 7);
  EXPECT_EQ(s.ReadDouble(), 1.5);  // exact: the bytes are copied
  EXPECT_EQ(s.ReadText(), "ab");
  EXPECT_EQ(s.Remaining(), 0u);
}

TEST(ByteStream, TruncatedAndOversizedInputIsRejected) {
  TStream s;
  s.WriteInt32(1);
  s.Seek(1);
  EXPECT_THROW(s.ReadInt32(), StreamError);
  EXPECT_EQ(s.Position(), 1u);  // a failed read does not move the position

  TStream t;
  EXPECT_THROW(t.WriteText(std::string(256, 'x')), StreamError);
  EXPECT_NO_THROW(t.WriteText(std::string(255, 'x')));

  TStream bad;
  bad.WriteInt32(100000);  // absurd length
  EXPECT_THROW(bad.ReadText(), StreamError);
  TStream zero;
  zero.WriteInt32(0);  // a text always has at least its zero byte
  EXPECT_THROW(zero.ReadText(), StreamError);
  TStream shortText;
  shortText.WriteInt32(10);
  shortText.WriteUInt8('a');
  EXPECT_THROW(shortText.ReadText(), StreamError);
}
