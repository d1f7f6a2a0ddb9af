#pragma once
// The Qt window of one open dialog model: one widget per control at the model's pixel rectangle,
// redrawn from the model after each change (coalesced to one redraw per event loop pass), and the
// person's input handed to the model.
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "host/ui/IDialogView.h"

class CDialog3d;
class QWidget;

namespace ui::qt {

class DialogWindow;

class QtDialogView : public IDialogView {
 public:
  explicit QtDialogView(CDialog3d& dialog);
  ~QtDialogView() override;
  void Changed(CWnd* control) override;
  void Raise() override;
  // The dialog's top-level widget (tests grab it to a picture).
  QWidget* Widget() const;
  // The model it shows.
  CDialog3d& Dialog() const noexcept { return m_dialog; }
  // [ui] Redraws at once from the model.
  void Sync();
  // [ui] Redraws since the window opened (how live a view is, for measurements).
  int Redraws() const noexcept { return m_redraws; }
  // [ui] A person clicks button `id` of the window.
  void Click(int id);
  // [ui] The views alive now, oldest first; the last opened, or null.
  static std::vector<QtDialogView*> Open();
  static QtDialogView* Top();
  // [ui] The host's main window, which the dialogs it opens belong to; null: none.
  static void SetMainWindow(QWidget* window);
  // [ui] Keeps each dialog window's place and size in `file` (WindowPlaces.h) when it closes, and
  // opens it there again (its size at least its template's; its place only when that is on a
  // screen). Empty: nothing is kept (tests, unless they ask).
  static void RememberPlaces(const std::filesystem::path& file);

 private:
  friend class DialogWindow;
  void PlaceOverOpener();
  void RestorePlace();
  void KeepPlace();
  CDialog3d& m_dialog;
  DialogWindow* m_window;  // owned by Qt; deleted later when the view goes
  bool m_pending = false;
  int m_redraws = 0;
};

}  // namespace ui::qt
