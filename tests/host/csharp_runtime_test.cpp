#include <gtest/gtest.h>

#include "host/csharp/XeCSharpRuntime.h"
#include "host/settings/CResourceSea.h"
#include "tests/support/TestSupport.h"

namespace {

struct Message {
  std::wstring text;
  int style;
};

TEST(XeCSharpRuntime, StartsOnlyInAnExistingFolderAndStoresItsMediumAtomically) {
  std::vector<Message> messages;
  XeCSharpRuntime::RegisterOnUiMessageCb([&](const std::wstring& text, int style) {
    messages.push_back({text, style});
  });
  testing_support::TempDir dir;

  EXPECT_FALSE(XeCSharpRuntime::InitApplication((dir / "missing").wstring(), L"QX_CAN", L"Pellam"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].style, 3);
  EXPECT_FALSE(XeCSharpRuntime::StoreSettingsToMedium());  // not started

  ASSERT_TRUE(XeCSharpRuntime::InitApplication(dir.path().wstring(), L"QX_CAN", L"Pellam"));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, L"XeCSharpRuntime: application QX_CAN started for user Pellam");
  const auto medium = XeCSharpRuntime::MediumFile(dir.path().wstring());
  EXPECT_FALSE(std::filesystem::exists(medium));  // written only when asked
  ASSERT_TRUE(XeCSharpRuntime::StoreSettingsToMedium());

  CResourceSea stored(L"check", medium);
  ASSERT_TRUE(stored.Load());
  EXPECT_EQ(stored.FindEntry(L"Application")->GetStringFb(0, L""), L"QX_CAN");
  EXPECT_EQ(stored.FindEntry(L"User")->GetStringFb(0, L""), L"Pellam");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
