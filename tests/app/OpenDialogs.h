#pragma once
// The dialogs a session opens, found without a window: a view that shows nothing and keeps the
// list of the dialogs displayed, for tests that act as the person behind the window. [ui] only.
#include <algorithm>
#include <memory>
#include <vector>

#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "host/ui/IDialogView.h"

namespace testing_support {

class OpenDialogs {
 public:
  OpenDialogs() {
    CDialog3d::SetViewFactory([this](CDialog3d& dialog) -> std::unique_ptr<IDialogView> {
      return std::make_unique<View>(*this, dialog);
    });
  }
  // Dialogs still open keep their views, which forget this list.
  ~OpenDialogs() {
    CDialog3d::SetViewFactory({});
    for (View* view : m_views)
      view->m_owner = nullptr;
  }
  OpenDialogs(const OpenDialogs&) = delete;
  OpenDialogs& operator=(const OpenDialogs&) = delete;

  // The open dialogs of template `id`, oldest first.
  std::vector<CDialog3d*> All(int templateId) const {
    std::vector<CDialog3d*> found;
    for (const View* view : m_views)
      if (view->m_dialog->Template() && view->m_dialog->Template()->id == templateId)
        found.push_back(view->m_dialog);
    return found;
  }
  // The last opened dialog of template `id`, or null.
  CDialog3d* Find(int templateId) const {
    const auto all = All(templateId);
    return all.empty() ? nullptr : all.back();
  }
  // Control `id` of `dialog` as the host's list, or null.
  static CXListCtrl* List(CDialog3d& dialog, int id) {
    return dynamic_cast<CXListCtrl*>(dialog.GetDlgItem(id));
  }

 private:
  struct View : IDialogView {
    View(OpenDialogs& owner, CDialog3d& dialog) : m_owner(&owner), m_dialog(&dialog) {
      m_owner->m_views.push_back(this);
    }
    ~View() override {
      if (m_owner) std::erase(m_owner->m_views, this);
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    void Changed(CWnd* /*control*/) override {}
    void Raise() override {}

    OpenDialogs* m_owner;  // null once the list has gone
    CDialog3d* m_dialog;
  };

  std::vector<View*> m_views;  // open, oldest first
};

}  // namespace testing_support
