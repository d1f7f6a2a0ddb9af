// The "CAN Standard Source" dialog driven through the control model: the range table as the
// person edits it, what OK and Apply give the source, and the live traffic view.
#include <gtest/gtest.h>

#include "dialogs/CCanStandardSrcDlg.h"
#include "dialogs/DialogResources.h"
#include "dialogs/IdText.h"
#include "host/mfc/Win.h"
#include "host/settings/CSeaBase.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/PluginRig.h"

namespace plugin_test {
namespace {

enum RangeColumn { kStart, kStop, kActive, kBar };

class StandardSourceDialog : public PluginRig {
 protected:
  StandardSourceDialog()
      : m_source(nullptr, 0, L"S", 0, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M) {
    m_source.set_active(true);
    mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      m_boxes.push_back(text);
      return IDOK;
    });
  }

  CCanStandardSrcDlg& Dlg() { return m_dlg; }
  CXListCtrl& Ranges() { return Dlg().m_rangeList; }
  std::vector<IdRange> SourceTable() {
    const IdRangeList table = m_source.ranges();
    return {table.begin(), table.end()};
  }
  std::vector<IdRange> Shown() {
    std::vector<IdRange> rows;
    rows.reserve(static_cast<std::size_t>(Ranges().GetItemCount()));
    for (int r = 0; r < Ranges().GetItemCount(); ++r)
      rows.push_back({can::ParseId(Ranges().GetItemText(r, kStart)).value,
                      can::ParseId(Ranges().GetItemText(r, kStop)).value,
                      Ranges().GetCheckbox(r, kActive) == 1});
    return rows;
  }
  void Receive(std::uint32_t id, int times) {
    CanMessage m = Message(id, {1});
    for (int i = 0; i < times; ++i)
      m_source.on_filtered_message(m);
  }

  CCanStandardSource m_source;
  std::vector<CString> m_boxes;
  CCanStandardSrcDlg m_dlg{m_source};
};

constexpr int kMax = kMaxCanId;

TEST_F(StandardSourceDialog, EditedRowsBecomeTheSourcesNormalisedTable) {
  Dlg().show();
  ASSERT_TRUE(Dlg().is_open());
  EXPECT_EQ(Dlg().Title(), L"CAN Standard Source");
  EXPECT_EQ(Shown(), (std::vector<IdRange>{{0, kMax, true}}));
  EXPECT_EQ(Ranges().Columns()[kStop].title, L"Stop ID");
  for (const CXListCtrl* list : {&Dlg().m_idList, &Ranges()})
    for (const ui::ListColumn& column : list->Columns())
      EXPECT_FALSE(column.tip.IsEmpty()) << column.title.ToUtf8();
  EXPECT_NE(Ranges().Columns()[kStart].tip.Find(L"0x7FF or 7FFh"), -1);
  Ranges().EditCell(0, kStart, L"10");
  Ranges().EditCell(0, kStop, L"14h");
  Ranges().Click(0, kActive);  // inactive
  Dlg().ClickButton(ID_APPLY_NOW);
  const std::vector<IdRange> expected{{0, 9, true}, {10, 20, false}, {21, kMax, true}};
  EXPECT_EQ(Shown(), expected);
  EXPECT_EQ(Ranges().GetItemText(1, kStart), L"0xA");
  EXPECT_EQ(Ranges().GetItemText(2, kStop), L"0x3FFFFFFF");
  EXPECT_EQ(SourceTable(), expected);
  EXPECT_EQ(Ranges().GetItemData64(1), 20);  // each row carries its stop ID
  Receive(15, 1);
  Receive(30, 1);
  m_source.fetch();
  ASSERT_EQ(m_source.batch().size(), 1u);  // the new table filters at once
  EXPECT_EQ(m_source.batch()[0].message.id, 30u);
}

TEST_F(StandardSourceDialog, ClicksBelowTheRowsAndKeysEditTheTable) {
  Dlg().show();
  Ranges().Click(-1, -1);  // below the last row: a default row
  Ranges().PressKey('N', true);
  EXPECT_EQ(Ranges().GetItemCount(), 3);
  Ranges().PressKey('N');  // without Ctrl: nothing
  EXPECT_EQ(Ranges().GetItemCount(), 3);
  Ranges().PressKey('A', true);
  EXPECT_EQ(Ranges().GetSelectedCount(), 3u);
  Ranges().PressKey(VK_DELETE);
  EXPECT_EQ(Ranges().GetItemCount(), 0);
  // Every row gone: Apply makes the default table.
  m_source.replace_ranges({{0, 99, false}, {100, kMax, true}});
  Dlg().ClickButton(IDOK);
  EXPECT_FALSE(Dlg().is_open());
  EXPECT_EQ(SourceTable(), (std::vector<IdRange>{{0, kMax, true}}));
}

