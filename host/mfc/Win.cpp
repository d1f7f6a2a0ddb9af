#include "host/mfc/Win.h"

#include <mutex>

#include "host/services/Host.h"
#include "host/services/HostClock.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
struct Responder {
  std::mutex mutex;
  mfc::MessageBoxResponder answer;  // empty: every box is answered IDOK
};
Responder& TheResponder() {
  return host::CurrentHost().Get<Responder>();
}
}  // namespace

DWORD GetTickCount() {
  return host::TickCountMs();
}

int AfxMessageBox(const wchar_t* text, UINT type) {
  const CString message(text);
  PrWin::Output((L"Message box: " + message.str() + L"\n").c_str(), PrWin::kCategoryError,
                PrWin::kStyleNotice);
  mfc::MessageBoxResponder responder;
  {
    auto& current = TheResponder();
    std::lock_guard lock(current.mutex);
    responder = current.answer;
  }
  return responder ? responder(message, type) : IDOK;
}

namespace mfc {
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  auto& current = TheResponder();
  std::lock_guard lock(current.mutex);
  std::swap(current.answer, responder);
  return responder;
}
}  // namespace mfc
