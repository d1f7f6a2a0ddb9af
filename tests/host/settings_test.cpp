#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/FileIO.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using Parts = std::vector<std::wstring>;

// Every test starts from its own empty settings folder, in its own host.
class Settings : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSettingsFolder(m_dir.path()); }
  std::size_t FilesInFolder() const {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(m_dir.path()), {}));
  }
  testing_support::TempDir m_dir;
};

TEST_F(Settings, EntryPartsAreTypedTextWithFallbacksAndAppend) {
  CResourceSea& sea = *CSeaBase::ApplicationSea();
  EXPECT_EQ(sea.FindEntry(L"P"), nullptr);
  CResourceEntry* entry = nullptr;
  CResourceEntry* again = nullptr;
  EXPECT_EQ(sea.LookupEntry(entry, 0, L"P", 0), lookup::notFound);
  EXPECT_EQ(sea.LookupEntry(entry, 2, L"P", 0), lookup::created);
  EXPECT_EQ(sea.LookupEntry(again, 2, L"P", 0), lookup::found);
  EXPECT_EQ(again, entry);

  EXPECT_EQ(entry->EintragText(0), nullptr);
  entry->SetInt(-5, 0);
  entry->SetBool(true, 1);
  entry->WertNeuSetzen(L"x", 2);  // index == count appends
  entry->SetText(L"far", 5);      // gap filled with empty parts
  EXPECT_EQ(entry->GetParts(), (Parts{L"-5", L"1", L"x", L"", L"", L"far"}));
  EXPECT_EQ(entry->GetValueCount(), 6u);
  EXPECT_EQ(entry->EintragText(6), nullptr);
  EXPECT_EQ(sea.LookupGetInt(L"P", 0, 9), -5);
  EXPECT_EQ(sea.LookupGetInt(L"absent", 0, 9), 9);
  EXPECT_TRUE(entry->GetBoolFb(1, false));
  EXPECT_EQ(entry->GetStringFb(9, L"fb"), L"fb");

  // The typed reading examples of the entry's header.
  const std::vector<std::pair<std::wstring, int>> ints = {
      {L"42", 42}, {L" -7 ", -7}, {L"+3", 3}, {L"", 9}, {L"12abc", 9}, {L"99999999999", 9}};
  for (const auto& [text, value] : ints) {
    entry->SetText(text, 0);
    EXPECT_EQ(entry->GetIntFb(0, 9), value) << text;
  }

  entry->SetSeaLine(L"0 1073741823 1");
  CString line;
  EXPECT_TRUE(entry->GetLineValuePart(line));
  EXPECT_EQ(line, L"0 1073741823 1");
  EXPECT_EQ(entry->GetValueCount(), 1u);

  // Entries are nodes: after many more entries the pointer still addresses the same entry.
  for (int i = 0; i < 1000; ++i)
    sea.LookupEntry(again, 2, L"E" + std::to_wstring(i), 0);
  EXPECT_EQ(sea.FindEntry(L"P"), entry);
  EXPECT_EQ(entry->GetStringFb(0, L""), L"0 1073741823 1");
}

TEST_F(Settings, ListsWalkInOrderAndRewriteOnlyThroughWritableCursor) {
  EXPECT_EQ(CSeaBase::Sea(0), CSeaBase::ApplicationSea());
  CResourceList reader(static_cast<const CResourceSea&>(*CSeaBase::Sea(0)), L"R-1");
  EXPECT_NE(reader.Status(), 1);
  EXPECT_FALSE(reader.GotoHead());
  EXPECT_EQ(reader.AddLineTail(), nullptr);

  CResourceList writer(CSeaBase::ApplicationSea(), L"R-1");
  for (const wchar_t* text : {L"a", L"b", L"c"})
    writer.AddLineTail()->SetText(text, 0);
  EXPECT_EQ(reader.Status(), 1);
  Parts seen;
  for (reader.GotoHead(); reader.IsValid(); reader.GotoNext())
    seen.push_back(reader.GetCurrentLine()->GetStringFb(0, L"?").str());
  EXPECT_EQ(seen, (Parts{L"a", L"b", L"c"}));
  EXPECT_EQ(reader.GetCurrentLine(), nullptr);

  reader.RemoveAll();  // read-only: ignored
  EXPECT_EQ(writer.GetCount(), 3u);
  writer.RemoveAll();
  EXPECT_EQ(writer.GetCount(), 0u);
  EXPECT_EQ(writer.Status(), 1);  // an emptied list still exists
}

