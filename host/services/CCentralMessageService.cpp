#include "host/services/CCentralMessageService.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/services/Host.h"
#include "host/services/HostClock.h"

namespace {

struct Regular {
  std::function<void()> callback;
  std::int64_t intervalNs = 0;
  bool coalesce = true;
  std::int64_t nextDueNs = 0;  // guarded by State::mutex
  bool active = true;          // guarded by State::mutex
};

struct State {
  std::mutex mutex;
  std::deque<std::function<void()>> messages;
  std::map<std::uint32_t, std::shared_ptr<Regular>> regulars;
  std::uint32_t lastId = 0;
  std::thread::id uiThread;
  std::function<void()> wakeUp;
};

State& Get() {
  return host::CurrentHost().Get<State>();
}

}  // namespace

void CCentralMessageService::ScheduleMessage(std::function<void()> message, bool async) {
  if (!message) return;
  State& s = Get();
  std::function<void()> wakeUp;
  {
    std::lock_guard lock(s.mutex);
    if (async || s.uiThread != std::this_thread::get_id()) {
      s.messages.push_back(std::move(message));
      wakeUp = s.wakeUp;
      message = nullptr;
    }
  }
  if (message) {
    message();
  } else if (wakeUp) {
    wakeUp();
  }
}

std::uint32_t CCentralMessageService::RegisterRegularCallback(std::function<void()> callback,
                                                              unsigned intervalMs, bool coalesce) {
  auto regular = std::make_shared<Regular>();
  regular->callback = std::move(callback);
  regular->intervalNs = static_cast<std::int64_t>(intervalMs) * 1'000'000;
  regular->coalesce = coalesce;
  regular->nextDueNs = host::HostClock().now_ns() + regular->intervalNs;
  State& s = Get();
  std::lock_guard lock(s.mutex);
  do {
    ++s.lastId;
  } while (s.lastId == 0 || s.regulars.count(s.lastId));
  s.regulars.emplace(s.lastId, std::move(regular));
  return s.lastId;
}

void CCentralMessageService::UnRegisterRegularCallback(std::uint32_t id) {
  State& s = Get();
  std::lock_guard lock(s.mutex);
  const auto it = s.regulars.find(id);
  if (it == s.regulars.end()) return;
  it->second->active = false;
  s.regulars.erase(it);
}

std::size_t CCentralMessageService::Pump() {
  State& s = Get();
  std::deque<std::function<void()>> messages;
  {
    std::lock_guard lock(s.mutex);
    s.uiThread = std::this_thread::get_id();
    messages.swap(s.messages);
  }
  std::size_t ran = 0;
  for (auto& message : messages) {
    message();
    ++ran;
  }

  const std::int64_t now = host::HostClock().now_ns();
  std::vector<std::shared_ptr<Regular>> due;
  {
    std::lock_guard lock(s.mutex);
    for (const auto& [id, regular] : s.regulars)
      if (regular->nextDueNs <= now) due.push_back(regular);
  }
  for (const auto& regular : due) {
    for (;;) {
      {
        std::lock_guard lock(s.mutex);
        if (!regular->active || regular->nextDueNs > now) break;
        if (regular->intervalNs == 0) {
          regular->nextDueNs = now + 1;
        } else if (regular->coalesce) {
          regular->nextDueNs +=
              (now - regular->nextDueNs) / regular->intervalNs * regular->intervalNs;
          regular->nextDueNs += regular->intervalNs;
        } else {
          regular->nextDueNs += regular->intervalNs;
        }
      }
      if (regular->callback) regular->callback();
      ++ran;
    }
  }
  return ran;
}

std::size_t CCentralMessageService::PendingMessages() {
  State& s = Get();
  std::lock_guard lock(s.mutex);
  return s.messages.size();
}

std::function<void()> CCentralMessageService::SetWakeUp(std::function<void()> wakeUp) {
  State& s = Get();
  std::lock_guard lock(s.mutex);
  std::swap(s.wakeUp, wakeUp);
  return wakeUp;
}
