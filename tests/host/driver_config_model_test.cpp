// The model of the CAN channel window (DriverConfigModel.h): a hand-written candriver.conf read
// into rows and written back byte for byte, every backend round-tripped through a save and the
// driver's own reading, comments kept on changed lines, invalid input refused with a message,
// and a saved file taken up by the driver at the next start.
#include "host/candriver/DriverConfigModel.h"

#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using Model = DriverConfigModel;
using Backend = DriverConfigModel::Backend;
using testing_support::ReadFile;
using testing_support::WriteFile;

// A file as a person writes it: comments above and beside lines, blank lines, a quoted value, a
// line the driver leaves out, every backend and two generators.
const std::string kHandWritten =
    "# The bench's CAN channels\n"
    "\n"
    "channel 0 virtual                       # the tester\n"
    "channel 1 virtual bus=body offset=8000 drift=-12.5   # ahead and slow\n"
    "channel 2 replay file=\"my drive.log\" interface=can0\n"
    "channel 3 socketcan interface=vcan0\t# the bench's interface\n"
    "channel 4 serial                        # not a backend: left out\n"
    "\n"
    "# traffic of the body bus\n"
    "generator body id=123,18FEF100 period=10ms\n"
    "generator body id=200 period=5ms phase=1ms length=64 fd=1 brs=1 data=ramp\n";

class ChannelModel : public DriverFixture {
 protected:
  ChannelModel() {
    std::filesystem::copy_file(testing_support::SourceDir() / "tests/data/sink_e2e.log",
                               m_dir / "my drive.log");
  }
  std::filesystem::path File() const { return m_dir / "candriver.conf"; }
  Model Read(const std::string& text) {
    WriteFile(File(), text);
    return Model(File());
  }
  // The reasons of the model's problems, described.
  static std::vector<std::string> Described(const Model& model) {
    std::vector<std::string> out;
    for (const auto& p : model.Problems())
      out.push_back(Model::Describe(p));
    return out;
  }
};

TEST_F(ChannelModel, AHandWrittenFileReadsIntoRowsAndIsWrittenBackByteForByte) {
  const Model model = Read(kHandWritten);
  ASSERT_EQ(model.Channels().size(), 4u);
  const auto& c = model.Channels();
  EXPECT_EQ(c[0], (Model::Channel{"0", Backend::Virtual, "", "", "", "", ""}));
  EXPECT_EQ(c[1], (Model::Channel{"1", Backend::Virtual, "body", "", "", "8000", "-12.5"}));
  EXPECT_EQ(c[2], (Model::Channel{"2", Backend::Replay, "", "my drive.log", "can0", "", ""}));
  EXPECT_EQ(c[3], (Model::Channel{"3", Backend::SocketCan, "", "", "vcan0", "", ""}));
  ASSERT_EQ(model.Generators().size(), 2u);
  EXPECT_EQ(model.Generators()[0],
            (Model::Generator{"body", "123,18FEF100", "10ms", "", "", "", "", ""}));
  EXPECT_EQ(model.Generators()[1],
            (Model::Generator{"body", "200", "5ms", "1ms", "64", "ramp", "1", "1"}));
  EXPECT_EQ(model.Ignored(),
            std::vector<std::string>{
                "Line 7: unknown backend 'serial' (known: virtual, replay, socketcan)"});
  EXPECT_EQ(model.CommentLines(), 4u);
  EXPECT_TRUE(model.Problems().empty()) << Described(model).front();
  EXPECT_FALSE(model.Changed());
  EXPECT_EQ(model.Text(), kHandWritten);
}

TEST_F(ChannelModel, CrLfLinesAndAMissingLastLineFeedAreKept) {
  const std::string text = "# bench\r\nchannel 0 virtual\r\nchannel 1 virtual bus=x # b\r\n";
  Model model = Read(text);
  EXPECT_EQ(model.Text(), text);
  ASSERT_TRUE(model.SetChannel(1, Model::Bus, "y"));
  model.AddChannel();
  EXPECT_EQ(model.Text(),
            "# bench\r\nchannel 0 virtual\r\nchannel 1 virtual bus=y # b\r\nchannel 2 virtual\r\n");
  const std::string open = "channel 0 virtual\n# the end, without a line feed";
  EXPECT_EQ(Read(open).Text(), open);
}