TEST_F(Settings, HostileTextsSurviveSaveAndReloadByteForByte) {
  const Parts hostile = {L"",
                         L" lead and trail ",
                         L"a,b;c=d",
                         L"\"quoted\" 'single'",
                         L"back\\slash\\",
                         L"\\n literally",
                         L"line\nbreak\r\nCRLF",
                         L"\ttab\t",
                         L"\u00fc\u00df\u20ac\U0001F600",
                         L"# not a comment",
                         L"entry \"x\" = \"y\"",
                         std::wstring(L"nul\0in", 6),
                         L"\u0085\u007f",
                         std::wstring(1, static_cast<wchar_t>(0xD800)),
                         std::wstring(1, static_cast<wchar_t>(0x110000))};
  CResourceSea& sea = *CSeaBase::MessagesSea();
  CResourceEntry* entry = nullptr;
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    sea.LookupEntry(entry, 2, hostile[i] + L"#" + std::to_wstring(i), 0);
    for (std::size_t p = 0; p < hostile.size(); ++p)
      entry->SetText(hostile[(i + p) % hostile.size()], p);
  }
  sea.LookupEntry(entry, 2, L"no parts", 0);
  const std::wstring listName = L"list \"with\" \n odd name";
  CResourceList list(sea, listName);
  for (const auto& text : hostile)
    list.AddLineTail()->SetText(text, 0);
  list.AddLineTail();  // a line without parts
  CResourceList(sea, L"empty list").AddLineTail();
  CResourceList(sea, L"empty list").RemoveAll();
  const host::SeaContent before = sea.Content();
  CSeaBase::ApplicationSea();  // loaded but unchanged

  EXPECT_EQ(FilesInFolder(), 0u);  // saving is explicit
  ASSERT_TRUE(CSeaBase::SaveAll());
  EXPECT_EQ(FilesInFolder(), 1u);  // only the changed sea, no temporary file left behind
  const std::string file = ReadFile(CSeaBase::SeaFile(CSeaBase::seaMessages));
  CSeaBase::ReloadAll();
  EXPECT_FALSE(CSeaBase::MessagesSea()->LoadError());
  EXPECT_TRUE(CSeaBase::MessagesSea()->Content() == before);

  // The reloaded sea writes the identical file again.
  CResourceList reloaded(CSeaBase::MessagesSea(), listName);
  reloaded.GotoHead();
  reloaded.GetCurrentLine()->SetText(hostile[0], 0);  // same text, but the sea counts as changed
  std::filesystem::remove(CSeaBase::SeaFile(CSeaBase::seaMessages));
  ASSERT_TRUE(CSeaBase::SaveAll());
  EXPECT_EQ(ReadFile(CSeaBase::SeaFile(CSeaBase::seaMessages)), file);
}

TEST_F(Settings, GarbledFileIsRefusedAndNeverOverwritten) {
  const auto path = CSeaBase::SeaFile(CSeaBase::seaApplication);
  const std::string garbled = "entry \"A\" = \"8\"\nlist \"CAN-Sources\"\nline \"bus\", 1\n";
  testing_support::WriteFile(path, garbled);
  host::CaptureLog log;
  CResourceSea& sea = *CSeaBase::ApplicationSea();
  const auto error = sea.LoadError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->file, path);
  EXPECT_EQ(error->line, 3u);
  ASSERT_EQ(log.count_containing(path.wstring() + L":3:"), 1u);
  EXPECT_EQ(log.lines()[0].category, 1);
  EXPECT_EQ(log.lines()[0].style, 3);
  EXPECT_EQ(sea.FindEntry(L"A"), nullptr);  // works from empty

  CResourceEntry* entry = nullptr;
  sea.LookupEntry(entry, 2, L"A", 0);
  entry->SetInt(1, 0);
  log.clear();
  EXPECT_FALSE(CSeaBase::SaveAll());
  EXPECT_FALSE(CSeaBase::SaveAll());
  EXPECT_EQ(ReadFile(path), garbled);
  EXPECT_EQ(log.count_containing(L"left untouched"), 2u);
  EXPECT_EQ(FilesInFolder(), 1u);
}

