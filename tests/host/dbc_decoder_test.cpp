#include "host/cananalysis/CDbcDecoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanAnalysis;
using testing_support::ReadFile;
using testing_support::WriteFile;

const char* const kEngineDbc =
    "BO_ 256 Engine: 8 E\n"
    " SG_ Speed : 0|16@1+ (0.25,0) [0|0] \"1/min\" X\n"
    " SG_ Temp : 16|8@1+ (1,-40) [0|0] \"degC\" X\n"
    " SG_ Gear : 24|4@1+ (1,0) [0|0] \"\" X\n"
    "BA_DEF_ SG_ \"ApplicationSignal\" INT -1 100;\n"
    "BA_DEF_DEF_ \"ApplicationSignal\" -1;\n"
    "BA_ \"ApplicationSignal\" SG_ 256 Speed 1;\n"
    "BA_ \"ApplicationSignal\" SG_ 256 Gear 9;\n";

struct Value {
  int index, app;
  double value;
  int frame;
  bool operator==(const Value&) const = default;
};

TEST(DbcDecoderConfig, TextFormExamples) {
  std::vector<std::string> errors;
  const DbcDecoderConfig c = DbcDecoderConfig::Parse(
      "file = vehicle.dbc\n"
      "assign 0x100 EngineSpeed = 1\n"
      "assign 0x98FEFE00 Brake = 7\n"
      "assign 0x100 Gear = -1\n"
      "# note\n"
      "assign 0x100 = 1\n"
      "colour = red\n",
      "c.txt", errors);
  EXPECT_EQ(c.dbcFile, L"vehicle.dbc");
  EXPECT_EQ(c.assignments,
            (std::map<DbcSignalKey, int>{
                {{0x100, "EngineSpeed"}, 1}, {{0x100, "Gear"}, -1}, {{0x98FEFE00, "Brake"}, 7}}));
  EXPECT_EQ(errors, (std::vector<std::string>{"c.txt:6: assign MESSAGE-ID SIGNAL = NUMBER expected",
                                              "c.txt:7: unknown entry 'colour'"}));
  std::vector<std::string> none;
  EXPECT_EQ(DbcDecoderConfig::Parse(c.Format(L"D"), "f", none).assignments, c.assignments);
  EXPECT_TRUE(none.empty());
}

// Identifiers a bus cannot carry and numbers with a second sign are refused, not stored as
// assignments that never match (or, with a second sign, negated past the range of a number).
TEST(DbcDecoderConfig, RefusesIdentifiersAndNumbersOutOfRange) {
  std::vector<std::string> errors;
  const DbcDecoderConfig c = DbcDecoderConfig::Parse(
      "assign 0x78FEFE00 A = 1\n"
      "assign 0xFFFFFFFF B = 1\n"
      "assign 0x9FFFFFFF C = 1\n"
      "assign --8000000000000000 D = 1\n"
      "assign 0x100 E = --9223372036854775808\n"
      "assign 0x0x100 F = 1\n",
      "c.txt", errors);
  EXPECT_EQ(c.assignments, (std::map<DbcSignalKey, int>{{{0x9FFFFFFF, "C"}, 1}}));
  ASSERT_EQ(errors.size(), 5u);
  EXPECT_EQ(errors[0], "c.txt:1: message 0x78FEFE00 is no CAN identifier");
  EXPECT_EQ(errors[1], "c.txt:2: message 0xFFFFFFFF is no CAN identifier");
  for (const std::string& e : {errors[2], errors[3], errors[4]})
    EXPECT_NE(e.find("assign MESSAGE-ID SIGNAL = NUMBER expected"), std::string::npos) << e;
}

class DbcDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetSettingsFolder(m_dir.path());
    WriteFile(m_dir / "engine.dbc", kEngineDbc);
  }
  std::unique_ptr<CDbcDecoder> Make(const wchar_t* name = L"DBC Decoder") {
    auto d = std::make_unique<CDbcDecoder>(name, [this](int i, int app, double v, int frame) {
      values.push_back({i, app, v, frame});
    });
    d->RegisterOnDecoderModification([this] { ++modifications; });
    return d;
  }
  std::vector<std::pair<std::string, int>> Signals(const CDbcDecoder& d) {
    std::vector<std::pair<std::string, int>> out;
    d.EnumSignals([&](CDbcSignal& s) { out.emplace_back(s.m_name.ToUtf8(), s.m_appSignal); });
    return out;
  }

  testing_support::TempDir m_dir;
  std::vector<Value> values;
  int modifications = 0;
};

