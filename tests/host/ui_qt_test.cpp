// The Qt view of the dialog model, rendered offscreen: widgets sit where the template's dialog
// units put them, input on the widgets reaches the model, and each dialog is written as a PNG under
// the build folder (ui-png/) for a person to look at.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <atomic>
#include <thread>

#include <QScrollArea>
#include <QScrollBar>
#include "host/services/CCentralMessageService.h"

#include "host/ui/WindowPlaces.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/host/UiTestDialog.h"
#include "tests/support/QtOffscreen.h"
#include "tests/support/TestSupport.h"

namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("ui_qt_test");

using testing_support::PngPath;

QWidget* Child(QWidget* window, int id) {
  return window->findChild<QWidget*>(QString::number(id));
}

struct UiQt : ::testing::Test {
  uitest::TestLibrary lib;
  uitest::TestDlg dlg{lib.module};
};

}  // namespace

TEST_F(UiQt, WidgetsSitWhereTheDialogUnitsPutThemInTheDialogFont) {
  ASSERT_TRUE(dlg.DisplayDialog());
  uitest::FillCells(dlg.m_list);
  dlg.m_list.SetHeaderCheckedState(0, 3);
  dlg.m_list.Click(1, 2);
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  const ui::DialogUnits units = CDialog3d::Units();
  EXPECT_GE(units.charWidth, 5);  // a real font was measured
  EXPECT_GE(units.charHeight, 10);
  EXPECT_EQ(window->windowTitle(), "Test dialog");
  const CRect client = ui::ToPixels(units, 0, 0, 231, 143);
  EXPECT_EQ(window->size(), QSize(client.Width(), client.Height()));
  for (const ui::ControlRes& res : uitest::kControls) {
    const CRect r = ui::ToPixels(units, res.x, res.y, res.cx, res.cy);
    QWidget* w = Child(window, res.id);
    ASSERT_NE(w, nullptr) << res.id;
    EXPECT_EQ(w->geometry(), QRect(r.left, r.top, r.Width(), r.Height())) << res.id;
  }
  EXPECT_EQ(qobject_cast<QPushButton*>(Child(window, 2005))->text(), "Apply");
  auto* table = qobject_cast<QTableView*>(Child(window, 1001));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->model()->rowCount(), 3);
  EXPECT_EQ(table->columnWidth(2), 90);
  EXPECT_EQ(table->selectionModel()->selectedRows().size(), 1);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("test_dialog.png")));

  // The window's size goes to the model's layout, and back.
  window->resize(client.Width() + 120, client.Height() + 60);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_EQ(Child(window, IDOK)->geometry().right() + 1,
            ui::ToPixels(units, 65, 122, 50, 14).right + 120);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("test_dialog_resized.png")));
}

TEST_F(UiQt, InputOnTheWidgetsReachesTheModel) {
  ASSERT_TRUE(dlg.DisplayDialog());
  uitest::FillCells(dlg.m_list);
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  QTest::keyClicks(Child(window, 2009), "42");
  QTest::mouseClick(Child(window, 1002), Qt::LeftButton);
  QTest::mouseClick(Child(window, 2005), Qt::LeftButton);
  EXPECT_EQ(dlg.m_added, 1);
  EXPECT_EQ(dlg.m_delay, 42);  // typed behind the "0" the field held: "042"
  auto* table = qobject_cast<QTableView*>(Child(window, 1001));
  const QRect cell = table->visualRect(table->model()->index(0, 0));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(dlg.m_list.GetItemCheckedState(0, 0), 1);
  QTest::keyClick(table, Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(dlg.m_keys, (std::vector<std::pair<int, bool>>{{'N', true}}));

  // A combo over the list's global strings offers them in their order; a choice is the string's id.
  dlg.m_list.GlobalComboStringsInsert(-1, L"none");
  dlg.m_list.GlobalComboStringsInsert(4, L"four");
  dlg.m_list.GlobalComboStringsInsert(9, L"nine");
  dlg.m_list.SetComboBoxGlobalStrings(2, 1, 4, 2);
  ui::qt::QtUi::ProcessEvents();
  const QRect combo = table->visualRect(table->model()->index(2, 1));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, combo.center());
  auto* editor = table->findChild<QComboBox*>();
  ASSERT_NE(editor, nullptr);
  ASSERT_EQ(editor->count(), 3);
  EXPECT_EQ(editor->itemText(2), "nine");
  EXPECT_EQ(editor->currentIndex(), 1);
  EXPECT_EQ(editor->maxVisibleItems(), 2);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_TRUE(editor->view()->isVisible());  // the one click opened the list as well
  Q_EMIT editor->activated(2);
  EXPECT_EQ(dlg.m_list.GetComboCurSel(2, 1), 9);
  EXPECT_EQ(table->model()->index(2, 1).data().toString(), "nine");
  QTest::mouseClick(Child(window, IDCANCEL), Qt::LeftButton);
  EXPECT_FALSE(dlg.IsOpen());
  ui::qt::QtUi::ProcessEvents();
}