// A changed row is written anew in the file's format; its comment stays where it was, and the
// lines of rows nobody changed stay as they were written.
TEST_F(ChannelModel, ChangedRowsAreWrittenAnewWithTheirCommentsAndNewRowsFollowTheirKind) {
  Model model = Read(kHandWritten);
  ASSERT_TRUE(model.SetChannel(1, Model::Drift, ""));
  ASSERT_TRUE(model.SetChannel(3, Model::Interface, "can1"));
  ASSERT_TRUE(model.RemoveChannel(0));
  const std::size_t added = model.AddChannel();
  EXPECT_EQ(model.Channels()[added].number, "0");  // the lowest no row and no kept line uses
  model.AddChannel();
  // Channel 4 is taken by the line kept as written.
  EXPECT_EQ(model.Channels().back().number, "5");
  model.AddGenerator({"body", "7FF", "1s", "", "", "DEADBEEF", "", ""});
  EXPECT_EQ(model.Text(),
            "# The bench's CAN channels\n"
            "\n"
            "channel 1 virtual bus=body offset=8000   # ahead and slow\n"
            "channel 2 replay file=\"my drive.log\" interface=can0\n"
            "channel 3 socketcan interface=can1\t# the bench's interface\n"
            "channel 0 virtual\n"
            "channel 5 virtual\n"
            "channel 4 serial                        # not a backend: left out\n"
            "\n"
            "# traffic of the body bus\n"
            "generator body id=123,18FEF100 period=10ms\n"
            "generator body id=200 period=5ms phase=1ms length=64 fd=1 brs=1 data=ramp\n"
            "generator body id=7FF period=1s data=DEADBEEF\n");
  EXPECT_TRUE(model.Changed());
}