TEST_F(DbcDecoderTest, FileIsLoadedStoredAndDecodedSynchronously) {
  auto d = Make();
  EXPECT_TRUE(d->Create());  // nothing stored yet
  CString name;
  EXPECT_FALSE(d->GetFileName(name));
  const std::uint8_t data[8] = {0x10, 0x27, 60, 0x03, 0, 0, 0, 0};
  EXPECT_EQ(d->DecodeFrame(0x100, data, 8, 17), -1);

  ASSERT_TRUE(d->SetFileName(L"engine.dbc"));
  EXPECT_EQ(modifications, 1);
  EXPECT_TRUE(d->GetFileName(name));
  EXPECT_EQ(name, L"engine.dbc");
  CString content;
  EXPECT_TRUE(d->GetDbcXmlContent(content));
  EXPECT_EQ(content.ToUtf8(), kEngineDbc);
  EXPECT_EQ(Signals(*d),
            (std::vector<std::pair<std::string, int>>{{"Speed", 1}, {"Temp", -1}, {"Gear", 9}}));
  EXPECT_EQ(d->DecodeFrame(0x100, data, 8, 17), 3);
  EXPECT_EQ(values,
            (std::vector<Value>{{0, 1, 2500.0f, 17}, {1, -1, 20.0f, 17}, {2, 9, 3.0f, 17}}));

  // A message rebuilt from a packet: its timestamp is the frame; the flags word tells the format.
  XeCanDriverKvaser::CanMessage message;
  std::copy(std::begin(data), std::end(data), message.data);
  message.id = 0x100;
  message.length = 8;
  message.timestamp = 42;
  message.tail = 1;
  values.clear();
  d->Decode(message);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[2], (Value{2, 9, 3.0f, 42}));
  message.flags = XeCanDriverKvaser::kCanFlagRemote;  // a request carries no data
  values.clear();
  d->Decode(message);
  EXPECT_TRUE(values.empty());

  // The configuration is the decoder name's: another decoder of that name finds the file again.
  EXPECT_EQ(ReadFile(m_dir / "decoders" / "DBC Decoder.txt"),
            "# canhost DBC decoder \"DBC Decoder\"\nfile = engine.dbc\n");
  auto again = Make();
  EXPECT_TRUE(again->Create());
  EXPECT_TRUE(again->GetFileName(name));
  auto other = Make(L"CCanDbcDecoder_1");
  EXPECT_TRUE(other->Create());
  EXPECT_FALSE(other->GetFileName(name));
}

TEST_F(DbcDecoderTest, UnreadableFilesAndBadConfigurationsAreReported) {
  host::CaptureLog log;
  auto d = Make();
  ASSERT_TRUE(d->SetFileName(L"engine.dbc"));
  modifications = 0;
  EXPECT_FALSE(d->SetFileName(L"missing.dbc"));
  EXPECT_EQ(modifications, 0);
  CString name;
  EXPECT_TRUE(d->GetFileName(name) && name == L"engine.dbc");
  EXPECT_EQ(log.count_containing(L"missing.dbc: cannot open: No such file or directory"), 1u);

  WriteFile(m_dir / "decoders" / "DBC Decoder.txt",
            "file = engine.dbc\nassign 0x100 Temp = 3\ncolour = red\nassign 0x100 = 1\n");
  auto bad = Make();
  EXPECT_FALSE(bad->Create());
  EXPECT_EQ(log.count_containing(L"DBC Decoder.txt:3: unknown entry 'colour'"), 1u);
  EXPECT_EQ(log.count_containing(L"DBC Decoder.txt:4: assign MESSAGE-ID SIGNAL = NUMBER"), 1u);
  EXPECT_EQ(Signals(*bad)[1], (std::pair<std::string, int>("Temp", 3)));  // the rest is used
  // Writing over it keeps the file that had errors beside it.
  ASSERT_TRUE(bad->SetFileName(L"engine.dbc"));
  EXPECT_NE(ReadFile(m_dir / "decoders" / "DBC Decoder.txt.bad").find("colour"), std::string::npos);
  EXPECT_EQ(ReadFile(m_dir / "decoders" / "DBC Decoder.txt"),
            "# canhost DBC decoder \"DBC Decoder\"\nfile = engine.dbc\nassign 0x100 Temp = 3\n");

  // Warnings of the DBC file name file, line and column.
  WriteFile(m_dir / "wide.dbc", "BO_ 4000 Wide: 8 X\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n");
  ASSERT_TRUE(bad->SetFileName(L"wide.dbc"));
  ASSERT_EQ(bad->Diagnostics().size(), 1u);
  EXPECT_NE(bad->Diagnostics()[0].find("wide.dbc:1:5: warning:"), std::string::npos);
}

