#include "app/SettingsSeed.h"

#include <gtest/gtest.h>

#include "host/candriver/DriverConfig.h"
#include "host/mfc/CString.h"
#include "host/settings/PrWin.h"
#include "host/settings/SeaFile.h"
#include "tests/support/TestSupport.h"

namespace {

using app::SettingsSeed;
using testing_support::ReadFile;
using testing_support::SourceDir;
using testing_support::TempDir;

TEST(SettingsSeed, CompiledInDefaultIsDataAndReadsWithoutError) {
  ASSERT_EQ(SettingsSeed::Files().size(), 4u);
  for (const auto& file : SettingsSeed::Files())
    EXPECT_EQ(file.text, ReadFile(SourceDir() / "data" / file.name)) << file.name;

  host::SeaContent sea;
  host::SeaError error;
  ASSERT_TRUE(host::SeaFile::Parse(SettingsSeed::Files()[0].text, "Application.sea", sea, error));
  ASSERT_EQ(sea.lists.at(0).name, L"CAN-Sources");
  EXPECT_EQ(sea.lists.at(0).lines.size(), 3u);

  host::CaptureLog log;
  const auto config = XeCanDriverKvaser::detail::DriverConfig::Parse(SettingsSeed::Files()[1].text,
                                                                     "candriver.conf", "/");
  EXPECT_TRUE(log.lines().empty()) << CString(log.lines().at(0).text).ToUtf8();
  EXPECT_EQ(config.channels().size(), 4u);
  // The generators stay off the bus of the diagnostic demo.
  EXPECT_EQ(config.GeneratorsOf("default").size(), 0u);
  EXPECT_EQ(config.GeneratorsOf("traffic").size(), 3u);
}

TEST(SettingsSeed, FillsOnlyAMissingOrEmptyFolder) {
  TempDir dir;
  std::string error;
  EXPECT_EQ(SettingsSeed::Seed(dir / "new/settings", error), SettingsSeed::Result::Seeded);
  EXPECT_EQ(ReadFile(dir / "new/settings/candriver.conf"), SettingsSeed::Files()[1].text);

  std::filesystem::create_directory(dir / "empty");
  EXPECT_EQ(SettingsSeed::Seed(dir / "empty", error), SettingsSeed::Result::Seeded);
  EXPECT_TRUE(std::filesystem::exists(dir / "empty/Application.sea"));

  // A user's folder is neither overwritten nor completed.
  std::filesystem::create_directory(dir / "mine");
  testing_support::WriteFile(dir / "mine/Application.sea", "entry \"Mine\"\n");
  EXPECT_EQ(SettingsSeed::Seed(dir / "mine", error), SettingsSeed::Result::Existing);
  EXPECT_EQ(ReadFile(dir / "mine/Application.sea"), "entry \"Mine\"\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "mine/candriver.conf"));

  testing_support::WriteFile(dir / "file", "x");
  EXPECT_EQ(SettingsSeed::Seed(dir / "file", error), SettingsSeed::Result::Failed);
  EXPECT_EQ(error, (dir / "file").string() + ": not a folder");
}

}  // namespace
