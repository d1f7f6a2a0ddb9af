#include "host/module/CCommandDispatcher.h"

#include "host/services/Host.h"

bool CCommandDispatcher::AddClient(const CString& command, CCommandDispatcherClient* client,
                                   Handler handler, const CString& owner, void* context) {
  if (!client || !handler || command.IsEmpty()) return false;
  std::lock_guard lock(m_mutex);
  m_subscriptions.push_back({command, client, std::move(handler), owner, context});
  return true;
}

void CCommandDispatcher::RemoveClient(const CCommandDispatcherClient* client) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_subscriptions, [&](const Subscription& s) { return s.client == client; });
}

int CCommandDispatcher::Dispatch(const CString& command, const CString& args) {
  std::vector<Subscription> matching;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& s : m_subscriptions)
      if (s.command == command) matching.push_back(s);
  }
  for (const auto& s : matching)
    s.handler(args, s.context);
  return static_cast<int>(matching.size());
}

int CCommandDispatcher::ClientCount(const CString& command) const {
  std::lock_guard lock(m_mutex);
  int n = 0;
  for (const auto& s : m_subscriptions)
    n += s.command == command ? 1 : 0;
  return n;
}

CCommandDispatcher& CCommandDispatcher::Host() {
  return host::CurrentHost().Get<CCommandDispatcher>();
}

CCommandDispatcherClient::~CCommandDispatcherClient() {
  CCommandDispatcher::Host().RemoveClient(this);
}
