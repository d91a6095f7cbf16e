#include <gtest/gtest.h>
#include "base/stream.h"

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream s;
  s.Seek(3, soFromBeginning);
  const char x = 'x';
  s.WriteBuffer(&x, 1);
  ASSERT_EQ(s.Size(), 4);
  EXPECT_EQ(s.Bytes(), (std::vector<uint8_t>{0, 0, 0, 'x'}));
}

TEST(MemoryStream, ReadBufferRaisesOnAShortRead) {
  TMemoryStream s;
  s.Assign("ab", 2);
  char buf[3];
  EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
  s.SetPosition(0);
  EXPECT_NO_THROW(s.ReadBuffer(buf, 2));
}

TEST(MemoryStream, CopyFromWithCountZeroCopiesTheWholeSource) {
  TMemoryStream a, b;
  a.Assign("hello", 5);
  a.Seek(0, soFromEnd);
  EXPECT_EQ(b.CopyFrom(a, 0), 5);
  EXPECT_EQ(b.Bytes(), a.Bytes());
}

TEST(MemoryStream, SeekBeforeTheStartRaises) {
  TMemoryStream s;
  EXPECT_THROW(s.Seek(-1, soFromCurrent), EStreamError);
}
