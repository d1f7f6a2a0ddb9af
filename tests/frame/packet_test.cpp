#include <gtest/gtest.h>

#include <vector>

#include "frame/CanPacket.h"

namespace {

using can::PacketRef;
using can::PacketScanner;
using can::ScanMode;

TEST(CanPacket, LayoutOfTheHeaderExamples) {
  std::vector<std::uint8_t> buf(32, 0xEE);
  const std::uint8_t data[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(can::WritePacket(buf.data(), 0, 6, 0x123, data), 16u);
  const std::vector<std::uint8_t> expected = {0x55, 0, 6, 0xAA, 0x23, 0x01, 0, 0,
                                              1,    2, 3, 4,    5,    6,    0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(buf.begin(), buf.begin() + 16), expected);
  EXPECT_EQ(buf[16], 0xEE);  // nothing written behind the packet
  ASSERT_EQ(can::WritePacket(buf.data(), 2, 0, 0x7FF, data), 8u);
  EXPECT_EQ(buf[4], 0xFF);
  EXPECT_EQ(buf[5], 0x07);
}

std::vector<PacketRef> ScanAll(const std::vector<std::uint8_t>& block, ScanMode mode) {
  std::vector<PacketRef> found;
  PacketScanner scanner(block.data(), block.size(), mode);
  for (PacketRef p{}; scanner.next(p);)
    found.push_back(p);
  return found;
}

TEST(CanPacket, ScannerFindsPacketsAtTheirOffsetsAndSkipsNonHeaders) {
  std::vector<std::uint8_t> block(128, 0);
  const std::uint8_t data[64] = {0xDE, 0xAD, 0xBE, 0xEF, 0x55, 0x00, 0x00, 0xAA};
  can::WritePacket(block.data() + 12, 1, 8, 0x18DAF110, data);  // data holds a fake header
  // Lengths 0 and 65 do not make a header for the sink.
  block[40] = 0x55, block[42] = 65, block[43] = 0xAA;
  can::WritePacket(block.data() + 48, 3, 0, 0x10, data);
  can::WritePacket(block.data() + 64, 0, 3, 0x42, data);

  const auto sink = ScanAll(block, ScanMode::Sink);
  ASSERT_EQ(sink.size(), 2u);
  EXPECT_EQ(sink[0].offset, 12u);
  EXPECT_EQ(sink[0].id, 0x18DAF110u);
  EXPECT_EQ(sink[0].channel, 1);
  EXPECT_EQ(sink[0].data[3], 0xEF);
  EXPECT_EQ(sink[1].offset, 64u);
  EXPECT_EQ(sink[1].length, 3);

  const auto complete = ScanAll(block, ScanMode::Complete);
  ASSERT_EQ(complete.size(), 3u);
  EXPECT_EQ(complete[1].offset, 48u);
  EXPECT_EQ(complete[1].length, 0);
}

TEST(CanPacket, PacketEndingAtTheEndOfTheBlockIsReadOnlyInCompleteMode) {
  std::vector<std::uint8_t> block(24, 0);
  const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  can::WritePacket(block.data() + 8, 0, 8, 0x100, data);  // ends at byte 24
  EXPECT_TRUE(ScanAll(block, ScanMode::Sink).empty());
  EXPECT_EQ(ScanAll(block, ScanMode::Complete).size(), 1u);
  block.push_back(0);
  EXPECT_EQ(ScanAll(block, ScanMode::Sink).size(), 1u);
  // A header whose data would run past the end stops the scan.
  std::vector<std::uint8_t> cut(block.begin(), block.begin() + 20);
  EXPECT_TRUE(ScanAll(cut, ScanMode::Complete).empty());
}

}  // namespace