TEST_F(StandardSourceDialog, ACellThatIsNoIdentifierIsRefusedAndMarkedAndChangesNothing) {
  m_source.replace_ranges({{0, 99, false}, {100, kMax, true}});
  Dlg().show();
  // A cell that reads neither as hex (0x7FF, 7FFh) nor decimal: OK says which cell and why, marks
  // it, and changes nothing.
  Ranges().EditCell(0, kStop, L"5");
  Ranges().EditCell(1, kStart, L"7FF");  // hex without 0x or h: not taken for 7
  Dlg().ClickButton(IDOK);
  EXPECT_TRUE(Dlg().is_open());
  const CString why =
      L"Start ID in row 2: '7FF' is not an identifier: write hex as 0x7FF or 7FFh, decimal as "
      L"2047.";
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0], why + L"\nThe table is unchanged.");
  EXPECT_EQ(Ranges().GetCellMark(1, kStart), why);
  EXPECT_EQ(Ranges().GetItemText(1, kStart), L"7FF");
  EXPECT_EQ(Ranges().GetItemText(0, kStop), L"5");
  EXPECT_EQ(SourceTable(), (std::vector<IdRange>{{0, 99, false}, {100, kMax, true}}));
  // Empty, or outside the identifier space: refused and marked the same way.
  for (const wchar_t* refused : {L"", L"abc", L"-5", L"0x40000000", L"4294967296"}) {
    Ranges().EditCell(1, kStart, refused);
    Dlg().ClickButton(ID_APPLY_NOW);
    EXPECT_FALSE(Ranges().GetCellMark(1, kStart).IsEmpty()) << CString(refused).ToUtf8();
  }
  EXPECT_EQ(SourceTable(), (std::vector<IdRange>{{0, 99, false}, {100, kMax, true}}));
  // Typing in the cell takes the mark away; Cancel loses the edits.
  Ranges().EditCell(1, kStart, L"6");
  EXPECT_TRUE(Ranges().GetCellMark(1, kStart).IsEmpty());
  Dlg().ClickButton(IDCANCEL);
  Dlg().show();
  EXPECT_EQ(Shown(), (std::vector<IdRange>{{0, 99, false}, {100, kMax, true}}));
}

TEST_F(StandardSourceDialog, RefreshShowsTheRateAndTheSharesOfIdsAndRanges) {
  m_source.replace_ranges({{0, 20, true}, {21, kMax, false}});
  Dlg().show();
  Receive(10, 50);
  Receive(20, 30);  // equal to the first range's stop ID: counts toward it
  Receive(30, 20);
  m_clock.advance_ms(500);
  m_source.fetch();  // the processing thread publishes what the window shows
  Dlg().refresh();
  EXPECT_EQ(Dlg().rate_text(), L"200");
  ASSERT_EQ(Dlg().m_idList.GetItemCount(), 3);
  EXPECT_EQ(Dlg().m_idList.GetItemText(2, 0), L"0x1E");  // 30 in hex
  EXPECT_EQ(Dlg().m_idList.GetProgress(0, 1), 50);
  EXPECT_EQ(Dlg().m_idList.GetProgress(1, 1), 30);
  EXPECT_EQ(Dlg().m_idList.GetProgress(2, 1), 20);
  EXPECT_EQ(Ranges().GetProgress(0, kBar), 80);
  EXPECT_EQ(Ranges().GetProgress(1, kBar), 20);
  // A new ID between known ones takes its row in order; the counts restarted.
  m_source.fetch();  // the next frame takes up the restart the refresh asked for
  Receive(15, 10);
  m_source.fetch();
  Dlg().refresh();  // same millisecond: no rate
  EXPECT_EQ(Dlg().rate_text(), L"");
  ASSERT_EQ(Dlg().m_idList.GetItemCount(), 4);
  EXPECT_EQ(Dlg().m_idList.GetItemData64(1), 15);
  EXPECT_EQ(Dlg().m_idList.GetProgress(1, 1), 100);
  EXPECT_EQ(Dlg().m_idList.GetProgress(0, 1), 0);
}

