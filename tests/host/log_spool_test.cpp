#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/LogSpool.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanDriverKvaser;

// Frames of every shape the log formats give come back exactly as added, in records of the
// header's sizes; a rewound reader starts again. (Records across the reader's blocks: the e2e
// replay of a longer log.)
TEST(LogSpool, GivesBackEveryFrameAsAdded) {
  CanLogReader parse;
  std::vector<CanLogEntry> entries(6);
  const char* const lines[] = {"(1.5) can0 123#11", "(1.6) can1 123#R", "(1.7) can0 123##1AABB",
                               "(1.8) vcan12 18FEF100#0102030405060708 T", "(1.9) can0 7FF#11_C"};
  for (std::size_t i = 0; i < 5; ++i)
    ASSERT_TRUE(parse.ReadLine(lines[i], entries[i]) && entries[i].error.empty()) << lines[i];
  CanLogEntry& blf = entries[5];  // BLF: objects, times that are offsets of either sign
  blf.timeNs = -5;
  blf.channel.assign(1, '2');
  blf.line = 123456789;
  blf.object = true;
  blf.message.flags = kCanFlagExtended | kCanFlagFd | kCanFlagBrs | kCanFlagEsi;
  blf.message.length = 64;
  std::memset(blf.message.data, 0xC5, 64);
  testing_support::TempDir dir;
  std::string error;
  std::shared_ptr<LogSpool> spool = LogSpool::Create(dir.path(), error);
  ASSERT_TRUE(spool) << error;
  std::vector<std::uint64_t> sizes;
  for (const CanLogEntry& e : entries) {
    const std::uint64_t before = spool->bytes();
    ASSERT_TRUE(spool->Add(e));
    sizes.push_back(spool->bytes() - before);
  }
  ASSERT_TRUE(spool->Finish());
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{25, 24, 26, 32, 25, 88}));
  EXPECT_EQ(spool->channels(), (std::vector<std::string>{"can0", "can1", "vcan12", "2"}));
  EXPECT_EQ(spool->ChannelIndex("can7"), LogSpool::kNoChannel);

  LogSpool::Reader reader(spool);
  SpooledFrame f;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) reader.Rewind();
    for (const CanLogEntry& want : entries) {
      ASSERT_TRUE(reader.Next(f)) << reader.error();
      EXPECT_TRUE(f.timeNs == want.timeNs && f.line == want.line && f.object == want.object &&
                  spool->channels()[f.channel] == want.channel &&
                  std::memcmp(&f.message, &want.message, sizeof(CanMessage)) == 0)
          << want.line;
    }
  }
  EXPECT_FALSE(reader.Next(f));
  EXPECT_TRUE(reader.error().empty());
}

}  // namespace
