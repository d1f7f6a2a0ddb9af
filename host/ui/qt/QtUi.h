#pragma once
// The host's windowed mode on Qt: the application object, the dialog font and its dialog units,
// a window for every dialog displayed while it exists, modal dialogs in a nested event loop, the
// host's message boxes (AfxMessageBox) as modal boxes, the file chooser, the analysis objects'
// settings windows, the window of the CAN driver's channels, and the message service's queue
// run on the Qt main thread. Exactly one exists at a time, created on the thread that runs main.
#include <functional>
#include <memory>
#include <string>

class CDialog3d;
class CString;
class QApplication;
class QMessageBox;
class QWidget;

namespace analysisui {
class AnalysisWindows;
}
namespace driverui {
class ChannelWindow;
}

namespace ui::qt {

class QtUi {
 public:
  // [ui] `argc`/`argv` go to Qt (they must outlive the object).
  QtUi(int& argc, char** argv);
  ~QtUi();
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // [ui] Runs the event loop until Quit or the last window closes; returns the exit code.
  static int Exec();
  // [any] Ends the event loop.
  static void Quit();
  // [ui] Runs the events and queued UI messages pending now.
  static void ProcessEvents();
  // [ui] The window of an open dialog (null when it has none), redrawn from the model.
  static QWidget* Window(const CDialog3d& dialog);
  // [ui] A picture of a widget as it shows now, as PNG; false when it cannot be written.
  static bool SavePng(QWidget* widget, const std::string& path);
  // [ui] The box AfxMessageBox(text, type) shows: the text, the icon of `type` (MB_ICONWARNING,
  // MB_ICONERROR, MB_ICONINFORMATION) and OK, over `parent` (may be null). Owned by the caller.
  static std::unique_ptr<QMessageBox> MakeMessageBox(const std::wstring& text, unsigned type,
                                                     QWidget* parent);

 private:
  std::unique_ptr<QApplication> m_app;
  std::unique_ptr<analysisui::AnalysisWindows> m_windows;
  std::unique_ptr<driverui::ChannelWindow> m_channels;
  std::function<int(const CString&, unsigned)> m_previousBox;  // the message box responder before
  int m_pumpTimer = 0;
};

}  // namespace ui::qt
