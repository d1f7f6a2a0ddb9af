#pragma once
// The host's command dispatcher: modules subscribe to named host commands ("mcStartAudioSources")
// and the host broadcasts them.
#include <functional>
#include <mutex>
#include <vector>

#include "host/mfc/CString.h"

class CCommandDispatcherClient;

class CCommandDispatcher {
 public:
  // Handler of one command: (arguments, context given at subscription) -> result.
  using Handler = std::function<int(const CString& args, void* context)>;

  // [ui] Subscribes `client` to `command`. `owner` is the subscribing module's key (for traces).
  bool AddClient(const CString& command, CCommandDispatcherClient* client, Handler handler,
                 const CString& owner, void* context);
  // [ui] Drops every subscription of the client (its destructor does this).
  void RemoveClient(const CCommandDispatcherClient* client);
  // [ui] Calls every handler subscribed to the command, in subscription order; returns how many
  // were called. Handlers may not subscribe or unsubscribe while they run.
  int Dispatch(const CString& command, const CString& args = CString());
  // [any] Number of subscriptions of a command (diagnostics and tests).
  int ClientCount(const CString& command) const;

  // [any] The host's dispatcher.
  static CCommandDispatcher& Host();

 private:
  struct Subscription {
    CString command;
    CCommandDispatcherClient* client;
    Handler handler;
    CString owner;
    void* context;
  };
  mutable std::mutex m_mutex;
  std::vector<Subscription> m_subscriptions;
};

class CCommandDispatcherClient {
 public:
  CCommandDispatcherClient() = default;
  CCommandDispatcherClient(const CCommandDispatcherClient&) = delete;
  CCommandDispatcherClient& operator=(const CCommandDispatcherClient&) = delete;
  virtual ~CCommandDispatcherClient();
};
