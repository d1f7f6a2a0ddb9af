// The dialog and list model driven as a person would, with no display.
#include <gtest/gtest.h>

#include "host/mfc/Win.h"
#include "host/ui/CSwitchResourceDefault.h"
#include "tests/host/UiTestDialog.h"

using uitest::TestDlg;

namespace {

struct UiModel : ::testing::Test {
  // The open dialog's list with the rows of uitest::FillCells.
  CXListCtrl& FilledList() {
    EXPECT_TRUE(dlg.DisplayDialog());
    uitest::FillCells(dlg.m_list);
    return dlg.m_list;
  }
  uitest::TestLibrary lib;
  TestDlg dlg{lib.module};
};

// Counts what reaches a view.
struct CountingView : IDialogView {
  int* changes;
  explicit CountingView(int* c) : changes(c) {}
  void Changed(CWnd*) override { ++*changes; }
  void Raise() override {}
};

}  // namespace

TEST_F(UiModel, DisplayBuildsTheTemplateInPixelsAndOnlyRaisesWhenOpen) {
  ASSERT_TRUE(dlg.DisplayDialog());
  EXPECT_TRUE(dlg.IsOpen());
  EXPECT_EQ(dlg.Title(), L"Test dialog");
  // Default font: 6 x 13 pixels per character, 4 x 8 dialog units.
  EXPECT_EQ(dlg.GetDlgItem(1002)->GetWindowRect(), (CRect{11, 130, 86, 153}));
  EXPECT_EQ(dlg.ClientRect(), (CRect{0, 0, 347, 232}));
  EXPECT_EQ(dlg.GetDlgItem(1001), &dlg.m_list);  // the member took over the control
  EXPECT_EQ(dlg.GetDlgItem(-1)->GetWindowTextW(), L"Delay (ticks)");
  EXPECT_EQ(dlg.GetDlgItemTextW(2009), L"0");

  dlg.m_list.InsertColumn(0, L"A");
  EXPECT_TRUE(dlg.DisplayDialog());
  EXPECT_EQ(dlg.RaiseCount(), 1);
  EXPECT_EQ(dlg.m_list.GetColumnCount(), 1);  // the same window

  dlg.CloseByFrame();
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.GetDlgItem(1001), nullptr);
  ASSERT_TRUE(dlg.DisplayDialog());
  EXPECT_EQ(dlg.m_list.GetColumnCount(), 0);  // a new window starts empty

  const AFX_EXTENSION_MODULE none{true, "libnone.so"};  // outlives the dialog that points to it
  TestDlg orphan(none);
  EXPECT_FALSE(orphan.DisplayDialog());
  EXPECT_FALSE(orphan.IsOpen());
}

TEST_F(UiModel, IntegerExchangeRefusesWhatIsNotAnIntegerAndKeepsTheMember) {
  std::vector<CString> boxes;
  mfc::SetMessageBoxResponder([&](const CString& text, UINT) {
    boxes.push_back(text);
    return IDOK;
  });
  dlg.m_delay = 7;
  ASSERT_TRUE(dlg.DisplayDialog());
  EXPECT_EQ(dlg.GetDlgItemTextW(2009), L"7");
  EXPECT_TRUE(dlg.TypeText(2009, L"  -12 "));
  EXPECT_TRUE(dlg.ClickButton(2005));
  EXPECT_EQ(dlg.m_delay, -12);
  for (const wchar_t* bad : {L"12a", L"", L"3000000000", L"1 2", L"0x10"}) {
    dlg.TypeText(2009, bad);
    EXPECT_FALSE(dlg.UpdateData(TRUE)) << CString(bad).ToUtf8();
    EXPECT_EQ(dlg.m_delay, -12);
  }
  EXPECT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes.front(), kParseIntMessage);
  dlg.TypeText(2009, L"+2147483647");
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.m_delay, 2147483647);
  // OK with a refused value leaves the window open.
  dlg.TypeText(2009, L"x");
  dlg.ClickButton(IDOK);
  EXPECT_TRUE(dlg.IsOpen());
}