TEST_F(StandardSourceDialog, DecimalIdsIsAViewSettingKeptAcrossWindows) {
  m_source.replace_ranges({{0, 0x7FF, true}, {0x800, kMax, false}});
  Dlg().show();
  Receive(0x123, 1);
  m_source.fetch();
  Dlg().refresh();
  EXPECT_EQ(Dlg().m_idList.GetItemText(0, 0), L"0x123");
  EXPECT_EQ(Ranges().GetItemText(0, kStop), L"0x7FF");
  Ranges().EditCell(1, kStart, L"3000");  // typed, not applied: shown again in the new base
  Ranges().EditCell(1, kStop, L"oops");   // unreadable: left as typed
  ASSERT_TRUE(Dlg().ToggleCheck(can::IDC_DECIMAL_IDS));
  EXPECT_EQ(Dlg().id_base(), can::IdBase::Decimal);
  EXPECT_EQ(Dlg().m_idList.GetItemText(0, 0), L"291");
  EXPECT_EQ(Ranges().GetItemText(0, kStop), L"2047");
  EXPECT_EQ(Ranges().GetItemText(1, kStart), L"3000");
  EXPECT_EQ(Ranges().GetItemText(1, kStop), L"oops");
  Dlg().ClickButton(IDCANCEL);
  // The setting outlives the window and the source: the next window opens in decimal.
  CCanStandardSrcDlg other{m_source};
  other.show();
  EXPECT_EQ(other.m_rangeList.GetItemText(1, kStart), L"2048");
  EXPECT_EQ(other.GetDlgItem(can::IDC_DECIMAL_IDS)->GetCheck(), 1);
  const CResourceEntry* entry = CSeaBase::ApplicationSea()->FindEntry(L"CanStandardSource-View");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetStringFb(0, L""), L"decimal");
  other.ToggleCheck(can::IDC_DECIMAL_IDS);
  EXPECT_EQ(other.m_rangeList.GetItemText(1, kStart), L"0x800");
  EXPECT_EQ(entry->GetStringFb(0, L""), L"hex");
}

TEST_F(StandardSourceDialog, EscapeIsCancelAndReturnIsOk) {
  Dlg().show();
  Ranges().EditCell(0, kStop, L"0x7FF");
  ASSERT_TRUE(Dlg().PressKey(VK_ESCAPE));
  EXPECT_FALSE(Dlg().is_open());
  EXPECT_EQ(SourceTable(), (std::vector<IdRange>{{0, kMax, true}}));
  Dlg().show();
  Ranges().EditCell(0, kStop, L"0x7FF");
  Ranges().Click(0, kActive);
  ASSERT_TRUE(Dlg().PressKey(VK_RETURN));
  EXPECT_FALSE(Dlg().is_open());
  EXPECT_EQ(SourceTable(), (std::vector<IdRange>{{0, 0x7FF, false}, {0x800, kMax, true}}));
}

// The source's own window (the one the CAN-Bus dialog's link opens) follows the start and stop of
// acquisition while it is open, without waiting for traffic to refresh it.
TEST_F(StandardSourceDialog, AnOpenWindowsOkAndApplyFollowTheStartAndStopOfAcquisition) {
  static CCanStandardSrcDlg* built = nullptr;
  static StandardSourceDialogFactory plugin = nullptr;
  plugin = CCanStandardSource::set_dialog_factory([](IStandardSourceAccess& source) {
    auto window = plugin(source);
    built = dynamic_cast<CCanStandardSrcDlg*>(window.get());
    return window;
  });
  ASSERT_NE(plugin, nullptr) << "the library entry installs the standard source's window";
  CCanStandardSource source(nullptr, 0, L"T", 1, false, BITRATE_500K, FD_ARBITRATION_500K,
                            FD_DATA_1M);
  CCanStandardSource::set_dialog_factory(plugin);
  source.show_settings();
  ASSERT_TRUE(built && built->is_open());
  const auto locked = [&](int id) {
    const CWnd* button = built->GetDlgItem(id);
    return !button->IsWindowEnabled() && !button->ToolTip().IsEmpty();
  };
  EXPECT_FALSE(locked(IDOK));
  source.set_running(true);
  EXPECT_TRUE(locked(IDOK));
  EXPECT_TRUE(locked(ID_APPLY_NOW));
  EXPECT_EQ(built->GetDlgItem(IDOK)->ToolTip(), CString(can::kLockedWhileMeasuring));
  source.set_running(false);
  EXPECT_FALSE(locked(IDOK));
  EXPECT_FALSE(locked(ID_APPLY_NOW));
  EXPECT_TRUE(built->ClickButton(ID_APPLY_NOW));
  // Opened while acquisition runs, it opens locked.
  built->ClickButton(IDCANCEL);
  source.set_running(true);
  source.show_settings();
  EXPECT_TRUE(locked(ID_APPLY_NOW));
  source.set_running(false);
}

}  // namespace
}  // namespace plugin_test
