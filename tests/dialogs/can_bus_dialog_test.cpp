// The "CAN-Bus" dialog driven through the control model as a person would: the table it shows,
// and what Apply makes of the module's sources and the stored settings.
#include <gtest/gtest.h>

#include "dialogs/CCanSourceDlg.h"
#include "dialogs/DialogResources.h"
#include "frame/ConstantTables.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/mfc/Win.h"
#include "host/ui/CDataExchange.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

enum Column { kActive, kType, kName, kChannel, kFd, kBitrate, kFdData, kSettings };

class CanBusDialog : public ModuleRig {
 protected:
  CanBusDialog() {
    Attach();  // as in the host: the module has its container before anyone opens its dialog
    mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      m_boxes.push_back(text);
      return IDOK;
    });
  }

  CCanSourceDlg& Dlg() { return m_dlg; }
  CXListCtrl& List() { return Dlg().m_list; }
  int IdOfRow(int row) { return static_cast<int>(List().GetItemData64(row)); }
  std::map<int, CCanSource*> SourcesNow() {
    std::map<int, CCanSource*> byId;
    for (CCanSource* source : m_module.sources())
      byId.emplace(source->id(), source);
    return byId;
  }

  std::vector<CString> m_boxes;
  CCanSourceDlg m_dlg{m_module};
};

// Channels... opens the host's window of the driver's channels, on the settings folder's file.
TEST_F(CanBusDialog, ChannelsOpensTheDriversChannelWindow) {
  int shown = 0;
  XeCanDriverKvaser::SetChannelSettingsResponder([&](XeCanDriverKvaser::DriverConfigModel& m) {
    ++shown;
    EXPECT_EQ(m.Path().filename(), "candriver.conf");
    return false;
  });
  Dlg().ShowDialog();
  EXPECT_FALSE(Dlg().GetDlgItem(can::IDC_CHANNELS)->ToolTip().IsEmpty());
  EXPECT_TRUE(Dlg().ClickButton(can::IDC_CHANNELS));
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(Dlg().IsOpen());
}

TEST_F(CanBusDialog, ShowsOneRowPerSourceWithItsValues) {
  Add(1, true, L"body");
  m_module.create(0, L"fd", 2, true, BITRATE_500K, FD_ARBITRATION_1M, FD_DATA_4M, false);
  Dlg().ShowDialog();
  ASSERT_TRUE(Dlg().IsOpen());
  EXPECT_EQ(Dlg().Title(), L"CAN-Bus");
  ASSERT_EQ(List().GetItemCount(), 2);
  EXPECT_EQ(List().Columns()[kFdData].title, L"FD Datarate");
  for (const ui::ListColumn& column : List().Columns())  // each column says what it means
    EXPECT_FALSE(column.tip.IsEmpty()) << column.title.ToUtf8();
  EXPECT_NE(Dlg().GetDlgItem(2009)->ToolTip().Find(L"125"), -1);
  EXPECT_EQ(List().GetItemCheckedState(0, kActive), 1);
  EXPECT_EQ(List().GetItemText(0, kType), L"Standard CAN Source");
  EXPECT_EQ(List().GetItemText(0, kName), L"body");
  EXPECT_EQ(List().GetItemText(0, kChannel), L"1");
  EXPECT_EQ(List().GetItemText(0, kBitrate), L"500k");
  EXPECT_EQ(List().GetItemText(1, kBitrate), L"1M");  // FD: the arbitration labels
  EXPECT_EQ(List().Cell(1, kBitrate)->labels.size(), 2u);
  EXPECT_EQ(List().GetItemText(1, kFdData), L"4M");
  EXPECT_EQ(List().Cell(0, kSettings)->kind, ui::CellKind::Link);
  EXPECT_FALSE(Dlg().GetDlgItem(1003)->IsWindowEnabled());  // nothing selected: no Remove
  List().Click(0, kName);
  EXPECT_TRUE(Dlg().GetDlgItem(1003)->IsWindowEnabled());
  // Showing again only raises the window.
  Dlg().ShowDialog();
  EXPECT_EQ(Dlg().RaiseCount(), 1);
  // The link opens the source's own dialog (the plug-in's window for standard sources).
  List().Click(0, kSettings);
  EXPECT_EQ(m_log.count_containing(L"no dialog template"), 0u);
}

