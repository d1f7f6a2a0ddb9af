#include "host/services/Host.h"

#include <cstdio>
#include <cstdlib>

namespace host {
namespace {
// The innermost live ScopedHost's host, null while the process's own host is current. The only
// mutable namespace-scope variable of the host: it is what makes one host current.
std::atomic<Host*> g_current{nullptr};

Host& ProcessHost() {
  static Host* const host = new Host;  // never destroyed, see CurrentHost()
  return *host;
}
}  // namespace

Host::Host(Host* parent) noexcept : m_parent(parent), m_root(parent ? parent->m_root : this) {}

Host::~Host() {
  DestroyAll();
}

std::size_t Host::NextSlot() noexcept {
  static std::atomic<std::size_t> next{0};
  const std::size_t slot = next.fetch_add(1);
  if (slot >= kMaxSlots) {
    std::fputs("host: more component states than Host::kMaxSlots\n", stderr);
    std::abort();
  }
  return slot;
}

void* Host::Create(std::size_t slot, MakeFn make, DestroyFn destroy) {
  std::lock_guard lock(m_mutex);
  if (void* state = m_slots[slot].load(std::memory_order_acquire)) return state;
  void* state = make(m_parent);
  m_created.push_back({slot, destroy});
  m_slots[slot].store(state, std::memory_order_release);
  return state;
}

bool Host::Adopt(std::size_t slot, void* state, DestroyFn destroy) {
  {
    std::lock_guard lock(m_mutex);
    if (m_slots[slot].load(std::memory_order_acquire) == nullptr) {
      m_created.push_back({slot, destroy});
      m_slots[slot].store(state, std::memory_order_release);
      return true;
    }
  }
  destroy(state);
  return false;
}

void Host::DestroyAll() {
  for (;;) {
    Created last{};
    void* state = nullptr;
    {
      std::lock_guard lock(m_mutex);
      if (m_created.empty()) return;
      last = m_created.back();
      m_created.pop_back();
      state = m_slots[last.slot].exchange(nullptr, std::memory_order_acq_rel);
    }
    last.destroy(state);
  }
}

Host& CurrentHost() noexcept {
  Host* const current = g_current.load(std::memory_order_acquire);
  return current ? *current : ProcessHost();
}

ScopedHost::ScopedHost()
    : m_previous(g_current.load(std::memory_order_acquire)), m_host(&CurrentHost()) {
  g_current.store(&m_host, std::memory_order_release);
}

ScopedHost::~ScopedHost() {
  m_host.DestroyAll();
  g_current.store(m_previous, std::memory_order_release);
}

}  // namespace host
