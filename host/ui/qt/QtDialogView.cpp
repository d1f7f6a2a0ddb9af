#include "host/ui/qt/QtDialogView.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "host/services/Host.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "host/ui/WindowPlaces.h"
#include "host/ui/qt/QtListView.h"

namespace ui::qt {

namespace {

QString ToQ(const CString& s) {
  return QString::fromStdWString(s.str());
}

// The dialog windows of one host; [ui] only.
struct Views {
  std::vector<QtDialogView*> open;       // views alive, oldest first
  QPointer<QWidget> mainWindow;          // the window of the dialogs the host opens
  std::unique_ptr<WindowPlaces> places;  // where the windows were last closed; null: not kept
};
Views& TheViews() {
  return host::CurrentHost().Get<Views>();
}

// The least a dialog window can be made, when its template is larger: what is beyond scrolls.
constexpr int kLeastWidth = 240;
constexpr int kLeastHeight = 160;

QRect ToQRect(const CRect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

}  // namespace

// The top-level window: resizing and closing go to the model. The controls sit on a canvas of the
// model's client size in a scroll area, so the window can be made smaller than the dialog's
// template: the model keeps at least the template's size and scroll bars show the rest.
class DialogWindow : public QWidget {
 public:
  explicit DialogWindow(CDialog3d* dialog) : m_dialog(dialog) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_canvas = new QWidget;
    m_scroll->setWidget(m_canvas);
    layout->addWidget(m_scroll);
  }
  QScrollArea* m_scroll;
  QWidget* m_canvas;            // owned by m_scroll; the controls' parent
  QSize m_least;                // the template's size: the model never gets less
  bool m_windowDriven = false;  // the model's size follows the window's (not the other way)
  QSize m_client;               // the model's size at the last redraw
  void Detach() {
    m_dialog = nullptr;
    m_view = nullptr;
  }
  QtDialogView* m_view = nullptr;  // null once the view has gone
  std::map<CWnd*, QWidget*> m_widgets;
  bool m_syncing = false;

 protected:
  void resizeEvent(QResizeEvent*) override {
    if (!m_dialog || m_syncing) return;
    m_windowDriven = true;
    m_dialog->Resize(std::max(width(), m_least.width()), std::max(height(), m_least.height()));
  }
  // Keys no control took (a cell's editor keeps Return and Escape; a line edit, a check box and the
  // table leave them): Escape is Cancel, Return presses the focused button, else OK.
  void keyPressEvent(QKeyEvent* event) override {
    const int key = event->key();
    if (!m_dialog || (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter))
      return QWidget::keyPressEvent(event);
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    QPointer<DialogWindow> self(this);
    QTimer::singleShot(0, this, [self, key, button = QPointer<QPushButton>(button)] {
      if (!self || !self->m_dialog) return;
      if (key == Qt::Key_Escape)
        self->m_dialog->PressKey(VK_ESCAPE);
      else if (button && button->isEnabled())
        button->click();
      else
        self->m_dialog->PressKey(VK_RETURN);
    });
  }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    // The model destroys this window; let the close event finish first.
    QPointer<DialogWindow> self(this);
    QTimer::singleShot(0, this, [self] {
      if (self && self->m_dialog) self->m_dialog->CloseByFrame();
    });
  }

 private:
  CDialog3d* m_dialog;
};