TEST_F(CanBusDialog, ApplyKeepsRenamedSourcesAndRebuildsChangedOnes) {
  CCanSource* a = Add(1, true, L"a");
  CCanSource* b = Add(2, true, L"b");
  CCanSource* c = Add(3, true, L"c");
  Dlg().ShowDialog();
  const int idA = IdOfRow(0), idB = IdOfRow(1);
  List().EditCell(0, kName, L"renamed");
  List().Click(0, kActive);            // a: inactive, same source
  List().EditCell(1, kChannel, L"5");  // b: another channel, a new source
  List().ChooseCombo(2, kFdData, 3);   // c: classic, the FD data rate does not matter
  Dlg().ClickButton(ID_APPLY_NOW);
  const auto now = SourcesNow();
  ASSERT_EQ(now.size(), 3u);
  EXPECT_EQ(now.at(idA), a);
  EXPECT_EQ(a->name(), L"renamed");
  EXPECT_FALSE(a->active());
  EXPECT_EQ(now.count(idB), 0u);
  EXPECT_EQ(std::count_if(now.begin(), now.end(), [&](auto& p) { return p.second == c; }), 1);
  (void)b;
  const CCanSource* rebuilt = now.rbegin()->second;  // the newest id
  EXPECT_EQ(rebuilt->bus_channel(), 5);
  EXPECT_EQ(rebuilt->name(), L"b");
  // The table is refilled: every row carries its source's id.
  for (int row = 0; row < List().GetItemCount(); ++row)
    EXPECT_EQ(now.count(IdOfRow(row)), 1u);
}

TEST_F(CanBusDialog, ANewRowTakesTheNextFreeChannelAt500k) {
  Add(0);
  Add(2);
  Dlg().ShowDialog();
  Dlg().ClickButton(1002);
  EXPECT_EQ(List().GetItemText(2, kChannel), L"1");
  EXPECT_EQ(List()
                .Cell(2, kBitrate)
                ->labels[static_cast<std::size_t>(List().GetComboCurSel(2, kBitrate))],
            L"500k");
  List().EditCell(0, kChannel, L"7");  // what the table says now counts, applied or not
  Dlg().ClickButton(1002);
  EXPECT_EQ(List().GetItemText(3, kChannel), L"0");
  Dlg().ClickButton(1002);
  EXPECT_EQ(List().GetItemText(4, kChannel), L"3");
  List().Click(4, kFd);  // FD on and off again: 500k both ways
  EXPECT_EQ(List().GetComboCurSel(4, kBitrate), 0);
  List().Click(4, kFd);
  EXPECT_EQ(List().GetComboCurSel(4, kBitrate), 7);
}

TEST_F(CanBusDialog, AddApplyCreatesTheDefaultSourceAndFdSwitchesTheRateLabels) {
  Dlg().ShowDialog();
  Dlg().ClickButton(1002);
  ASSERT_EQ(List().GetItemCount(), 1);
  EXPECT_EQ(IdOfRow(0), -1);
  EXPECT_EQ(List().GetItemText(0, kName), L"<unnamed>");
  Dlg().ClickButton(1002);
  List().Click(1, kFd);  // FD on: column 5 offers the arbitration labels
  EXPECT_EQ(List().Cell(1, kBitrate)->labels.size(), can::kFdArbitrationRates.size());
  List().ChooseCombo(1, kBitrate, 1);
  List().EditCell(1, kChannel, L"3");
  Dlg().ClickButton(ID_APPLY_NOW);
  ASSERT_EQ(SourcesNow().size(), 2u);
  const CCanSource* plain = SourcesNow().begin()->second;
  const CCanSource* fd = SourcesNow().rbegin()->second;
  EXPECT_EQ(plain->bus_channel(), 0);  // the first free channel
  EXPECT_FALSE(plain->active());
  EXPECT_EQ(plain->bitrate(), BITRATE_500K);
  EXPECT_EQ(plain->fd_data(), FD_DATA_2M);
  EXPECT_TRUE(fd->fd());
  EXPECT_EQ(fd->fd_arbitration(), can::kFdArbitrationRates[1].code);
  EXPECT_EQ(fd->bitrate(), can::kBitrates[1].code);  // same position in the classic table
  EXPECT_EQ(IdOfRow(0), SourcesNow().begin()->first);
}