// Each backend, saved and read back: the same rows, and the driver reads the same channels.
TEST_F(ChannelModel, EveryBackendRoundTripsThroughASaveAndTheDriversReading) {
  Model model = Read("# made by hand\n");
  const std::vector<Model::Channel> rows = {
      {"0", Backend::Virtual, "", "", "", "", ""},
      {"1", Backend::Virtual, "a bus", "", "", "-4000", "25.125"},
      {"2", Backend::Replay, "", "my drive.log", "", "", ""},
      {"3", Backend::Replay, "", "my drive.log", "can0", "8000", "-0.5"},
      {"4", Backend::SocketCan, "", "", "vcan0", "", "1000"},
  };
  for (const auto& row : rows)
    model.AddChannel(row);
  const std::vector<Model::Generator> generators = {
      {"a bus", "123,18FEF100", "10ms", "", "", "", "", ""},
      {"a bus", "200", "5ms", "250us", "64", "random", "1", "1"},
      {"default", "7FF", "1s", "", "", "0102", "", ""},
  };
  for (const auto& g : generators)
    model.AddGenerator(g);
  std::string error;
  ASSERT_TRUE(model.Save(error)) << error;
  EXPECT_FALSE(model.Changed());
  const Model again(File());
  EXPECT_EQ(again.Channels(), rows);
  EXPECT_EQ(again.Generators(), generators);
  EXPECT_TRUE(again.Ignored().empty());
  EXPECT_EQ(ReadFile(File()),
            "# made by hand\n"
            "channel 0 virtual\n"
            "channel 1 virtual bus=\"a bus\" offset=-4000 drift=25.125\n"
            "channel 2 replay file=\"my drive.log\"\n"
            "channel 3 replay file=\"my drive.log\" interface=can0 offset=8000 drift=-0.5\n"
            "channel 4 socketcan interface=vcan0 drift=1000\n"
            "generator \"a bus\" id=123,18FEF100 period=10ms\n"
            "generator \"a bus\" id=200 period=5ms phase=250us length=64 data=random fd=1 brs=1\n"
            "generator default id=7FF period=1s data=0102\n");
  // The driver's reading of the saved file: every line in force, nothing logged.
  const auto config = detail::DriverConfig::Load(File());
  EXPECT_TRUE(Log().empty()) << CString(Log().front()).ToUtf8();
  ASSERT_EQ(config.channels().size(), 5u);
  EXPECT_EQ(*config.Find(1)->options.Find("bus"), "a bus");
  EXPECT_EQ(config.Find(1)->clock.offsetTicks, -4000);
  EXPECT_EQ(config.Find(1)->clock.driftPpb, 25'125);
  EXPECT_EQ(*config.Find(3)->options.Find("interface"), "can0");
  EXPECT_EQ(config.Find(4)->backend, "socketcan");
  EXPECT_EQ(config.GeneratorsOf("a bus").size(), 2u);
  EXPECT_TRUE(config.GeneratorsOf("a bus")[1].fd());
}

TEST_F(ChannelModel, WithoutAFileTheDefaultIsShownAndSavedWithAHeader) {
  Model model(File());
  EXPECT_FALSE(model.Exists());
  EXPECT_TRUE(model.Changed());
  ASSERT_EQ(model.Channels().size(), 4u);
  EXPECT_EQ(model.Channels()[3].number, "3");
  std::string error;
  ASSERT_TRUE(model.Save(error)) << error;
  const std::string text = ReadFile(File());
  EXPECT_EQ(text.substr(0, 2), "# ");
  EXPECT_NE(text.find("channel 0 virtual\nchannel 1 virtual\nchannel 2 virtual\nchannel 3 "
                      "virtual\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(detail::DriverConfig::Load(File()).channels().size(), 4u);
}

TEST_F(ChannelModel, InvalidInputIsRefusedWithAMessageAndTheFileStaysAsItWas) {
  Model model = Read(kHandWritten);
  // Text no line can hold is not taken at all.
  EXPECT_FALSE(model.SetChannel(1, Model::Bus, "a\"b"));
  EXPECT_FALSE(model.SetChannel(1, Model::Bus, "a\nchannel 9 virtual"));
  EXPECT_FALSE(model.SetChannel(9, Model::Bus, "x"));
  EXPECT_EQ(model.Channels()[1].bus, "body");

  model.SetChannel(0, Model::Number, "256");
  model.SetChannel(1, Model::Number, "2");
  model.SetChannel(1, Model::Offset, "1.5");
  model.SetChannel(1, Model::Drift, "1000.5");
  model.SetChannel(2, Model::File, "missing.log");
  model.SetBackend(3, Backend::SocketCan);
  model.SetChannel(3, Model::Interface, "");
  const std::size_t replay = model.AddChannel();
  model.SetBackend(replay, Backend::Replay);
  model.SetGenerator(0, Model::Ids, "123,XYZ");
  model.SetGenerator(1, Model::Phase, "5ms");
  const auto problems = model.Problems();
  const auto described = Described(model);
  ASSERT_EQ(described.size(), 9u);
  EXPECT_EQ(described[0], "Channel row 1: channel '256' is not a number from 0 to 255");
  EXPECT_EQ(described[1],
            "Channel row 2: clock offset '1.5' is not a whole number of 125 µs ticks");
  EXPECT_EQ(described[2],
            "Channel row 2: clock drift '1000.5' is not ppm from -1000 to 1000 with at most 3 "
            "decimals");
  EXPECT_EQ(described[3].rfind("Channel row 3: channel 2 is in row 2 as well", 0), 0u)
      << described[3];
  EXPECT_EQ(described[4].rfind("Channel row 3: ", 0), 0u);
  EXPECT_NE(described[4].find("missing.log"), std::string::npos) << described[4];
  EXPECT_EQ(described[5].rfind("Channel row 4: a SocketCAN channel needs an interface", 0), 0u)
      << described[5];
  EXPECT_EQ(described[6],
            "Channel row 5: a replay channel needs a log file: choose one with Browse...");
  EXPECT_EQ(described[7], "Generator row 1: bad identifier 'XYZ'");
  EXPECT_EQ(described[8], "Generator row 2: phase must be a duration below the period");
  // Each names its field, so that the window marks the cell.
  EXPECT_EQ(problems[0].field, Model::Number);
  EXPECT_EQ(problems[3].field, Model::Number);
  EXPECT_EQ(problems[4].field, Model::File);
  EXPECT_EQ(problems[5].field, Model::Interface);
  EXPECT_EQ(problems[7].field, Model::Ids);
  EXPECT_EQ(problems[8].field, Model::Phase);

  std::string error;
  EXPECT_FALSE(model.Save(error));
  EXPECT_EQ(error, described[0] + " (and 8 more)");
  EXPECT_EQ(ReadFile(File()), kHandWritten);
}

// What the field checks let pass, the driver's own reading still refuses: here a line kept as
// written that would come into force once the row that shadowed it changes.
TEST_F(ChannelModel, AKeptLineThatWouldComeIntoForceIsNamed) {
  Model model = Read("channel 1 virtual\nchannel 1 virtual bus=x  # shadowed\n");
  ASSERT_EQ(model.Channels().size(), 1u);
  ASSERT_EQ(model.Ignored().size(), 1u);
  model.SetChannel(0, Model::Number, "2");
  const auto described = Described(model);
  ASSERT_EQ(described.size(), 1u);
  EXPECT_EQ(described[0],
            "Line 2 of the file: kept as written so far, it would now configure channel 1 as "
            "well: remove it from the file, or the row of that channel");
}

TEST_F(ChannelModel, WarningsAndInterfaceChoices) {
  Model model = Read(
      "channel 0 replay file=\"my drive.log\" interface=can7\n"
      "channel 1 socketcan interface=nosuchcan0\n"
      "generator lonely id=1 period=1s\n");
  const auto warnings = model.Warnings();
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0], "Generator row 1: no virtual channel is on bus 'lonely': nobody hears it");
  EXPECT_EQ(warnings[1], "Channel row 1: the log's first frames are on can0, not on 'can7'");
  EXPECT_EQ(warnings[2],
            "Channel row 2: this system has no CAN interface 'nosuchcan0' now; the channel "
            "opens once it has");
  EXPECT_TRUE(model.Problems().empty());
  // Every interface of the log (and "" for all), and the row's own.
  EXPECT_EQ(model.InterfaceChoices(0), (std::vector<std::string>{"", "can0", "can7"}));
  const auto system = model.InterfaceChoices(1);
  EXPECT_EQ(system.back(), "nosuchcan0");
  // A file chosen in the settings folder is named relative to it.
  EXPECT_EQ(model.RelativeFile(m_dir / "logs" / "a.asc"), "logs/a.asc");
  EXPECT_EQ(model.RelativeFile("/elsewhere/a.asc"), "/elsewhere/a.asc");
}

TEST_F(ChannelModel, TheScanOfALogNamesItsInterfacesAndItsFdFrames) {
  WriteFile(m_dir / "two.log", "(1.0) can0 123#11\n(1.1) can1 456##1112233\n(1.2) can0 124#22\n");
  const LogScan scan = ScanLog(m_dir / "two.log");
  EXPECT_TRUE(scan.error.empty()) << scan.error;
  EXPECT_EQ(scan.interfaces, (std::vector<std::string>{"can0", "can1"}));
  EXPECT_TRUE(scan.fd);
  EXPECT_EQ(scan.frames, 3u);
  WriteFile(m_dir / "not.log", "hello\n");
  EXPECT_NE(ScanLog(m_dir / "not.log").error.find("no CAN frame"), std::string::npos);
  EXPECT_NE(ScanLog(m_dir / "absent.log").error.find("absent.log"), std::string::npos);
}

// A save is taken up by the driver when the next measurement starts.
TEST_F(ChannelModel, ASavedFileIsTakenUpAtTheNextStart) {
  Configure("channel 0 virtual\n");
  Model model(File());
  model.SetBackend(0, Backend::Replay);
  model.SetChannel(0, Model::File, "my drive.log");
  std::string error;
  ASSERT_TRUE(model.Save(error)) << error;
  EXPECT_TRUE(ReloadConfigurationIfChanged());
  EXPECT_FALSE(ReloadConfigurationIfChanged());
}

TEST_F(ChannelModel, TheWindowIsShownThroughItsResponder) {
  WriteFile(File(), "channel 0 virtual  # kept\n");
  EXPECT_FALSE(ShowChannelSettings());  // no window in this host: said in the log
  EXPECT_EQ(Logged(L"no window for the CAN channels"), 1u);
  SetChannelSettingsResponder([](DriverConfigModel& model) {
    model.SetChannel(0, DriverConfigModel::Bus, "body");
    std::string error;
    return model.Save(error);
  });
  EXPECT_TRUE(ShowChannelSettings());
  EXPECT_EQ(ReadFile(File()), "channel 0 virtual bus=body  # kept\n");
}

}  // namespace
}  // namespace driver_test

namespace driver_test {
namespace {

// What the fuzz target checks of any text, on its seeds: written back byte for byte, and after a
// change of every row what has no problem is read by the driver as the rows say.
TEST(ChannelModelSeeds, EverySeedIsWrittenBackByteForByte) {
  const auto seeds = testing_support::SourceDir() / "fuzz/seeds/driver_config_fuzz";
  for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
    const std::string text = testing_support::ReadFile(entry.path());
    DriverConfigModel model("/nonexistent/candriver.conf", text);
    EXPECT_EQ(model.Text(), text) << entry.path();
    for (std::size_t r = 0; r < model.Channels().size(); ++r)
      model.SetChannel(r, DriverConfigModel::Drift, model.Channels()[r].drift.empty() ? "1" : "");
    if (!model.Problems().empty()) continue;
    std::vector<detail::ConfigProblem> problems;
    const auto written =
        detail::DriverConfig::Parse(model.Text(), "written", "/nonexistent", &problems);
    EXPECT_EQ(written.channels().size(), model.Channels().size()) << entry.path();
  }
}

}  // namespace
}  // namespace driver_test
