#include "host/ui/qt/QtUi.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include "host/analysisui/AnalysisWindows.h"
#include "host/driverui/ChannelWindow.h"
#include "host/mfc/Win.h"
#include "host/services/CCentralMessageService.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "host/ui/FileChooser.h"
#include "host/ui/ModalLoop.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtListView.h"

namespace ui::qt {

namespace {

// The regular callbacks of the message service are due by the host clock; the queue is also
// woken at once when something is scheduled, so this only bounds their lateness.
constexpr int kPumpIntervalMs = 10;

// Dialog units from the font as the dialog manager of the original platform measures them: the
// average width of the 52 Latin letters, and the line height.
DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics fm(font);
  const int letters =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(letters / 26 + 1) / 2, fm.height()};
}

// A modal dialog blocks the other windows and runs a nested event loop until its model closes it,
// or the application is told to end (QApplication::exit ends every loop; RunModal then cancels).
void RunModalLoop(CDialog3d& dialog) {
  QWidget* window = QtUi::Window(dialog);
  if (!window) return;
  window->hide();
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
    if (!dialog.IsOpen()) loop.quit();
  });
  watch.start(kPumpIntervalMs);
  loop.exec();
}

bool ChooseFile(const FileRequest& request, CString& chosen) {
  const QString start = request.initial.IsEmpty()
                            ? QString::fromStdString(host::SettingsFolder().string())
                            : QString::fromStdWString(request.initial.str());
  const QString file = QFileDialog::getOpenFileName(
      QApplication::activeWindow(), QString::fromStdWString(request.title.str()), start,
      QString::fromStdWString(request.filter.str()));
  if (file.isEmpty()) return false;
  chosen = CString(file.toStdWString());
  return true;
}

}  // namespace

QtUi::QtUi(int& argc, char** argv) : m_app(std::make_unique<QApplication>(argc, argv)) {
  // The size of the classic dialog font: the pixel widths dialogs give their list columns were
  // chosen for it.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(8);
  QApplication::setFont(font);
  CDialog3d::SetDialogUnits(UnitsOf(font));
  QStyle* style = QApplication::style();
  const int frame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
  QTableWidget probe(1, 1);  // the header a list view of this font and style has
  probe.setHorizontalHeaderLabels({QStringLiteral("Title")});
  CXListCtrl::SetMeasure({[metrics = QFontMetrics(font)](const CString& text) {
                            return metrics.horizontalAdvance(QString::fromStdWString(text.str()));
                          },
                          frame + style->pixelMetric(QStyle::PM_ScrollBarExtent),
                          QtListView::RowHeight(QFontMetrics(font)),
                          probe.horizontalHeader()->sizeHint().height(), frame});
  CDialog3d::SetViewFactory([](CDialog3d& dialog) -> std::unique_ptr<IDialogView> {
    return std::make_unique<QtDialogView>(dialog);
  });
  QApplication* app = m_app.get();
  CCentralMessageService::SetWakeUp([app] {
    QMetaObject::invokeMethod(
        app, [] { CCentralMessageService::Pump(); }, Qt::QueuedConnection);
  });
  auto* timer = new QTimer(app);
  QObject::connect(timer, &QTimer::timeout, app, [] { CCentralMessageService::Pump(); });
  timer->start(kPumpIntervalMs);
  SetModalLoop(RunModalLoop);
  SetFileChooser(ChooseFile);
  m_previousBox = mfc::SetMessageBoxResponder([](const CString& text, UINT type) {
    const auto box = MakeMessageBox(text.str(), type, QApplication::activeWindow());
    box->exec();
    return IDOK;
  });
  m_windows = std::make_unique<analysisui::AnalysisWindows>();
  m_channels = std::make_unique<driverui::ChannelWindow>();
}

QtUi::~QtUi() {
  m_channels.reset();
  m_windows.reset();
  mfc::SetMessageBoxResponder(std::move(m_previousBox));
  SetFileChooser({});
  SetModalLoop({});
  CCentralMessageService::SetWakeUp({});
  CDialog3d::SetViewFactory({});
  CDialog3d::SetDialogUnits(DialogUnits{});
  CXListCtrl::SetMeasure({});
  QApplication::processEvents();
  m_app.reset();
}

int QtUi::Exec() {
  return QApplication::exec();
}

void QtUi::Quit() {
  // exit, not quit: quit first asks every window to close, and the window of an open dialog
  // leaves closing to its model, which would cancel the quit.
  QMetaObject::invokeMethod(
      qApp, [] { QApplication::exit(0); }, Qt::QueuedConnection);
}

void QtUi::ProcessEvents() {
  QApplication::processEvents();
  CCentralMessageService::Pump();
  QApplication::processEvents();
}

QWidget* QtUi::Window(const CDialog3d& dialog) {
  auto* view = dynamic_cast<QtDialogView*>(dialog.View());
  if (!view) return nullptr;
  view->Sync();
  return view->Widget();
}

bool QtUi::SavePng(QWidget* widget, const std::string& path) {
  return widget && widget->grab().save(QString::fromStdString(path), "PNG");
}

std::unique_ptr<QMessageBox> QtUi::MakeMessageBox(const std::wstring& text, unsigned type,
                                                  QWidget* parent) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (type & 0xF0U) {
    case MB_ICONWARNING:
      icon = QMessageBox::Warning;
      break;
    case MB_ICONERROR:
      icon = QMessageBox::Critical;
      break;
    case MB_ICONINFORMATION:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  auto box = std::make_unique<QMessageBox>(icon, QStringLiteral("canhost"),
                                           QString::fromStdWString(text), QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("messagebox"));
  return box;
}

}  // namespace ui::qt