TEST_F(UiModel, ButtonsGoThroughTheMessageMapAndOnlyWhenUsable) {
  ASSERT_TRUE(dlg.DisplayDialog());
  EXPECT_TRUE(dlg.ClickButton(1002));
  EXPECT_TRUE(dlg.ClickButton(2005));  // the derived class's Apply
  EXPECT_EQ(dlg.m_added, 1);
  EXPECT_EQ(dlg.m_applied, 1);
  dlg.GetDlgItem(2005)->EnableWindow(FALSE);
  EXPECT_FALSE(dlg.ClickButton(2005));
  EXPECT_FALSE(dlg.ClickButton(4711));
  EXPECT_EQ(dlg.m_applied, 1);
  EXPECT_FALSE(dlg.TypeText(-1, L"labels take no typing"));
  EXPECT_TRUE(dlg.ClickButton(IDCANCEL));  // the base's Cancel
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_FALSE(dlg.ClickButton(1002));
}

TEST_F(UiModel, EscapeCancelsAndReturnPressesTheDefaultButtonWhenItIsUsable) {
  ASSERT_TRUE(dlg.DisplayDialog());
  dlg.TypeText(2009, L"5");
  EXPECT_FALSE(dlg.PressKey('A'));
  EXPECT_TRUE(dlg.PressKey(VK_ESCAPE));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.m_delay, 0);  // Cancel takes nothing
  ASSERT_TRUE(dlg.DisplayDialog());
  dlg.TypeText(2009, L"7");
  dlg.GetDlgItem(IDOK)->EnableWindow(FALSE);  // OK locked (a measurement runs): Return does nothing
  EXPECT_FALSE(dlg.PressKey(VK_RETURN));
  EXPECT_TRUE(dlg.IsOpen());
  dlg.GetDlgItem(IDOK)->EnableWindow(TRUE);
  EXPECT_TRUE(dlg.PressKey(VK_RETURN));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.m_delay, 7);
  EXPECT_FALSE(dlg.PressKey(VK_ESCAPE));  // closed: nothing to press
}

TEST_F(UiModel, ADialogBelongsToTheDialogWhoseHandlerOpenedIt) {
  TestDlg second{lib.module};
  TestDlg third{lib.module};
  ASSERT_TRUE(dlg.DisplayDialog());
  EXPECT_EQ(dlg.Opener(), nullptr);  // opened by the host's main window
  dlg.m_onAdd = [&] { second.DisplayDialog(); };
  second.m_onAdd = [&] { third.DisplayDialog(); };
  dlg.ClickButton(1002);
  second.ClickButton(1002);
  EXPECT_EQ(second.Opener(), &dlg);
  EXPECT_EQ(third.Opener(), &second);
  // The middle one closes: what it opened passes to its opener.
  second.ClickButton(IDCANCEL);
  EXPECT_EQ(third.Opener(), &dlg);
  {
    TestDlg gone{lib.module};
    dlg.m_onAdd = [&] { gone.DisplayDialog(); };
    dlg.ClickButton(1002);
    gone.m_onAdd = [&] { second.DisplayDialog(); };
    gone.ClickButton(1002);
    EXPECT_EQ(second.Opener(), &gone);
  }  // destroyed while open
  EXPECT_EQ(second.Opener(), &dlg);
  third.ClickButton(IDCANCEL);
  ASSERT_TRUE(third.DisplayDialog());  // reopened from no handler: the main window's
  EXPECT_EQ(third.Opener(), nullptr);
}

TEST_F(UiModel, ChildrenFollowTheWindowByTheirEdges) {
  ASSERT_TRUE(dlg.DisplayDialog());
  const CRect list = dlg.m_list.GetWindowRect();
  const CRect add = dlg.GetDlgItem(1002)->GetWindowRect();
  const CRect ok = dlg.GetDlgItem(IDOK)->GetWindowRect();
  dlg.Resize(347 + 100, 232 + 40);
  EXPECT_EQ(dlg.m_list.GetWindowRect(),
            (CRect{list.left, list.top, list.right + 100, list.bottom + 40}));
  EXPECT_EQ(dlg.GetDlgItem(1002)->GetWindowRect(),
            (CRect{add.left, add.top + 40, add.right, add.bottom + 40}));
  EXPECT_EQ(dlg.GetDlgItem(IDOK)->GetWindowRect(),
            (CRect{ok.left + 100, ok.top + 40, ok.right + 100, ok.bottom + 40}));
  // Never smaller than the template (layout flags 1 and 2).
  dlg.Resize(10, 10);
  EXPECT_EQ(dlg.ClientRect(), (CRect{0, 0, 347, 232}));
  EXPECT_EQ(dlg.GetDlgItem(IDOK)->GetWindowRect(), ok);
}