// Meant for ThreadSanitizer: two threads share one sea through its entries and lists.
TEST_F(Settings, UiAndProcessingThreadsShareASea) {
  CResourceSea& sea = *CSeaBase::MessagesSea();
  CResourceEntry* flag = nullptr;
  sea.LookupEntry(flag, 2, L"WavPlaybackRunning", 0);
  std::thread processing([&] {
    for (int i = 0; i < 2000; ++i)
      flag->GetBoolFb(0, sea.LookupGetInt(L"Counter", 0, 0) > 0);
  });
  for (int i = 0; i < 2000; ++i) {
    flag->SetBool(i % 2 == 0, 0);
    CResourceEntry* counter = nullptr;
    sea.LookupEntry(counter, 2, L"Counter", 0);
    counter->SetInt(i, 0);
    CResourceList(sea, L"L").AddLineTail();
  }
  processing.join();
  EXPECT_EQ(sea.LookupGetInt(L"Counter", 0, 0), 1999);
  EXPECT_EQ(CResourceList(sea, L"L").GetCount(), 2000u);
}

// A sea kept behind a link (a settings folder shared between machines, a dotfiles repository) is
// saved into the link's target with the target's mode; the link stays.
TEST_F(Settings, SaveThroughALinkKeepsTheLinkAndTheMode) {
  namespace fs = std::filesystem;
  const auto path = CSeaBase::SeaFile(CSeaBase::seaApplication);
  testing_support::TempDir elsewhere;
  testing_support::WriteFile(elsewhere / "Application.sea", "entry \"A\" = \"1\"\n");
  fs::permissions(elsewhere / "Application.sea", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(elsewhere / "Application.sea", path);
  CResourceEntry* entry = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(entry, 2, L"A", 0);
  entry->SetInt(2, 0);
  ASSERT_TRUE(CSeaBase::SaveAll());
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_NE(ReadFile(elsewhere / "Application.sea").find("entry \"A\" = \"2\""), std::string::npos);
  EXPECT_EQ(fs::status(elsewhere / "Application.sea").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), {}), 1);
}

// What the host reads whole is a regular file of bounded size: a FIFO, a device or a folder is
// refused by name and kind before it could block or fill the memory.
TEST(FileIO, OnlyRegularFilesUpToTheLimitAreRead) {
  testing_support::TempDir dir;
  std::wstring error;
  testing_support::WriteFile(dir / "small", "12345");
  ASSERT_EQ(FileIO::ReadWholeFile(dir / "small", error, 5), "12345");
  EXPECT_FALSE(FileIO::ReadWholeFile(dir / "small", error, 4));
  EXPECT_EQ(error,
            (dir / "small").wstring() + L": 5 bytes, more than the 4 bytes such a file may have");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(FileIO::ReadWholeFile(dir / "fifo", error));
  EXPECT_EQ(error, (dir / "fifo").wstring() + L": is a FIFO, not a regular file");
  std::string narrow;
  EXPECT_FALSE(FileIO::CheckInputFile(dir / "fifo", 0, narrow));
  EXPECT_EQ(narrow, (dir / "fifo").string() + ": is a FIFO, not a regular file");
  EXPECT_FALSE(FileIO::CheckInputFile(dir.path(), 0, narrow));
  EXPECT_EQ(narrow, dir.path().string() + ": is a folder, not a file");
  // A sparse file of 10 GB is refused by its size, not read.
  { std::ofstream big(dir / "big"); }
  std::filesystem::resize_file(dir / "big", std::uintmax_t{10} << 30);
  EXPECT_FALSE(FileIO::ReadWholeFile(dir / "big", error));
  EXPECT_EQ(error, (dir / "big").wstring() +
                       L": 10737418240 bytes, more than the 16 MiB such a file may have");
  EXPECT_TRUE(FileIO::CheckInputFile(dir / "big", 0, narrow));
}

TEST(FileIO, MakePathAbsoluteExamples) {
  EXPECT_EQ(FileIO::makePathAbsolute(L"dbc/a.xml", L"/s"), L"/s/dbc/a.xml");
  EXPECT_EQ(FileIO::makePathAbsolute(L"../b.xml", L"/s/x"), L"/s/b.xml");
  EXPECT_EQ(FileIO::makePathAbsolute(L"/abs/c.xml", L"/s"), L"/abs/c.xml");
}

}  // namespace
