// BLF: the objects of BlfFormat.h's examples, and files the reader must cope with: objects that
// span containers, uncompressed containers, objects outside containers, and broken files, whose
// errors name file and place and never crash.
#include "host/candriver/BlfFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/host/LogStreams.h"

namespace {

using namespace XeCanDriverKvaser;
using Bytes = std::vector<std::uint8_t>;

// An object of header version 1: time flags 2 (ns) unless given.
Bytes Object(std::uint32_t type, const Bytes& body, std::uint64_t time = 0,
             std::uint32_t timeFlags = 2) {
  Bytes o(32 + body.size());
  std::copy(blf::kObjectSignature.begin(), blf::kObjectSignature.end(), o.begin());
  blf::Put16(o.data() + 4, 32);
  blf::Put16(o.data() + 6, 1);
  blf::Put32(o.data() + 8, static_cast<std::uint32_t>(o.size()));
  blf::Put32(o.data() + 12, type);
  blf::Put32(o.data() + 16, timeFlags);
  blf::Put64(o.data() + 24, time);
  std::copy(body.begin(), body.end(), o.begin() + 32);
  return o;
}

Bytes Body(Bytes head, std::size_t size) {
  head.resize(size);
  return head;
}

struct Decoded {
  blf::ObjectKind kind;
  CanLogEntry entry;
  std::string reason;
};
Decoded Decode(const Bytes& object, std::int64_t startNs = 0) {
  Decoded d{};
  d.kind = blf::DecodeObject(object, startNs, d.entry, d.reason);
  return d;
}

TEST(BlfFormat, DecodesTheHeaderExamples) {
  auto d = Decode(Object(1, Body({1, 0, 0, 2, 0x23, 1, 0, 0, 0x11, 0x22}, 16)));
  ASSERT_EQ(d.kind, blf::ObjectKind::Frame);
  EXPECT_EQ(d.entry.channel, "1");
  EXPECT_EQ(d.entry.message.id, 0x123u);
  EXPECT_EQ(d.entry.message.length, 2);
  EXPECT_EQ(d.entry.message.flags, 0u);
  EXPECT_EQ(d.entry.message.data[1], 0x22);
  EXPECT_EQ(d.entry.message.data[2], 0);

  d = Decode(Object(1, Body({2, 0, 0x81, 3, 0x00, 0xF1, 0xFE, 0x98}, 16)));
  EXPECT_EQ(d.entry.channel, "2");
  EXPECT_EQ(d.entry.message.id, 0x18FEF100u);
  EXPECT_EQ(d.entry.message.length, 3);
  EXPECT_EQ(d.entry.message.flags, kCanFlagExtended | kCanFlagRemote | kCanFlagTransmitted);

  Bytes fd = Body({1, 0, 0, 9, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 12}, 84);
  fd[20] = 0xAA;
  fd[31] = 0xBB;
  fd[32] = 0xCC;  // beyond the valid bytes
  d = Decode(Object(100, fd));
  EXPECT_EQ(d.entry.message.flags, kCanFlagFd | kCanFlagBrs);
  EXPECT_EQ(d.entry.message.length, 12);
  EXPECT_EQ(d.entry.message.data[0], 0xAA);
  EXPECT_EQ(d.entry.message.data[11], 0xBB);
  EXPECT_EQ(d.entry.message.data[12], 0);

  d = Decode(Object(100, Body({1, 0, 0, 8, 0x23, 1, 0, 0, 0, 0, 0, 0, 0, 0, 8}, 84)));
  EXPECT_EQ(d.entry.message.flags, 0u);
  EXPECT_EQ(d.entry.message.length, 8);

  Bytes fd64 = Body({3, 0x0F, 0x40, 0, 0x23, 1, 0, 0, 0, 0, 0, 0, 0, 0x70, 0, 0}, 40 + 64);
  fd64[40 + 63] = 0x5A;
  d = Decode(Object(101, fd64));
  EXPECT_EQ(d.entry.channel, "3");
  EXPECT_EQ(d.entry.message.flags, kCanFlagFd | kCanFlagBrs | kCanFlagEsi);
  EXPECT_EQ(d.entry.message.length, 64);
  EXPECT_EQ(d.entry.message.data[63], 0x5A);

  d = Decode(Object(73, Body({4, 0}, 32)));
  EXPECT_EQ(d.entry.channel, "4");
  EXPECT_EQ(d.entry.message.flags, kCanFlagErrorFrame);

  d = Decode(Object(1, Body({1, 0, 0, 16}, 16)));
  EXPECT_EQ(d.kind, blf::ObjectKind::Bad);
  EXPECT_EQ(d.reason, "DLC 16 in a classic frame");
  d = Decode(Object(100, Body({1, 0, 0, 8}, 40)));
  EXPECT_EQ(d.kind, blf::ObjectKind::Bad);
  EXPECT_EQ(d.reason, "object of type 100 with a body of 40 bytes");
  EXPECT_EQ(Decode(Object(96, Body({}, 40))).kind, blf::ObjectKind::Skipped);  // a marker

  d = Decode(Object(1, Body({1}, 16), 150, 1));
  EXPECT_EQ(d.entry.timeNs, 1'500'000);
  std::uint8_t systemTime[16];
  blf::WriteSystemTime(systemTime, 1'721'033'770'123'999'999);
  const auto start = blf::ReadSystemTime(systemTime);
  ASSERT_TRUE(start.has_value());
  EXPECT_EQ(*start, 1'721'033'770'123'000'000);
  EXPECT_EQ(blf::U16(systemTime), 2024);
  EXPECT_EQ(blf::U16(systemTime + 2), 7);
  EXPECT_EQ(blf::U16(systemTime + 4), 1);  // a Monday
  EXPECT_EQ(blf::U16(systemTime + 8), 8);
  EXPECT_EQ(Decode(Object(1, Body({1}, 16), 5), *start).entry.timeNs, 1'721'033'770'123'000'005);
  std::memset(systemTime, 0, sizeof systemTime);
  EXPECT_FALSE(blf::ReadSystemTime(systemTime).has_value());
  d = Decode(Object(1, Body({1}, 16), ~std::uint64_t{0}));
  EXPECT_EQ(d.reason, "time 18446744073709551615 beyond 4000000000 s");
}

// A file assembled by hand: uncompressed containers, an object that continues in the next
// container, padding before an object, and an object outside any container.
TEST(BlfReader, ReadsObjectsAcrossContainersAndOutsideThem) {
  auto header = logstreams::Write(CanLogFormat::Blf, {}).substr(0, blf::kFileHeaderSize);
  Bytes data;
  for (std::uint32_t id : {1u, 2u}) {
    const Bytes o = Object(1, Body({1, 0, 0, 1, static_cast<std::uint8_t>(id), 0, 0, 0, 0x42}, 16),
                           std::uint64_t{id} * 1000);
    data.insert(data.end(), o.begin(), o.end());
  }
  data.insert(data.end(), {0, 0});  // padding some writers leave
  const Bytes third = Object(86, Body({2, 0, 0, 0, 3}, 24), 3000);
  data.insert(data.end(), third.begin(), third.end());
  std::string file = header;
  const auto container = [&](Bytes part) {
    Bytes o(32 + part.size());
    std::copy(blf::kObjectSignature.begin(), blf::kObjectSignature.end(), o.begin());
    blf::Put16(o.data() + 4, 16);
    blf::Put16(o.data() + 6, 1);
    blf::Put32(o.data() + 8, static_cast<std::uint32_t>(o.size()));
    blf::Put32(o.data() + 12, blf::kLogContainer);
    blf::Put32(o.data() + 24, static_cast<std::uint32_t>(part.size()));
    std::copy(part.begin(), part.end(), o.begin() + 32);
    file.append(o.begin(), o.end());
    file.append(o.size() % 4, '\0');
  };
  container(Bytes(data.begin(), data.begin() + 70));  // the second object is cut at 70 - 48
  // Without its second container, the file ends within the second object.
  const auto cut = logstreams::Read(file, "cut.blf");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[1].error, "cut.blf: object 2 (container at byte 144): truncated object");
  container(Bytes(data.begin() + 70, data.end()));
  const Bytes outside = Object(1, Body({7, 0, 0, 0, 4}, 16), 4000);
  file.append(outside.begin(), outside.end());