TEST(UiLayout, StackedChildrenShareTheVerticalGrowth) {
  CWnd upper, lower;
  upper.Attach(nullptr, {1, ui::ControlKind::ListView, L"", 0, 0, 0, 0}, CRect{0, 0, 100, 50});
  lower.Attach(nullptr, {2, ui::ControlKind::ListView, L"", 0, 0, 0, 0}, CRect{0, 60, 100, 110});
  ui::DialogLayout layout;
  layout.Add(&upper, CEdges::SPLIT_UPPER | CEdges::LEFT | CEdges::RIGHT);
  layout.Add(&lower, CEdges::SPLIT_LOWER | CEdges::LEFT | CEdges::RIGHT);
  layout.Complete(100, 120, 2);
  layout.Apply(130, 221);
  EXPECT_EQ(upper.GetWindowRect(), (CRect{0, 0, 130, 100}));
  EXPECT_EQ(lower.GetWindowRect(), (CRect{0, 110, 130, 211}));
  EXPECT_EQ(layout.Apply(50, 50), (CRect{0, 0, 50, 120}));  // only the height has a minimum
}

TEST_F(UiModel, ListCellsHoldWhatTheDialogPutAndRefuseWhatDoesNotExist) {
  CXListCtrl& list = FilledList();
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(list.GetItemDataPtr(2)), 102);
  EXPECT_EQ(list.GetItemCheckedState(1, 0), 1);
  EXPECT_EQ(list.GetCheckbox(1, 2), -1);  // not a check box
  EXPECT_EQ(list.GetComboCurSel(2, 1), 2);
  EXPECT_EQ(list.GetItemText(2, 1), L"500k");
  EXPECT_EQ(list.Cell(1, 3)->kind, ui::CellKind::Text);  // link not shown
  EXPECT_EQ(list.GetProgress(2, 4), 70);
  EXPECT_TRUE(list.UpdateProgress(2, 4, 250));
  EXPECT_EQ(list.GetProgress(2, 4), 100);
  EXPECT_FALSE(list.UpdateProgress(2, 2, 5));  // not a bar
  list.SetComboBox(0, 1, {L"a"}, 5);
  EXPECT_EQ(list.GetComboCurSel(0, 1), -1);  // out of the labels: nothing chosen
  EXPECT_EQ(list.GetItemText(0, 1), L"");

  const int idRow = list.AddItem(L"", nullptr, 1073741823);
  EXPECT_EQ(list.GetItemData64(idRow), 1073741823);
  list.InsertItem(0, L"first", nullptr, -5);
  EXPECT_EQ(list.GetItemData64(0), -5);
  EXPECT_EQ(list.GetItemData64(4), 1073741823);
  EXPECT_FALSE(list.SetItemText(9, 0, L"x"));
  EXPECT_FALSE(list.SetItemText(0, 9, L"x"));
  EXPECT_FALSE(list.DeleteItem(-1));
  EXPECT_EQ(list.GetItemText(9, 9), L"");
  EXPECT_EQ(list.InsertItem(LVITEM{LVIF_PARAM, 99, 0, 7}), 5);  // clamped to the end
}

