#include "app/CaptureWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame/CanPacket.h"
#include "tests/support/TestSupport.h"

namespace {

using app::CaptureWriter;

constexpr unsigned kFloatsPerSample = 16;  // 64 bytes per slow sample
constexpr unsigned kSamplesPerFrame = 100;

// A frame's region with packets written as the source module writes them.
class Region {
 public:
  Region() : m_floats(std::size_t{kFloatsPerSample} * kSamplesPerFrame, 0.0F) {}
  void Put(std::size_t offset, int channel, std::uint32_t id, std::vector<std::uint8_t> data) {
    const int length = static_cast<int>(data.size());
    data.resize(can::kMaxPacketData);  // the module hands over a whole message's data array
    can::WritePacket(reinterpret_cast<std::uint8_t*>(m_floats.data()) + offset, channel, length, id,
                     data.data());
  }
  std::span<const float> span() const { return m_floats; }

 private:
  std::vector<float> m_floats;
};

TEST(CaptureWriter, HeaderExamples) {
  Region region;
  region.Put(0, 0, 0x123, {0x11, 0x22});
  region.Put(16, 0, 0x7FF, {});
  region.Put(64, 1, 0x80000123, {0xAB});
  region.Put(128, 0, 0x10, std::vector<std::uint8_t>(12, 0xC4));
  region.Put(6336, 3, 0x98FEF100, {1, 2, 3, 4, 5, 6, 7, 8});
  std::string out;
  EXPECT_EQ(
      CaptureWriter::AppendFrame(out, 2, 0.001, kSamplesPerFrame, region.span(), kFloatsPerSample),
      5u);
  EXPECT_EQ(out,
            "(0.200000) can0 123#1122\n"
            "(0.200000) can0 7FF#\n"
            "(0.201000) can1 00000123#AB\n"
            "(0.202000) can0 010##0C4C4C4C4C4C4C4C4C4C4C4C4\n"
            "(0.299000) can3 18FEF100#0102030405060708\n");
}

// The lines of a frame are in the file as soon as the frame ends, so a run that is killed keeps
// every frame before the one in progress. A file that was there stays as it was until the
// measurement begins, then is emptied in place; a new file of a run refused before it began goes.
TEST(CaptureWriter, EachFrameIsInTheFileWhenItEnds) {
  testing_support::TempDir dir;
  Region region;
  region.Put(640, 2, 0x100, {0xEE});
  std::string error;
  testing_support::WriteFile(dir / "capture.log", "old\n");
  std::filesystem::permissions(dir / "capture.log", std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write);
  {
    CaptureWriter writer(0.001, kSamplesPerFrame);
    ASSERT_TRUE(writer.Open(dir / "capture.log", error)) << error;
    EXPECT_EQ(testing_support::ReadFile(dir / "capture.log"), "old\n");
    ASSERT_TRUE(writer.Begin(error)) << error;
    writer.AddFrame(0, region.span(), kFloatsPerSample);
    EXPECT_EQ(testing_support::ReadFile(dir / "capture.log"), "(0.010000) can2 100#EE\n");
    writer.AddFrame(1, region.span(), kFloatsPerSample);
    EXPECT_EQ(testing_support::ReadFile(dir / "capture.log"),
              "(0.010000) can2 100#EE\n(0.110000) can2 100#EE\n");
    ASSERT_TRUE(writer.Close(error)) << error;
    EXPECT_EQ(writer.messages(), 2u);
  }
  EXPECT_EQ(std::filesystem::status(dir / "capture.log").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  {
    CaptureWriter writer(0.001, kSamplesPerFrame);
    ASSERT_TRUE(writer.Open(dir / "refused.log", error));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  CaptureWriter nowhere(0.001, kSamplesPerFrame);
  EXPECT_FALSE(nowhere.Open(dir / "no/such/folder/c.log", error));
  EXPECT_NE(error.find("no/such/folder/c.log: cannot write"), std::string::npos) << error;
}

}  // namespace
