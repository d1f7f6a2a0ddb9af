#include "host/mfc/Win.h"

#include <mutex>

#include "host/services/HostClock.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
std::mutex g_responderMutex;
mfc::MessageBoxResponder g_responder;
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
    std::lock_guard lock(g_responderMutex);
    responder = g_responder;
  }
  return responder ? responder(message, type) : IDOK;
}

namespace mfc {
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  std::lock_guard lock(g_responderMutex);
  std::swap(g_responder, responder);
  return responder;
}
}  // namespace mfc