TEST_F(UiModel, ClicksSelectRowsTickBoxesFollowLinksAndNotify) {
  CXListCtrl& list = FilledList();
  list.Click(0, 2);
  list.Click(2, 2, true);
  EXPECT_EQ(list.GetSelectedCount(), 2u);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);
  EXPECT_EQ(list.GetNextItem(0, LVNI_SELECTED), 2);
  list.Click(1, 0);  // a plain click selects only its row, and ticks the box
  EXPECT_EQ(list.GetSelectedCount(), 1u);
  EXPECT_EQ(list.GetItemCheckedState(1, 0), 0);
  list.Click(0, 3);  // link
  list.Click(1, 3);  // no link on that row
  list.Click(7, 0);  // below the rows
  EXPECT_EQ(list.GetSelectedCount(), 0u);
  EXPECT_EQ(dlg.m_checks, (std::vector<std::pair<int, int>>{{1, 0}}));
  EXPECT_EQ(dlg.m_links, std::vector<int>{0});
  EXPECT_EQ(dlg.m_clicks, (std::vector<int>{0, 2, 1, 0, 1, -1}));

  dlg.m_list.EnableWindow(FALSE);
  EXPECT_FALSE(list.Click(0, 0));
  EXPECT_EQ(list.GetItemCheckedState(0, 0), 0);
}

TEST_F(UiModel, TypingAndChoosingReachOnlyCellsThatAcceptThem) {
  CXListCtrl& list = FilledList();
  EXPECT_TRUE(list.EditCell(1, 2, L"renamed"));
  EXPECT_EQ(list.GetItemText(1, 2), L"renamed");
  EXPECT_FALSE(list.EditCell(1, 3, L"x"));  // not editable
  EXPECT_FALSE(list.EditCell(1, 1, L"x"));  // a combo is chosen, not typed
  EXPECT_TRUE(list.ChooseCombo(1, 1, 0));
  EXPECT_FALSE(list.ChooseCombo(1, 1, 3));
  EXPECT_FALSE(list.ChooseCombo(1, 2, 0));
  EXPECT_EQ(list.GetItemText(1, 1), L"125k");
  EXPECT_EQ(dlg.m_edits, (std::vector<std::pair<int, int>>{{1, 2}}));
  EXPECT_EQ(dlg.m_combos, (std::vector<std::pair<int, int>>{{1, 1}}));
}

TEST_F(UiModel, KeysReachTheDialogWithCtrlHeldOnlyWhileHandled) {
  ASSERT_TRUE(dlg.DisplayDialog());
  dlg.m_list.PressKey(VK_DELETE);
  dlg.m_list.PressKey('A', true);
  EXPECT_EQ(dlg.m_keys, (std::vector<std::pair<int, bool>>{{VK_DELETE, false}, {'A', true}}));
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
}

TEST_F(UiModel, HeaderCheckFollowsTheColumnAndTicksEveryRow) {
  CXListCtrl& list = FilledList();
  list.SetHeaderCheckedState(0, 3);
  EXPECT_EQ(list.GetHeaderCheckedState(0), 1);
  EXPECT_EQ(list.GetHeaderCheckedState(1), 0);
  EXPECT_TRUE(list.ClickHeaderCheck(0));
  EXPECT_EQ(list.GetHeaderCheckedState(0), 2);
  for (int r = 0; r < 3; ++r)
    EXPECT_EQ(list.GetItemCheckedState(r, 0), 1);
  EXPECT_EQ(dlg.m_checks.size(), 2u);  // rows 0 and 2 changed
  EXPECT_FALSE(list.ClickHeaderCheck(1));
}

