#include "app/SettingsSeed.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/candriver/DriverConfig.h"
#include "host/mfc/CString.h"
#include "host/obd/SequencerSettings.h"
#include "host/settings/FileIO.h"
#include "host/settings/PrWin.h"
#include "host/settings/SeaFile.h"
#include "tests/support/TestSupport.h"

namespace {

using app::SettingsSeed;
using testing_support::ReadFile;
using testing_support::SourceDir;
using testing_support::TempDir;

TEST(SettingsSeed, CompiledInDefaultIsDataAndReadsWithoutError) {
  ASSERT_EQ(SettingsSeed::Files().size(), 7u);
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

  // The tester asks for every value obd2.dbc gives an application signal: engine speed, vehicle
  // speed, coolant temperature, throttle position and ambient air temperature.
  const auto tester = XeCanAnalysis::SequencerSettings::Parse(SettingsSeed::Files()[4].text);
  EXPECT_TRUE(tester.problems.empty());
  EXPECT_EQ(tester.timerMs, 9);
  std::vector<std::vector<std::uint8_t>> asked;
  for (const auto& request : tester.regular)
    asked.push_back(request.payload);
  EXPECT_EQ(asked, (std::vector<std::vector<std::uint8_t>>{
                       {0x01, 0x0C}, {0x01, 0x0D}, {0x01, 0x05}, {0x01, 0x11}, {0x01, 0x46}}));
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
  testing_support::WriteFile(dir / "mine/Application.sea", "entry \"Mine\"\n");
  EXPECT_EQ(SettingsSeed::Seed(dir / "mine", error), SettingsSeed::Result::Existing);
  EXPECT_EQ(ReadFile(dir / "mine/Application.sea"), "entry \"Mine\"\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "mine/candriver.conf"));

  testing_support::WriteFile(dir / "file", "x");
  EXPECT_EQ(SettingsSeed::Seed(dir / "file", error), SettingsSeed::Result::Failed);
  EXPECT_EQ(error, (dir / "file").string() + ": not a folder");
}

// The default is written in place, behind a marker: a run killed while seeding leaves the marker,
// and the next run removes what it wrote and seeds again, so a half-filled folder is never taken
// for a user's. The lock file and temporaries of dead processes do not make a folder the user's;
// temporaries of live processes (this one) are not touched.
TEST(SettingsSeed, AKilledSeedingIsDoneAgainAndTemporariesOfDeadRunsGo) {
  TempDir dir;
  const auto folder = dir / "settings";
  // What a kill in the middle left: the process (pid 2^22 + 1 is above Linux's pid_max) is gone.
  testing_support::WriteFile(folder / SettingsSeed::kMarker, "");
  testing_support::WriteFile(folder / "Application.sea", "list \"CAN-Sources\"\n");
  testing_support::WriteFile(folder / "Application.sea.tmp.4194305.3", "half");
  testing_support::WriteFile(folder / "decoders/DBC Decoder.txt.tmp.4194305.0", "half");
  testing_support::WriteFile(folder / "canhost.lock", "4194305 canhost run\n");
  const auto oldStyle = dir / "settings.seeding.4194305.0";  // of earlier versions
  testing_support::WriteFile(oldStyle / "Application.sea", "x");
  const auto live = FileIO::TemporaryName(folder / "candriver.conf", "tmp");
  testing_support::WriteFile(live, "mine");

  std::string error;
  ASSERT_EQ(SettingsSeed::Seed(folder, error), SettingsSeed::Result::Seeded) << error;
  for (const auto& file : SettingsSeed::Files())
    EXPECT_EQ(ReadFile(folder / file.name), file.text);
  EXPECT_FALSE(std::filesystem::exists(folder / SettingsSeed::kMarker));
  EXPECT_FALSE(std::filesystem::exists(folder / "Application.sea.tmp.4194305.3"));
  EXPECT_FALSE(std::filesystem::exists(folder / "decoders/DBC Decoder.txt.tmp.4194305.0"));
  EXPECT_FALSE(std::filesystem::exists(oldStyle));
  EXPECT_TRUE(std::filesystem::exists(live));
  std::filesystem::remove(live);
  // The seeded files (five, and the folder of the decoders' two) and the lock file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 7);
  EXPECT_FALSE(FileIO::IsTemporaryName("Application.sea"));
  EXPECT_TRUE(FileIO::IsTemporaryName("a.tmp.sea.tmp.12.0"));

  // Seeded once, the folder is the user's.
  EXPECT_EQ(SettingsSeed::Seed(folder, error), SettingsSeed::Result::Existing);
}

// What seeding into a read-only folder and saving below it report, one line each. Root writes
// anywhere, so as root this runs in a child process that has become "nobody".
std::string WritesIntoReadOnly(const std::filesystem::path& ro) {
  const auto attempt = [&] {
    std::string error;
    if (SettingsSeed::Seed(ro / "settings", error) != SettingsSeed::Result::Failed)
      error = "seeded";
    // An empty folder of its own in the read-only parent (as a mount point) is filled in place.
    std::string inPlace;
    if (SettingsSeed::Seed(ro / "empty", inPlace) == SettingsSeed::Result::Seeded)
      inPlace = "seeded in place";
    error += "\n" + inPlace;
    std::wstring why;
    if (FileIO::WriteFileAtomic(ro / "sub/a.sea", "x", why)) why = L"written";
    return error + "\n" + CString(why).ToUtf8();
  };
  if (::geteuid() != 0) return attempt();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string result = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? attempt() : "no setuid";
    const bool sent =
        ::write(pipeFds[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::string result;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    result.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  ::waitpid(child, nullptr, 0);
  return result;
}

TEST(SettingsSeed, ReadOnlyParentIsReportedWithItsCause) {
  TempDir dir;
  namespace fs = std::filesystem;
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec;
  fs::create_directory(dir / "ro");
  fs::create_directory(dir / "ro/empty");
  fs::permissions(dir / "ro/empty", fs::perms::all);
  fs::permissions(dir.path(), readOnly | fs::perms::owner_write);
  fs::permissions(dir / "ro", readOnly);
  const std::string result = WritesIntoReadOnly(dir / "ro");
  fs::permissions(dir / "ro", fs::perms::owner_all);
  EXPECT_EQ(result, (dir / "ro/settings").string() +
                        ": cannot create the folder: Permission denied\n" + "seeded in place\n" +
                        (dir / "ro/sub").string() +
                        ": cannot create the folder: Permission denied");
  EXPECT_EQ(ReadFile(dir / "ro/empty/Application.sea"), SettingsSeed::Files()[0].text);
}

}  // namespace
