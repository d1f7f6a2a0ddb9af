#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "frame/CSharpInit.h"
#include "host/csharp/XeCSharpRuntime.h"
#include "host/mfc/CString.h"
#include "host/services/Host.h"
#include "host/settings/CResourceSea.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

const std::wstring kInitError = L"CSharpInit: Init(): Error initializing C# application base";

// The medium's entries as the managed side stored them; empty when there is no medium.
std::wstring StoredUser(const std::filesystem::path& folder) {
  CResourceSea stored(L"check", XeCSharpRuntime::MediumFile(folder.wstring()));
  if (!std::filesystem::exists(stored.File()) || !stored.Load()) return {};
  const CResourceEntry* user = stored.FindEntry(L"User");
  return user ? user->GetStringFb(0, L"").str() : std::wstring();
}

// Each test case has a host of its own, so each sees the first start of its host.
TEST(CSharpInit, StartsTheRuntimeOncePerHostAndStoresItsSettings) {
  testing_support::TempDir dir;
  host::SetSettingsFolder(dir.path());
  host::CaptureLog log;
  { CSharpInit first; }
  CSharpInit second;  // started already: a second start would log its message again
  second.StoreSettings();
  EXPECT_EQ(StoredUser(dir.path()), L"Pellam");
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].category, 16);
  EXPECT_TRUE(lines[0].text.ends_with(L"Pellam\n")) << mfc::NarrowUtf8(lines[0].text);
  EXPECT_EQ(log.count(kInitError), 0u);
}

TEST(CSharpInit, AFailedStartIsLoggedOnceAndNeverRetriedInTheHost) {
  testing_support::TempDir dir;
  host::SetSettingsFolder(dir / "missing");
  host::CaptureLog log;
  { CSharpInit first; }
  std::filesystem::create_directory(dir / "missing");
  CSharpInit second;  // the folder is there now, but the host tried already
  second.StoreSettings();
  EXPECT_EQ(StoredUser(dir / "missing"), L"");
  EXPECT_EQ(log.count(kInitError), 1u);
  const auto lines = log.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().text, kInitError);
  EXPECT_EQ(lines.back().category, 1);
  EXPECT_EQ(lines.back().style, 3);
  {
    host::ScopedHost another;  // a host of its own starts its runtime
    host::SetSettingsFolder(dir / "missing");
    CSharpInit third;
    third.StoreSettings();
  }
  EXPECT_EQ(StoredUser(dir / "missing"), L"Pellam");
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