TEST_F(CanBusDialog, RemovingRowsAndApplyingRemovesTheSourcesAndStoresTheDelay) {
  Add(1);
  Add(2);
  Add(3, true, L"kept");
  Dlg().ShowDialog();
  List().Click(0, kName);
  List().Click(1, kName, true);
  Dlg().ClickButton(1003);
  EXPECT_EQ(List().GetItemCount(), 1);
  EXPECT_FALSE(Dlg().GetDlgItem(1003)->IsWindowEnabled());
  EXPECT_EQ(SourcesNow().size(), 3u);  // not before Apply
  Dlg().TypeText(2009, L"-24");
  Dlg().ClickButton(IDOK);
  EXPECT_FALSE(Dlg().IsOpen());
  ASSERT_EQ(SourcesNow().size(), 1u);
  EXPECT_EQ(SourcesNow().begin()->second->name(), L"kept");
  EXPECT_EQ(m_module.delay(), -24);
  m_module.write_params();
  CCanSourceModule other;
  other.Create(L"CAN", nullptr);
  other.read_params();
  EXPECT_EQ(other.delay(), -24);
  ASSERT_EQ(other.sources().size(), 1u);
  other.remove_source(other.sources().front());
  // Every row removed: every source goes.
  Dlg().ShowDialog();
  List().Click(0, kName);
  Dlg().ClickButton(1003);
  Dlg().ClickButton(ID_APPLY_NOW);
  EXPECT_TRUE(SourcesNow().empty());
}

// OK after a refused channel: the rows above it are applied, the window stays open with the refused
// row and the rows below it as typed, so that nothing typed is lost.
TEST_F(CanBusDialog, OkStopsAtARefusedChannelAndKeepsTheLaterRowsAsTyped) {
  CCanSource* a = Add(1, true, L"a");
  Add(2, true, L"b");
  CCanSource* c = Add(3, true, L"c");
  Dlg().ShowDialog();
  List().EditCell(0, kName, L"first");
  List().EditCell(1, kChannel, L"");
  List().EditCell(2, kName, L"third");
  Dlg().ClickButton(IDOK);
  EXPECT_TRUE(Dlg().IsOpen());
  const CString why = L"Channel in row 2 is empty: give a channel number 0..255.";
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0], why +
                            L"\nThe rows above it were applied; this row and the rows below it "
                            L"were not, and they stay as typed.");
  EXPECT_EQ(List().GetCellMark(1, kChannel), why);
  EXPECT_EQ(a->name(), L"first");
  EXPECT_EQ(c->name(), L"c");
  EXPECT_EQ(List().GetItemText(2, kName), L"third");
  EXPECT_EQ(SourcesNow().size(), 3u);
  // Fixed, OK applies the rest and closes.
  List().EditCell(1, kChannel, L"5");
  EXPECT_TRUE(List().GetCellMark(1, kChannel).IsEmpty());
  Dlg().ClickButton(IDOK);
  EXPECT_FALSE(Dlg().IsOpen());
  EXPECT_EQ(c->name(), L"third");
  EXPECT_EQ(SourcesNow().rbegin()->second->bus_channel(), 5);
}