namespace {

QWidget* MakeWidget(CDialog3d& dialog, CWnd& wnd, QWidget* parent) {
  const int id = wnd.GetDlgCtrlID();
  CDialog3d* dlg = &dialog;
  switch (wnd.Kind()) {
    case ControlKind::Static:
      return new QLabel(parent);
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
      auto* b = new QPushButton(parent);
      b->setDefault(wnd.Kind() == ControlKind::DefaultButton);
      QObject::connect(b, &QPushButton::clicked, b, [dlg, id] { dlg->ClickButton(id); });
      return b;
    }
    case ControlKind::CheckBox: {
      auto* c = new QCheckBox(parent);
      QObject::connect(c, &QCheckBox::clicked, c, [dlg, id] { dlg->ClickButton(id); });
      return c;
    }
    case ControlKind::Edit: {
      auto* e = new QLineEdit(parent);
      if (wnd.Style() & kRightAligned) e->setAlignment(Qt::AlignRight);
      e->setReadOnly(wnd.Style() & kReadOnly);
      if (wnd.Style() & kDigitsOnly)
        e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
      if (wnd.Style() & kSignedDigits)
        e->setValidator(new QRegularExpressionValidator(QRegularExpression("-?[0-9]{0,10}"), e));
      QObject::connect(e, &QLineEdit::textEdited, e, [dlg, id](const QString& text) {
        dlg->TypeText(id, text.toStdWString().c_str());
      });
      return e;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(parent);
    case ControlKind::ListView:
      if (auto* list = dynamic_cast<CXListCtrl*>(&wnd)) return new QtListView(*list, parent);
      return new QWidget(parent);
  }
  return new QWidget(parent);
}

// A refused value is framed in red and says why when the pointer rests on it.
constexpr const char* kRefusedStyle =
    "QLineEdit { border: 2px solid #c00000; background: #ffe8e8; }";

void SyncWidget(CWnd& wnd, QWidget* w) {
  w->setGeometry(ToQRect(wnd.GetWindowRect()));
  w->setEnabled(wnd.IsWindowEnabled());
  w->setVisible(wnd.IsWindowVisible());
  const QString tip = ToQ(wnd.Error().IsEmpty() ? wnd.ToolTip() : wnd.Error());
  if (w->toolTip() != tip) w->setToolTip(tip);
  const QString text = ToQ(wnd.GetWindowTextW());
  if (auto* label = qobject_cast<QLabel*>(w)) {
    // A label of several lines wraps its words; a one-line label wider than its rectangle in this
    // font is set narrower rather than cut off.
    QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    label->setWordWrap(label->height() >= 2 * metrics.lineSpacing());
    if (!label->wordWrap() && metrics.horizontalAdvance(text) > label->width())
      font.setFamily(font.family() + QStringLiteral(" Condensed"));
    label->setFont(font);
    label->setText(text);
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    check->setText(text);
    check->setChecked(wnd.GetCheck() != 0);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(text);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->text() != text) edit->setText(text);
    const QString style = wnd.Error().IsEmpty() ? QString() : QString::fromLatin1(kRefusedStyle);
    if (edit->styleSheet() != style) edit->setStyleSheet(style);
  } else if (auto* list = dynamic_cast<QtListView*>(w)) {
    list->Sync();
  }
}

}  // namespace

QtDialogView::QtDialogView(CDialog3d& dialog)
    : m_dialog(dialog), m_window(new DialogWindow(&dialog)) {
  m_window->m_view = this;
  TheViews().open.push_back(this);
  m_window->setObjectName(QStringLiteral("dialog%1").arg(dialog.Template()->id));
  m_window->setWindowTitle(ToQ(dialog.Title()));
  for (CWnd* wnd : dialog.Controls()) {
    QWidget* w = MakeWidget(dialog, *wnd, m_window->m_canvas);
    w->setObjectName(QString::number(wnd->GetDlgCtrlID()));
    m_window->m_widgets[wnd] = w;
  }
  // A window opened larger than its template (to show every column and row) can be made smaller
  // again: down to its template its tables scroll, below it the window scrolls.
  const CRect client =
      ui::ToPixels(CDialog3d::Units(), 0, 0, dialog.Template()->cx, dialog.Template()->cy);
  m_window->m_least = QSize(client.Width(), client.Height());
  m_window->setMinimumSize(std::min(client.Width(), kLeastWidth),
                           std::min(client.Height(), kLeastHeight));
  Sync();
  PlaceOverOpener();
  RestorePlace();
  m_window->show();
}

void QtDialogView::RememberPlaces(const std::filesystem::path& file) {
  TheViews().places = file.empty() ? nullptr : std::make_unique<WindowPlaces>(file);
}

// As the person left it: the size as large as the template at least, the place only where a
// screen still shows it (a screen may have gone since).
void QtDialogView::RestorePlace() {
  const auto place = TheViews().places
                         ? TheViews().places->Find(m_window->objectName().toStdString())
                         : std::nullopt;
  if (!place) return;
  const QSize least = m_window->minimumSize();
  m_window->resize(std::max(place->width, least.width()), std::max(place->height, least.height()));
  const QRect at(place->x, place->y, place->width, place->height);
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(at)) {
      m_window->move(at.topLeft());
      break;
    }
}

