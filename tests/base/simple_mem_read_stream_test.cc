#include "base/simple_mem_read_stream.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  return bytes;
}

TEST(SimpleMemReadStream, ShortReadSucceedsWithZeroTail) {
  const std::vector<uint8_t> bytes = Counting(100);
  CSimpleMemReadStream stream(bytes.data(), bytes.size());
  EXPECT_EQ(stream.Size(), 100);
  ASSERT_TRUE(stream.Seek(95, ISimpleReadStream::kSeekBegin));
  uint8_t buffer[10];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  ASSERT_TRUE(stream.Read(buffer, sizeof buffer));
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 10), std::vector<uint8_t>({96, 97, 98, 99, 100, 0, 0, 0, 0, 0}));
  EXPECT_EQ(stream.Position(), 100);
  EXPECT_FALSE(stream.Read(buffer, 1));  // at the end
}

TEST(SimpleMemReadStream, RejectsBadReadArguments) {
  const std::vector<uint8_t> bytes = Counting(4);
  CSimpleMemReadStream stream(bytes.data(), bytes.size());
  uint8_t buffer[4];
  EXPECT_FALSE(stream.Read(nullptr, 1));
  EXPECT_FALSE(stream.Read(buffer, 0));
  EXPECT_FALSE(stream.Read(buffer, -1));
  EXPECT_EQ(stream.Position(), 0);
  // The stream owns a copy: changing the source does not change what is read.
  std::vector<uint8_t> source = Counting(2);
  CSimpleMemReadStream copy(source.data(), source.size());
  source[0] = 0x55;
  ASSERT_TRUE(copy.Read(buffer, 1));
  EXPECT_EQ(buffer[0], 1);
}

TEST(SimpleMemReadStream, SeekOriginsAndBounds) {
  const std::vector<uint8_t> bytes = Counting(100);
  CSimpleMemReadStream stream(bytes.data(), bytes.size());
  struct Case {
    int64_t offset;
    int origin;
    bool ok;
    int64_t position;  // after the call
  } cases[] = {
      {10, ISimpleReadStream::kSeekBegin, true, 10},  {5, ISimpleReadStream::kSeekCurrent, true, 15},
      {-1, ISimpleReadStream::kSeekBegin, false, 15}, {101, ISimpleReadStream::kSeekBegin, false, 15},
      {0, ISimpleReadStream::kSeekEnd, true, 100},    {1, ISimpleReadStream::kSeekEnd, false, 100},
      {-100, ISimpleReadStream::kSeekEnd, true, 0},   {-1, ISimpleReadStream::kSeekCurrent, false, 0},
      {INT64_MAX, ISimpleReadStream::kSeekEnd, false, 0}, {INT64_MIN, ISimpleReadStream::kSeekEnd, false, 0},
      {3, 7, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stream.Seek(c.offset, c.origin), c.ok) << c.offset << " from " << c.origin;
    EXPECT_EQ(stream.Position(), c.position) << c.offset << " from " << c.origin;
  }
}

TEST(SimpleMemReadStream, ReadExactAndClose) {
  const std::vector<uint8_t> bytes = Counting(8);
  CSimpleMemReadStream stream(bytes.data(), bytes.size());
  uint8_t buffer[8];
  ASSERT_TRUE(stream.Seek(4, ISimpleReadStream::kSeekBegin));
  EXPECT_FALSE(stream.ReadExact(buffer, 5));
  EXPECT_EQ(stream.Position(), 4);
  EXPECT_TRUE(stream.ReadExact(buffer, 4));
  EXPECT_EQ(buffer[3], 8);
  EXPECT_TRUE(stream.ReadExact(buffer, 0));

  EXPECT_TRUE(stream.Close());
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_FALSE(stream.Seek(1, ISimpleReadStream::kSeekBegin));
  EXPECT_FALSE(stream.Read(buffer, 1));

  CSimpleMemReadStream empty(nullptr, 0);
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_FALSE(empty.Read(buffer, 1));
}

}  // namespace
