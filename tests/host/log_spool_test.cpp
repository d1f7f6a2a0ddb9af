#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/LogSpool.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanDriverKvaser;

std::shared_ptr<const LogSpool> SpoolOf(const std::vector<CanLogEntry>& entries,
                                        const std::filesystem::path& folder) {
  std::string error;
  std::unique_ptr<LogSpool> spool = LogSpool::Create(folder, error);
  EXPECT_TRUE(spool) << error;
  if (!spool) return nullptr;
  for (const CanLogEntry& e : entries)
    EXPECT_TRUE(spool->Add(e)) << spool->error();
  EXPECT_TRUE(spool->Finish()) << spool->error();
  return spool;
}

void ExpectSame(const SpooledFrame& got, const CanLogEntry& want, const LogSpool& spool,
                std::size_t i) {
  ASSERT_EQ(got.timeNs, want.timeNs) << i;
  ASSERT_EQ(got.line, want.line) << i;
  ASSERT_EQ(got.object, want.object) << i;
  ASSERT_EQ(spool.channels().at(got.channel), want.channel) << i;
  ASSERT_EQ(0, std::memcmp(&got.message, &want.message, sizeof(CanMessage))) << i;
}

// Frames of every shape the log formats give, over many blocks, come back exactly as added, to
// each reader on its own and again after a rewind.
TEST(LogSpool, GivesBackEveryFrameAsAddedToEachReader) {
  CanLogReader parse;
  std::vector<CanLogEntry> entries;
  for (const char* line :
       {"(1.5) can0 123#11", "(1.6) can1 123#R", "(1.6) can1 1FFFFFFF#R8", "(1.7) can0 123##1AABB",
        "(1.8) vcan12 18FEF100#0102030405060708 T", "(1.9) can0 7FF#1122334455667788_C"}) {
    CanLogEntry e;
    ASSERT_TRUE(parse.ReadLine(line, e));
    ASSERT_TRUE(e.error.empty()) << e.error;
    entries.push_back(e);
  }
  CanLogEntry fd;
  fd.timeNs = -5;  // BLF times are offsets: any sign survives
  fd.channel = "2";
  fd.line = 123456789;
  fd.object = true;
  fd.message.id = 0x1ABCDEF;
  fd.message.flags = kCanFlagExtended | kCanFlagFd | kCanFlagBrs | kCanFlagEsi;
  fd.message.length = 64;
  for (int i = 0; i < 64; ++i)
    fd.message.data[i] = static_cast<std::uint8_t>(0xC0 + i);
  entries.push_back(fd);
  // Enough of them that records straddle the reader's blocks.
  while (entries.size() < 30'000) {
    CanLogEntry e = entries[entries.size() % 7];
    e.timeNs += static_cast<std::int64_t>(entries.size()) * 250'000;
    e.line = static_cast<int>(entries.size()) + 1;
    entries.push_back(e);
  }
  testing_support::TempDir dir;
  const auto spool = SpoolOf(entries, dir.path());
  ASSERT_TRUE(spool);
  EXPECT_EQ(spool->frames(), entries.size());
  // The header's examples, the first, second and fourth line: 25, 24 and 26 bytes.
  const auto spoolOfThree = SpoolOf({entries[0], entries[1], entries[3]}, dir.path());
  ASSERT_TRUE(spoolOfThree);
  EXPECT_EQ(spoolOfThree->bytes(), 25u + 24u + 26u);
  EXPECT_EQ(spool->channels(), (std::vector<std::string>{"can0", "can1", "vcan12", "2"}));
  EXPECT_EQ(spool->ChannelIndex("vcan12"), 2);
  EXPECT_EQ(spool->ChannelIndex("can7"), LogSpool::kNoChannel);

  LogSpool::Reader a(spool), b(spool);
  SpooledFrame frame;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ASSERT_TRUE(a.Next(frame)) << i << a.error();
    ExpectSame(frame, entries[i], *spool, i);
    if (i % 3 == 0) {
      ASSERT_TRUE(b.Next(frame)) << i;
      ExpectSame(frame, entries[i / 3], *spool, i / 3);
    }
  }
  EXPECT_FALSE(a.Next(frame));
  EXPECT_TRUE(a.error().empty());
  a.Rewind();
  ASSERT_TRUE(a.Next(frame));
  ExpectSame(frame, entries[0], *spool, 0);
}

// The file has no name from the start: nothing is left behind in the folder, however the process
// ends. A folder that cannot hold it, or a frame no log gives, is refused with the reason.
TEST(LogSpool, LeavesNoFileAndRefusesWhatItCannotHold) {
  testing_support::TempDir dir;
  std::string error;
  auto spool = LogSpool::Create(dir.path(), error);
  ASSERT_TRUE(spool) << error;
  CanLogEntry e;
  e.channel = "can0";
  e.message.length = 8;
  ASSERT_TRUE(spool->Add(e));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  e.message.length = 65;
  EXPECT_FALSE(spool->Add(e));
  EXPECT_EQ(spool->error(), "a frame of length 65");
  e.message.length = 1;
  EXPECT_FALSE(spool->Add(e));
  EXPECT_FALSE(spool->Finish());

  EXPECT_FALSE(LogSpool::Create(dir / "missing", error));
  EXPECT_EQ(error, (dir / "missing").string() +
                       ": cannot make a temporary file: No such file or directory");
}

}  // namespace