void QtDialogView::KeepPlace() {
  if (!TheViews().places || !m_window->isVisible()) return;
  const QPoint at = m_window->pos();
  TheViews().places->Set(m_window->objectName().toStdString(),
                         {at.x(), at.y(), m_window->width(), m_window->height()});
  std::string error;
  if (!TheViews().places->Save(error))
    qWarning("canhost: the places of the windows are not kept: %s", error.c_str());
}

// A window of its opener (the opening dialog's, else the main window's): it stays in front of it
// and opens centred on it; without either, centred on the screen.
void QtDialogView::PlaceOverOpener() {
  QWidget* opener = TheViews().mainWindow;
  for (QtDialogView* view : TheViews().open)
    if (&view->m_dialog == m_dialog.Opener()) opener = view->m_window;
  m_window->setParent(opener, Qt::Dialog);
  QRect area = opener ? opener->frameGeometry() : QRect();
  if (!opener && m_window->screen()) area = m_window->screen()->availableGeometry();
  if (area.isValid())
    m_window->move(area.x() + (area.width() - m_window->width()) / 2,
                   area.y() + (area.height() - m_window->height()) / 2);
}

void QtDialogView::SetMainWindow(QWidget* window) {
  // Windows of a main window that goes are taken from it before Qt deletes its children.
  for (QtDialogView* view : TheViews().open) {
    if (TheViews().mainWindow == nullptr || view->m_window->parentWidget() != TheViews().mainWindow)
      continue;
    const bool shown = view->m_window->isVisible();
    view->m_window->setParent(window, Qt::Dialog);
    view->m_window->setVisible(shown);
  }
  TheViews().mainWindow = window;
}

QtDialogView::~QtDialogView() {
  KeepPlace();
  std::erase(TheViews().open, this);
  // The windows this one opened stay, passed to its own opener (Qt would delete them with it).
  for (QtDialogView* view : TheViews().open) {
    if (view->m_window->parentWidget() != m_window) continue;
    const QPoint at = view->m_window->pos();
    view->m_window->setParent(m_window->parentWidget(), Qt::Dialog);
    view->m_window->move(at);
    view->m_window->show();
  }
  // A dialog destroyed while open loses its list members before its base takes the view down:
  // hiding must not read them.
  for (auto& [wnd, w] : m_window->m_widgets)
    if (auto* list = dynamic_cast<QtListView*>(w)) list->Detach();
  m_window->Detach();
  m_window->hide();
  m_window->deleteLater();
}

void QtDialogView::Changed(CWnd*) {
  if (m_pending) return;
  m_pending = true;
  QTimer::singleShot(0, m_window, [w = m_window] {
    if (w->m_view && w->m_view->m_pending) w->m_view->Sync();
  });
}

void QtDialogView::Raise() {
  m_window->raise();
  m_window->activateWindow();
}

QWidget* QtDialogView::Widget() const {
  return m_window;
}

void QtDialogView::Sync() {
  m_pending = false;
  ++m_redraws;
  m_window->m_syncing = true;
  const CRect client = m_dialog.ClientRect();
  const QSize size(client.Width(), client.Height());
  m_window->m_canvas->resize(size);
  // The model sized itself (its content at opening): the window takes that size. After the
  // person resized the window the model follows it, down to the template, and the window stays.
  if (size != m_window->m_client && !m_window->m_windowDriven && m_window->size() != size)
    m_window->resize(size);
  m_window->m_client = size;
  m_window->m_windowDriven = false;
  for (auto& [wnd, w] : m_window->m_widgets)
    SyncWidget(*wnd, w);
  m_window->m_syncing = false;
}

}  // namespace ui::qt

namespace ui::qt {

void QtDialogView::Click(int id) {
  if (auto* button = m_window->findChild<QPushButton*>(QString::number(id))) button->click();
}

std::vector<QtDialogView*> QtDialogView::Open() {
  return TheViews().open;
}

QtDialogView* QtDialogView::Top() {
  return TheViews().open.empty() ? nullptr : TheViews().open.back();
}

}  // namespace ui::qt