// Keys as a desktop dialog takes them: a cell's editor keeps Return (the edit is taken, the window
// stays), Return outside it is OK, Escape is Cancel, and Tab leaves the table for the next control.
TEST_F(UiQt, KeysWorkAsInADesktopDialog) {
  ASSERT_TRUE(dlg.DisplayDialog());
  uitest::FillCells(dlg.m_list);
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  auto* table = qobject_cast<QTableView*>(Child(window, 1001));
  table->setFocus();
  QTest::keyClick(table, Qt::Key_Tab);
  EXPECT_EQ(window->focusWidget(), Child(window, 1002));  // from the table to the Add button

  const QModelIndex cell = table->model()->index(0, 2);
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
  auto* editor = table->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "renamed");
  QTest::keyClick(editor, Qt::Key_Return);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_TRUE(dlg.IsOpen());
  EXPECT_EQ(dlg.m_list.GetItemText(0, 2), L"renamed");
  QTest::keyClicks(Child(window, 2009), "3");
  QTest::keyClick(Child(window, 2009), Qt::Key_Return);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_FALSE(dlg.IsOpen());  // OK: the delay taken
  EXPECT_EQ(dlg.m_delay, 3);

  ASSERT_TRUE(dlg.DisplayDialog());
  ui::qt::QtUi::ProcessEvents();
  QTest::keyClicks(Child(ui::qt::QtUi::Window(dlg), 2009), "9");
  QTest::keyClick(ui::qt::QtUi::Window(dlg), Qt::Key_Escape);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.m_delay, 3);
}

// A dialog opened from another one is its window, centred on it, and outlives it.
TEST_F(UiQt, ADialogOpensCentredOnTheDialogThatOpenedIt) {
  uitest::TestDlg second{lib.module};
  dlg.m_onAdd = [&] { second.DisplayDialog(); };
  ASSERT_TRUE(dlg.DisplayDialog());
  ui::qt::QtUi::ProcessEvents();
  QWidget* first = ui::qt::QtUi::Window(dlg);
  first->resize(first->width() + 200, first->height() + 100);
  first->move(40, 30);
  QTest::mouseClick(Child(first, 1002), Qt::LeftButton);
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(second);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parentWidget(), first);
  EXPECT_TRUE(window->isWindow());
  const QPoint offset = window->frameGeometry().center() - first->frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();  // a frame's width
  QTest::mouseClick(Child(first, IDCANCEL), Qt::LeftButton);
  ui::qt::QtUi::ProcessEvents();
  ASSERT_EQ(ui::qt::QtUi::Window(second), window);  // still there, on its own now
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->parentWidget(), nullptr);
  QTest::keyClick(window, Qt::Key_Escape);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_FALSE(second.IsOpen());
}

// A dialog opens again where the person left it and as large; what cannot be a place is left out.
TEST_F(UiQt, ADialogOpensAgainWhereAndAsLargeAsItWasLeft) {
  testing_support::TempDir dir;
  const auto file = dir / "windows.conf";
  testing_support::WriteFile(file, "# places\ndialog2000 10 10\ndialog3000 1 2 0 5\n");
  ui::qt::QtDialogView::RememberPlaces(file);
  ASSERT_TRUE(dlg.DisplayDialog());
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  const QSize opened = window->size();
  window->resize(opened.width() + 100, opened.height() + 50);
  window->move(30, 40);
  ui::qt::QtUi::ProcessEvents();
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
  const QPoint at = QPoint(30, 40);
  EXPECT_EQ(testing_support::ReadFile(file),
            "# canhost: the places of the dialog windows as they were last closed\n"
            "dialog900 " +
                std::to_string(at.x()) + " " + std::to_string(at.y()) + " " +
                std::to_string(opened.width() + 100) + " " + std::to_string(opened.height() + 50) +
                "\n");

  ASSERT_TRUE(dlg.DisplayDialog());
  ui::qt::QtUi::ProcessEvents();
  window = ui::qt::QtUi::Window(dlg);
  EXPECT_EQ(window->size(), QSize(opened.width() + 100, opened.height() + 50));
  EXPECT_EQ(window->pos(), at);
  // The model's layout took the size: OK moved with the bottom right corner.
  EXPECT_EQ(dlg.ClientRect().Width(), opened.width() + 100);
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
  ui::qt::QtDialogView::RememberPlaces({});

  const ui::WindowPlaces places(file);
  EXPECT_TRUE(places.Find("dialog900").has_value());
  EXPECT_FALSE(places.Find("dialog2000").has_value());
  EXPECT_FALSE(places.Find("dialog3000").has_value());
}

// Below its template's size the window scrolls: the model keeps the template's size.
TEST_F(UiQt, ADialogMadeSmallerThanItsTemplateScrolls) {
  ASSERT_TRUE(dlg.DisplayDialog());
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  const CRect templ = ui::ToPixels(CDialog3d::Units(), 0, 0, 231, 143);
  window->resize(templ.Width() - 100, templ.Height() - 60);
  ui::qt::QtUi::ProcessEvents();
  ui::qt::QtUi::Window(dlg);
  EXPECT_EQ(window->size(), QSize(templ.Width() - 100, templ.Height() - 60));
  EXPECT_EQ(dlg.ClientRect().Width(), templ.Width());
  EXPECT_EQ(dlg.ClientRect().Height(), templ.Height());
  auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("scroll"));
  ASSERT_NE(scroll, nullptr);
  EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
  EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("test_dialog_smaller.png")));
  // Larger again: the model follows, no scroll bar.
  window->resize(templ.Width() + 40, templ.Height() + 20);
  ui::qt::QtUi::ProcessEvents();
  ui::qt::QtUi::Window(dlg);
  EXPECT_EQ(dlg.ClientRect().Width(), templ.Width() + 40);
  EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
  dlg.CloseByFrame();
}

TEST(UiQtMessages, MessagesScheduledFromAnotherThreadRunOnTheQtThread) {
  const std::thread::id main = std::this_thread::get_id();
  std::atomic<bool> ran{false};
  std::atomic<bool> onMain{false};
  std::thread worker([&] {
    CCentralMessageService::ScheduleMessage(
        [&] {
          onMain = std::this_thread::get_id() == main;
          ran = true;
        },
        true);
  });
  worker.join();
  EXPECT_TRUE(testing_support::WaitFor([&] {
    QApplication::processEvents();
    return ran.load();
  }));
  EXPECT_TRUE(onMain);
}