  const auto entries = logstreams::Read(file, "hand.blf");
  ASSERT_EQ(entries.size(), 4u) << logstreams::Describe(entries.back());
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].error, "");
    EXPECT_EQ(entries[i].message.id, i + 1);
    EXPECT_EQ(entries[i].timeNs, static_cast<std::int64_t>(i + 1) * 1000);
    EXPECT_EQ(entries[i].line, static_cast<int>(i + 1));
  }
  EXPECT_EQ(entries[1].message.data[0], 0x42);
  EXPECT_EQ(entries[3].channel, "7");
}

// Broken files: each error names the file and the place; a broken structure ends the reading,
// a bad frame object does not. Every cut of a file reads without a crash.
TEST(BlfReader, BrokenFilesAreReportedWithFileAndPlace) {
  const auto stream = logstreams::Mixed(40, 1'700'000'000'000'000'000);
  const std::string good = logstreams::Write(CanLogFormat::Blf, stream);
  const auto errors = [](const std::string& bytes) {
    std::vector<std::string> out;
    for (const auto& e : logstreams::Read(bytes, "drive.blf"))
      if (!e.error.empty()) out.push_back(e.error);
    return out;
  };

  auto cut = errors(good.substr(0, good.size() - 100));
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0], "drive.blf: byte 144: truncated container");

  std::string corrupt = good;
  corrupt[144 + 32] ^= 0x55;  // the zlib stream's first byte
  cut = errors(corrupt);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0],
            "drive.blf: byte 144: bad zlib stream in the container: incorrect header check");

  EXPECT_EQ(errors(good + "LOBX0123456789ABCDEF"),
            std::vector<std::string>{"drive.blf: byte " + std::to_string(good.size()) +
                                     ": no object signature 'LOBJ' (found 'LOBX')"});
  EXPECT_EQ(errors(good + std::string(3, '\0')), std::vector<std::string>{});

  EXPECT_EQ(logstreams::Read("(1.0) can0 123#", "drive.blf")[0].error,
            "drive.blf: not a BLF file: it does not start with 'LOGG'");
  EXPECT_EQ(logstreams::Read(good.substr(0, 50), "drive.blf")[0].error,
            "drive.blf: not a BLF file: header of 50 bytes");

  // A frame object that cannot be read, between two that can: reported, and reading goes on.
  std::string file = good.substr(0, blf::kFileHeaderSize);
  for (const Bytes& o : {Object(1, Body({1, 0, 0, 1}, 16)), Object(1, Body({1, 0, 0, 99}, 16)),
                         Object(1, Body({1, 0, 0, 2}, 16))})
    file.append(o.begin(), o.end());
  const auto entries = logstreams::Read(file, "drive.blf");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].error, "drive.blf: object 2 at byte 192: DLC 99 in a classic frame");
  EXPECT_EQ(entries[1].line, 2);
  EXPECT_TRUE(entries[1].object);
  EXPECT_EQ(entries[2].message.length, 2);

  // Every cut of a file ends the reading with at most one error, never a crash.
  for (std::size_t size = 0; size < good.size(); size += 7) {
    const auto got = logstreams::Read(good.substr(0, size), "cut.blf");
    int failures = 0;
    for (const auto& e : got)
      failures += e.error.empty() ? 0 : 1;
    EXPECT_LE(failures, 1) << size;
  }
}

}  // namespace
