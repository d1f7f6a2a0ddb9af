// How a log's format is told, how channel names map between the formats, and every format's
// writer against the reader: what is written reads back as the frames that were written.
#include "host/candriver/CanLogFormat.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <thread>

#include "host/candriver/BlfFormat.h"
#include "host/candriver/CanLogWriter.h"
#include "tests/host/LogStreams.h"

namespace {

using namespace XeCanDriverKvaser;

constexpr std::array<CanLogFormat, 4> kFormats = {CanLogFormat::Candump, CanLogFormat::Asc,
                                                  CanLogFormat::Blf, CanLogFormat::Trc};
const char* Extension(CanLogFormat format) {
  constexpr std::array<const char*, 4> kExtensions = {".log", ".asc", ".blf", ".trc"};
  return kExtensions[static_cast<std::size_t>(format)];
}

TEST(CanLogFormat, TellsTheFormatByContentThenNameThenText) {
  EXPECT_EQ(FormatOfContent("drive.log", "LOGG\x90"), CanLogFormat::Blf);
  EXPECT_EQ(FormatOfContent("drive", "LOGG"), CanLogFormat::Blf);
  EXPECT_EQ(FormatOfContent("drive.BLF", "(1.0) can0 123#"), CanLogFormat::Blf);  // refused later
  EXPECT_EQ(FormatOfContent("drive.trc", "(1.0) can0 123#"), CanLogFormat::Trc);
  EXPECT_EQ(FormatOfContent("drive.txt", "\r\n  ;$FILEVERSION=2.1\r\n"), CanLogFormat::Trc);
  EXPECT_EQ(FormatOfContent("drive.txt", "\xEF\xBB\xBF;####"), CanLogFormat::Trc);
  EXPECT_EQ(FormatOfContent("drive.asc", "date Sat Jun 1"), CanLogFormat::Candump);
  EXPECT_EQ(FormatOfContent("drive.log", ""), CanLogFormat::Candump);
  EXPECT_EQ(FormatOfName("a.Log"), CanLogFormat::Candump);
  EXPECT_EQ(FormatOfName("a.ASC"), CanLogFormat::Asc);
  EXPECT_EQ(FormatOfName("a.candump"), std::nullopt);

  // The examples of CanLogFormat.h, both ways.
  EXPECT_EQ(ChannelNumber("1"), 1u);
  EXPECT_EQ(ChannelNumber("12"), 12u);
  EXPECT_EQ(ChannelNumber("can0"), 1u);
  EXPECT_EQ(ChannelNumber("vcan3"), 4u);
  EXPECT_EQ(ChannelNumber("can"), 1u);
  EXPECT_EQ(ChannelNumber(""), 1u);
  EXPECT_EQ(ChannelNumber("99999"), 1u);  // beyond what BLF holds
  std::array<char, kInterfaceCapacity> buffer;
  EXPECT_EQ(CandumpInterface("1", buffer), "can0");
  EXPECT_EQ(CandumpInterface("3", buffer), "can2");
  EXPECT_EQ(CandumpInterface("0", buffer), "0");
  EXPECT_EQ(CandumpInterface("can1", buffer), "can1");
  EXPECT_EQ(CandumpInterface("65535", buffer), "can65534");
}

// Each writer's output read back: the same frames, from a log of dates and from one of times
// since a start; BLF keeps nanoseconds.
TEST(CanLogWriter, EveryFormatReadsBackTheFramesItWasGiven) {
  for (const std::int64_t first :
       {std::int64_t{1'436'509'052'249'713'000}, std::int64_t{200'000}}) {
    const auto stream = logstreams::Mixed(3000, first);
    for (const CanLogFormat format : kFormats) {
      SCOPED_TRACE(std::string(FormatName(format)) + " from " + std::to_string(first));
      const std::string bytes = logstreams::Write(format, stream);
      const auto back = logstreams::Read(bytes, std::string("x") + Extension(format));
      EXPECT_EQ(logstreams::Compare(stream, back), "");
      // Read under a name that says nothing, the content tells the format.
      EXPECT_EQ(logstreams::Compare(stream, logstreams::Read(bytes, "x.dat")), "");
    }
  }
  auto nanos = logstreams::Mixed(2, 1'700'000'000'000'000'001);
  nanos[1].timeNs = nanos[0].timeNs + 999;
  const auto back = logstreams::Read(logstreams::Write(CanLogFormat::Blf, nanos), "x.blf");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].timeNs, nanos[0].timeNs);
  EXPECT_EQ(back[1].timeNs, nanos[1].timeNs);
}

TEST(CanLogWriter, Trc11HoldsClassicFramesOfOneChannel) {
  const CanLogWriterOptions v11{kTrcVersion11};
  auto stream = logstreams::Mixed(40, 5'000'000'000);
  std::erase_if(stream, [](const CanLogEntry& e) {
    return (e.message.flags & (kCanFlagFd | kCanFlagErrorFrame)) != 0;
  });
  for (auto& e : stream)
    e.channel = "can1";
  const std::string bytes = logstreams::Write(CanLogFormat::Trc, stream, v11);
  EXPECT_TRUE(bytes.starts_with(";$FILEVERSION=1.1\r\n")) << bytes.substr(0, 40);
  // One channel without a bus column reads back as channel 1.
  for (auto& e : stream)
    e.channel = "1";
  EXPECT_EQ(logstreams::Compare(stream, logstreams::Read(bytes, "x.trc")), "");

  std::FILE* file = std::tmpfile();
  const auto writer = CanLogWriter::Create(CanLogFormat::Trc, file, "out.trc", v11);
  auto fd = logstreams::Mixed(4, 0)[3];
  EXPECT_FALSE(writer->Write(fd));
  EXPECT_EQ(writer->error(), "out.trc: TRC 1.1 holds no CAN FD frames");
  EXPECT_TRUE(writer->Write(stream[0]));
  stream[1].channel = "2";
  EXPECT_FALSE(writer->Write(stream[1]));
  EXPECT_EQ(writer->error(),
            "out.trc: TRC 1.1 holds one channel: a frame on 2 after frames on another");
  EXPECT_TRUE(writer->Finish());
  std::fclose(file);
}

std::uint32_t HeaderCount(const std::string& bytes) {
  return blf::U32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 32);
}

// BLF's header holds counts that are only known at the end: rewritten on a file; on a pipe the
// counts of the first container stay. Both read back whole, with the start time of the first
// frame.
TEST(BlfWriter, RewritesItsHeaderWhereTheStreamSeeks) {
  const auto stream = logstreams::Mixed(6000, 1'700'000'000'123'456'000);
  const std::string file = logstreams::Write(CanLogFormat::Blf, stream);
  EXPECT_EQ(HeaderCount(file), 6000u);
  EXPECT_EQ(blf::U64(reinterpret_cast<const std::uint8_t*>(file.data()) + 16), file.size());

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string piped;
  std::thread drain([&] {
    char block[4096];
    for (ssize_t n; (n = ::read(fds[0], block, sizeof block)) > 0;)
      piped.append(block, static_cast<std::size_t>(n));
  });
  std::FILE* pipeOut = ::fdopen(fds[1], "w");
  const auto writer = CanLogWriter::Create(CanLogFormat::Blf, pipeOut, "pipe.blf");
  for (const auto& e : stream)
    EXPECT_TRUE(writer->Write(e));
  EXPECT_TRUE(writer->Finish()) << writer->error();
  std::fclose(pipeOut);
  drain.join();
  ::close(fds[0]);
  EXPECT_GT(HeaderCount(piped), 0u);
  EXPECT_LT(HeaderCount(piped), 6000u);
  EXPECT_EQ(logstreams::Compare(stream, logstreams::Read(piped, "pipe.blf")), "");
  // The start time is the first frame's second, less one.
  const auto start = blf::ReadSystemTime(reinterpret_cast<const std::uint8_t*>(piped.data()) + 40);
  EXPECT_EQ(start, 1'699'999'999'000'000'000);

  // A frame before that start cannot be written; one of a log of times since a start can.
  std::FILE* out = std::tmpfile();
  const auto dated = CanLogWriter::Create(CanLogFormat::Blf, out, "out.blf");
  auto early = stream;
  early[1].timeNs = early[0].timeNs - 2'000'000'000;
  EXPECT_TRUE(dated->Write(early[0]));
  EXPECT_FALSE(dated->Write(early[1]));
  EXPECT_NE(dated->error().find("before the file's start time"), std::string::npos);
  std::fclose(out);
}

}  // namespace