TEST_F(UiModel, AutosizedColumnsFitTheirWidestContentAndTitle) {
  // One pixel per character makes the widths easy to read: content + 12 of margin.
  CXListCtrl::SetMeasure({[](const CString& t) { return static_cast<int>(t.GetLength()); }, 20});
  ASSERT_TRUE(dlg.DisplayDialog());
  uitest::FillCells(dlg.m_list);
  dlg.m_list.SetHeaderCheckedState(0, 3);
  dlg.m_list.SetItemText(1, 2, L"a much longer name");
  for (int c = 0; c < 5; ++c)
    EXPECT_TRUE(dlg.m_list.SetColumnWidth(c, LVSCW_AUTOSIZE_USEHEADER));
  EXPECT_EQ(dlg.m_list.GetColumnWidth(0), 6 + 12 + 21);  // title "Active" and the header box
  EXPECT_EQ(dlg.m_list.GetColumnWidth(1), 4 + 18 + 12);  // widest label and the combo's button
  EXPECT_EQ(dlg.m_list.GetColumnWidth(2), 18 + 12);      // the longer name, not the first
  EXPECT_EQ(dlg.m_list.GetColumnWidth(4), 80);           // bars have no width of their own
  EXPECT_TRUE(dlg.m_list.SetColumnWidth(3, LVSCW_AUTOSIZE));
  EXPECT_EQ(dlg.m_list.GetColumnWidth(3), 8 + 12);  // "Settings", the title not counted
  EXPECT_EQ(dlg.m_list.GetFittingWidth(), 39 + 34 + 30 + 20 + 80 + 20);
  EXPECT_FALSE(dlg.m_list.SetColumnWidth(5, 10));
  CXListCtrl::SetMeasure({});
}

TEST_F(UiModel, LockedWindowUpdatesReachTheViewOnceWhenUnlocked) {
  int changes = 0;
  CDialog3d::SetViewFactory([&](CDialog3d&) { return std::make_unique<CountingView>(&changes); });
  ASSERT_TRUE(dlg.DisplayDialog());
  CDialog3d::SetViewFactory({});
  uitest::FillCells(dlg.m_list);
  EXPECT_GT(changes, 0);
  changes = 0;
  EXPECT_TRUE(dlg.LockWindowUpdate());
  for (int r = 0; r < 3; ++r)
    dlg.m_list.UpdateProgress(r, 4, 99);
  EXPECT_EQ(changes, 0);
  dlg.UnlockWindowUpdate();
  EXPECT_EQ(changes, 1);
}

TEST_F(UiModel, AutosizedColumnsFillTheControlAndFollowItsWidth) {
  CXListCtrl::SetMeasure({[](const CString& t) { return static_cast<int>(t.GetLength()); }, 20});
  ASSERT_TRUE(dlg.DisplayDialog());
  CXListCtrl& list = dlg.m_list;
  list.InsertColumn(0, L"Name", 0, 40);
  list.InsertColumn(1, L"Decoder", 0, 40);
  list.AddItem(L"Powertrain");
  list.SetItemText(0, 1, L"a decoder with a long name");
  const auto sum = [&] { return list.GetColumnWidth(0) + list.GetColumnWidth(1); };
  // Fitted (10 + 12 and 26 + 12 pixels), then the rest of the control's width shared out in
  // proportion: the columns end at the control's inner edge.
  const int inner = list.GetWindowRect().Width() - 20;
  EXPECT_TRUE(list.AutosizeColumnWidth(-1));
  EXPECT_EQ(sum(), inner);
  EXPECT_EQ(list.GetColumnWidth(0), 22 + (inner - 60) * 22 / 60);

  // A wider window widens both; a narrower one never squeezes a column below its content.
  dlg.Resize(dlg.ClientRect().Width() + 150, dlg.ClientRect().Height());
  list.AutosizeColumnWidth(-1);
  EXPECT_EQ(sum(), inner + 150);
  list.SetItemText(0, 1, std::wstring(inner + 300, L'x').c_str());
  list.AutosizeColumnWidth(-1);
  EXPECT_EQ(list.GetColumnWidth(0), 22);
  EXPECT_EQ(list.GetColumnWidth(1), inner + 300 + 12);
  // One column: fitted to its cells and title only.
  EXPECT_TRUE(list.AutosizeColumnWidth(0));
  EXPECT_EQ(list.GetColumnWidth(0), 22);
  EXPECT_FALSE(list.AutosizeColumnWidth(2));
  CXListCtrl::SetMeasure({});
}