TEST_F(CanBusDialog, InputIsCheckedAsItIsTypedAndARefusedDelayKeepsTheWindowOpen) {
  Add(1, true, L"a");
  Dlg().ShowDialog();
  for (const wchar_t* refused : {L"300", L"256", L"abc", L"-1", L"7FF", L"1.5"})
    EXPECT_FALSE(List().EditCell(0, kChannel, refused)) << CString(refused).ToUtf8();
  EXPECT_TRUE(List().EditCell(0, kChannel, L"255"));
  EXPECT_FALSE(Dlg().TypeText(can::IDC_DELAY, L"soon"));
  EXPECT_FALSE(Dlg().TypeText(can::IDC_DELAY, L"1-"));
  // A lone minus sign is on the way to a negative delay; Apply refuses it with the framework's
  // message and marks the field; the table is applied all the same, and OK does not close.
  EXPECT_TRUE(Dlg().TypeText(can::IDC_DELAY, L"-"));
  Dlg().ClickButton(IDOK);
  EXPECT_TRUE(Dlg().IsOpen());
  EXPECT_EQ(m_boxes, std::vector<CString>{kParseIntMessage});
  EXPECT_EQ(Dlg().GetDlgItem(can::IDC_DELAY)->Error(), CString(kParseIntMessage));
  EXPECT_EQ(SourcesNow().begin()->second->bus_channel(), 255);
  EXPECT_EQ(m_module.delay(), 0);
  Dlg().TypeText(can::IDC_DELAY, L"-8");
  EXPECT_TRUE(Dlg().GetDlgItem(can::IDC_DELAY)->Error().IsEmpty());
  // A new row's channel left empty is refused with what to give.
  Dlg().ClickButton(1002);
  List().EditCell(1, kChannel, L"");
  Dlg().ClickButton(IDOK);
  EXPECT_TRUE(Dlg().IsOpen());
  EXPECT_EQ(List().GetCellMark(1, kChannel),
            L"Channel in row 2 is empty: give a channel number 0..255.");
  List().EditCell(1, kChannel, L"4");
  Dlg().ClickButton(IDOK);
  EXPECT_FALSE(Dlg().IsOpen());
  EXPECT_EQ(m_module.delay(), -8);
  EXPECT_EQ(SourcesNow().size(), 2u);
}

TEST_F(CanBusDialog, EscapeIsCancelAndReturnIsOk) {
  Add(1, true, L"a");
  Dlg().ShowDialog();
  List().EditCell(0, kName, L"escaped");
  Dlg().TypeText(2009, L"12");
  EXPECT_TRUE(Dlg().PressKey(VK_ESCAPE));
  EXPECT_FALSE(Dlg().IsOpen());
  EXPECT_EQ(SourcesNow().begin()->second->name(), L"a");
  EXPECT_EQ(m_module.delay(), 0);
  Dlg().ShowDialog();  // reopens: Cancel cleared its open state
  ASSERT_TRUE(Dlg().IsOpen());
  List().EditCell(0, kName, L"returned");
  EXPECT_TRUE(Dlg().PressKey(VK_RETURN));
  EXPECT_FALSE(Dlg().IsOpen());
  EXPECT_EQ(SourcesNow().begin()->second->name(), L"returned");
}

TEST_F(CanBusDialog, OkAndApplyStayDisabledWhileAudioSourcesRun) {
  Add(1);
  m_module.on_start_audio_sources(L"", nullptr);
  Dlg().ShowDialog();
  EXPECT_FALSE(Dlg().ClickButton(ID_APPLY_NOW));
  EXPECT_FALSE(Dlg().ClickButton(IDOK));
  EXPECT_FALSE(Dlg().PressKey(VK_RETURN));  // Return is OK, locked too
  EXPECT_TRUE(Dlg().IsOpen());
  EXPECT_EQ(Dlg().GetDlgItem(IDOK)->ToolTip(), CString(can::kLockedWhileMeasuring));
  EXPECT_TRUE(List().EditCell(0, kName, L"still editable"));
  m_module.on_stop_audio_sources(L"", nullptr);
  Dlg().refresh();  // what the module does for the window it owns
  EXPECT_TRUE(Dlg().ClickButton(ID_APPLY_NOW));
  EXPECT_EQ(SourcesNow().begin()->second->name(), L"still editable");
  m_module.on_start_audio_sources(L"", nullptr);
  EXPECT_TRUE(Dlg().ClickButton(IDCANCEL));
  EXPECT_FALSE(Dlg().IsOpen());
}

}  // namespace
}  // namespace plugin_test
