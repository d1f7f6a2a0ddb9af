#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "frame/CSharpInit.h"
#include "host/csharp/XeCSharpRuntime.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

const std::wstring kInitError = L"CSharpInit: Init(): Error initializing C# application base";

// The started flag is process-wide and never cleared, so each start runs in a fresh child process
// (re-executed, not forked) that exits 0 when every check held, else names the failed check. The
// child runs nothing else, so its exit races with no thread.
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::exit(1);  // NOLINT(concurrency-mt-unsafe)
}

void TwoGuardsInFolder(const std::filesystem::path& folder, bool expectStarted) {
  host::SetSettingsFolder(folder);
  host::CaptureLog log;
  { CSharpInit first; }
  CSharpInit second;
  second.StoreSettings();
  const auto counts = XeCSharpRuntime::GetCallCounts();
  Check(counts.registerCalls == 1, "RegisterOnUiMessageCb called once");
  Check(counts.initCalls == 1, "InitApplication called once");
  Check(counts.storeCalls == 1, "StoreSettings reaches StoreSettingsToMedium");
  const auto lines = log.lines();
  Check(!lines.empty(), "the start is logged");
  if (expectStarted) {
    Check(log.count(kInitError) == 0, "no error line after a successful start");
    Check(lines[0].category == 16 && lines[0].text.ends_with(L"Pellam\n"),
          "the managed side's message arrives through OnUiMessage");
    Check(std::filesystem::exists(XeCSharpRuntime::MediumFile(folder.wstring())),
          "the medium is stored");
  } else {
    Check(log.count(kInitError) == 1, "the error line is logged once");
    Check(lines.back().text == kInitError && lines.back().category == 1 && lines.back().style == 3,
          "error line with category 1 and style 3");
  }
  std::exit(0);  // NOLINT(concurrency-mt-unsafe)
}

class CSharpInitProcess : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  testing_support::TempDir m_dir;
};

TEST_F(CSharpInitProcess, StartsTheRuntimeOncePerProcessAndNeverRetriesAFailedStart) {
  EXPECT_EXIT(TwoGuardsInFolder(m_dir.path(), true), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(TwoGuardsInFolder(m_dir / "missing", false), ::testing::ExitedWithCode(0), "");
}

TEST(CSharpInit, UiMessagesBecomeLogLinesOfCategory16WithTheirStyle) {
  host::CaptureLog log;
  CSharpInit::OnUiMessage(L"abc", 2);
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, L"abc\n");
  EXPECT_EQ(lines[0].category, 16);
  EXPECT_EQ(lines[0].style, 2);
}

}  // namespace