// What keeps a decoder from decoding as configured is listed by its name, one line each, for the
// host to report; a binary file's diagnostics are logged as the first few and a count.
TEST_F(DbcDecoderTest, LoadProblemsAreListedOncePerDecoderAndLoggedBounded) {
  host::CaptureLog log;
  const auto problemOf = [](const wchar_t* name) {
    for (const auto& [decoder, text] : CDbcDecoder::LoadProblems())
      if (decoder == name) return text;
    return std::string();
  };
  WriteFile(m_dir / "decoders" / "DBC Decoder.txt", "file = missing.dbc\n");
  EXPECT_FALSE(Make()->Create());
  EXPECT_EQ(problemOf(L"DBC Decoder"),
            (m_dir / "missing.dbc").string() + ": cannot open: No such file or directory");

  WriteFile(m_dir / "empty.dbc", "VERSION \"\"\n");
  WriteFile(m_dir / "decoders" / "DBC Decoder.txt", "file = empty.dbc\n");
  EXPECT_TRUE(Make()->Create());
  EXPECT_EQ(problemOf(L"DBC Decoder"),
            (m_dir / "empty.dbc").string() + ": no message (BO_) to decode");

  std::string garbage;
  for (int i = 0; i < 50; ++i)
    garbage += "BO_ \x01\x02 nonsense\n";
  WriteFile(m_dir / "binary.dbc", std::string(kEngineDbc) + garbage);
  WriteFile(m_dir / "decoders" / "DBC Decoder.txt", "file = binary.dbc\n");
  log.clear();
  EXPECT_TRUE(Make()->Create());
  EXPECT_NE(problemOf(L"DBC Decoder").find("binary.dbc:"), std::string::npos);
  EXPECT_NE(problemOf(L"DBC Decoder").find("(and 49 more errors)"), std::string::npos);
  EXPECT_EQ(log.lines().size(), CDbcDecoder::kLoggedDiagnostics + 1);
  EXPECT_EQ(log.count_containing(L"binary.dbc: 40 more errors and warnings"), 1u);

  WriteFile(m_dir / "decoders" / "DBC Decoder.txt", "file = engine.dbc\n");
  EXPECT_TRUE(Make()->Create());
  EXPECT_EQ(problemOf(L"DBC Decoder"), "");
}

TEST_F(DbcDecoderTest, SettingsDialogAssignsSignalsAndReportsTheChange) {
  auto d = Make();
  ASSERT_TRUE(d->SetFileName(L"engine.dbc"));
  modifications = 0;
  CList<CAppSignal> apps;
  apps.AddTail(CAppSignal(1, L"Engine speed", L"1/min", 8));
  apps.AddTail(CAppSignal(3, L"Coolant temperature", L"\u00B0C", 2));
  d->SetApplicationSignals(apps);

  d->CallSettingsDialog();  // no UI: nothing happens
  EXPECT_EQ(modifications, 0);

  SetDbcSettingsResponder([](CDbcSettingsModel& m) {
    EXPECT_EQ(m.ApplicationSignals().size(), 2u);
    EXPECT_EQ(m.Signals().size(), 3u);
    EXPECT_FALSE(m.Assign(0x100, L"Temp", 7));  // not an offered application signal
    EXPECT_TRUE(m.Assign(0x100, L"Temp", 3));
    EXPECT_TRUE(m.Assign(2, -1));  // Gear: off, although the DBC file assigns it
    return false;                  // Cancel
  });
  d->CallSettingsDialog();
  EXPECT_EQ(modifications, 0);
  EXPECT_EQ(Signals(*d)[1].second, -1);

  SetDbcSettingsResponder([this](CDbcSettingsModel& m) {
    EXPECT_FALSE(m.ChooseFile(L"nothing.dbc"));
    EXPECT_NE(m.LastError().ToUtf8().find("nothing.dbc"), std::string::npos);
    WriteFile(m_dir / "engine2.dbc", std::string(kEngineDbc) + "BO_ 257 More: 1 E\n");
    EXPECT_TRUE(m.ChooseFile(L"engine2.dbc"));
    EXPECT_TRUE(m.Assign(0x100, L"Temp", 3));
    EXPECT_TRUE(m.Assign(0x100, L"Gear", -1));
    EXPECT_EQ(m.Signals()[1].appSignal, 3);
    return true;
  });
  d->CallSettingsDialog();
  EXPECT_EQ(modifications, 1);
  EXPECT_EQ(Signals(*d),
            (std::vector<std::pair<std::string, int>>{{"Speed", 1}, {"Temp", 3}, {"Gear", -1}}));
  EXPECT_EQ(ReadFile(m_dir / "decoders" / "DBC Decoder.txt"),
            "# canhost DBC decoder \"DBC Decoder\"\nfile = engine2.dbc\n"
            "assign 0x100 Gear = -1\nassign 0x100 Temp = 3\n");

  SetDbcSettingsResponder([](CDbcSettingsModel&) { return true; });  // OK without a change
  d->CallSettingsDialog();
  EXPECT_EQ(modifications, 1);
}

TEST_F(DbcDecoderTest, DecodingGoesOnWhileTheFileIsSwapped) {
  auto d = Make();
  ASSERT_TRUE(d->SetFileName(L"engine.dbc"));
  WriteFile(m_dir / "other.dbc", "BO_ 256 E: 8 X\n SG_ Only : 0|8@1+ (1,0) [0|0] \"\" X\n");
  std::atomic<bool> stop{false};
  std::atomic<int> decoded{0};
  auto quiet = std::make_unique<CDbcDecoder>(L"DBC Decoder", [&](int, int, double, int) {});
  ASSERT_TRUE(quiet->SetFileName(L"engine.dbc"));
  std::thread worker([&] {
    const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    while (!stop.load())
      decoded += quiet->DecodeFrame(0x100, data, 8, 1) > 0 ? 1 : 0;
  });
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(quiet->SetFileName(i % 2 ? L"engine.dbc" : L"other.dbc"));
  ASSERT_TRUE(testing_support::WaitFor([&] { return decoded.load() > 100; }));
  stop = true;
  worker.join();
}

}  // namespace