TEST_F(UiModel, GlobalComboStringsAreOneSetForEveryCellAndChoicesAreIds) {
  ASSERT_TRUE(dlg.DisplayDialog());
  CXListCtrl& list = dlg.m_list;
  list.InsertColumn(0, L"Name");
  list.InsertColumn(1, L"Decoder");
  list.GlobalComboStringsInsert(-1, L"\u2014");
  list.GlobalComboStringsInsert(0, L"CCanDbcDecoder");
  list.GlobalComboStringsInsert(7, L"Other");
  EXPECT_EQ(list.GlobalComboStringsGetId(L"Other", -1), 7);
  EXPECT_EQ(list.GlobalComboStringsGetId(L"missing", -5), -5);
  for (int r = 0; r < 2; ++r) {
    list.AddItem(L"row");
    EXPECT_TRUE(list.SetComboBoxGlobalStrings(r, 1, r == 0 ? 0 : -1));
  }
  EXPECT_EQ(list.GetItemText(0, 1), L"CCanDbcDecoder");
  EXPECT_EQ(list.GetComboCurSel(0, 1), 0);
  EXPECT_EQ(list.GetComboCurSel(1, 1), -1);
  EXPECT_EQ(list.ComboLabels(1, 1), (std::vector<CString>{L"\u2014", L"CCanDbcDecoder", L"Other"}));

  // A person picks the third entry of row 1: its id is the choice.
  EXPECT_TRUE(list.ChooseCombo(1, 1, 2));
  EXPECT_EQ(dlg.m_combos, (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_EQ(list.GetComboCurSel(1, 1), 7);
  EXPECT_EQ(list.ComboPosition(1, 1), 2);
  EXPECT_FALSE(list.ChooseCombo(1, 1, 3));

  // The set is shared: a new text for an id shows in every cell that has it chosen; a reset
  // leaves the cells without choice.
  list.GlobalComboStringsInsert(7, L"Renamed");
  EXPECT_EQ(list.GetItemText(1, 1), L"Renamed");
  EXPECT_EQ(list.GlobalComboStrings().size(), 3u);
  list.GlobalComboStringsReset();
  EXPECT_EQ(list.GetItemText(1, 1), L"");
  EXPECT_EQ(list.GetComboCurSel(1, 1), -1);
  EXPECT_FALSE(list.SetComboBoxGlobalStrings(5, 1, 0));
}

TEST_F(UiModel, RowsInsertedInBatchModeReachTheViewOnce) {
  int changes = 0;
  CDialog3d::SetViewFactory([&](CDialog3d&) { return std::make_unique<CountingView>(&changes); });
  ASSERT_TRUE(dlg.DisplayDialog());
  CDialog3d::SetViewFactory({});
  changes = 0;
  dlg.m_list.SetBatchInsertMode(true);
  EXPECT_TRUE(dlg.m_list.BatchInsertMode());
  uitest::FillCells(dlg.m_list);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(dlg.m_list.GetItemCount(), 3);  // the model has the rows at once
  dlg.m_list.SetBatchInsertMode(false);
  EXPECT_EQ(changes, 1);
  // A batch without changes tells the view nothing.
  dlg.m_list.SetBatchInsertMode(true);
  dlg.m_list.SetBatchInsertMode(false);
  EXPECT_EQ(changes, 1);
}

TEST(UiResources, StringsComeFromTheSelectedLibraryFirst) {
  static constexpr ui::StringRes kOther[] = {{1, L"Aktiv"}, {9, L"Only here"}};
  static constexpr ui::ResourceSet kOtherSet{{}, kOther};
  uitest::TestLibrary lib;
  AFX_EXTENSION_MODULE other{true, "libother.so"};
  CLibMgr::RegisterResources(other, &kOtherSet);
  {
    CSwitchResourceDefault select(lib.module);
    EXPECT_EQ(CLibMgr::LoadStringW(1), L"Active");
    EXPECT_EQ(CLibMgr::LoadStringW(9), L"Only here");
    {
      CSwitchResourceDefault inner(other);
      EXPECT_EQ(CLibMgr::LoadStringW(1), L"Aktiv");
    }
    EXPECT_EQ(CLibMgr::LoadStringW(1), L"Active");
  }
  EXPECT_EQ(CLibMgr::Selected(), nullptr);
  EXPECT_EQ(CLibMgr::LoadStringW(4711), L"");
  CLibMgr::RegisterResources(other, nullptr);
}
