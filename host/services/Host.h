#pragma once
// One host: everything the platform keeps between calls (settings seas, log, clock, class and
// module registries, sync interface, factories, threads) lives in the Host that is current, not in
// process-wide variables. The static API the plug-in calls reaches the current host's state, so a
// test makes a fresh host with ScopedHost and leaves nothing behind for the next one.
//
// Each component keeps its state type private to its source file and reaches it with
// CurrentHost().Get<State>(): created on first use, destroyed with the host (last created first).
// Two kinds of state say how they relate to other hosts:
//   `static constexpr bool kLoadedCode = true;`  what a library's load-time initialisers register
//       (classes, modules, resources, the plug-in's dialog factories). Libraries are loaded into
//       the process, once, whichever host is current, so every host reaches the process host's.
//   `static constexpr bool kInherited = true;`   what the application installs before it opens a
//       host (the window system's units, views and choosers). A new host starts with a copy of
//       the current host's, made at its first use; a test may change its copy freely.
#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace host {

class Host {
 public:
  // Most slots any process needs; a component beyond it is a programming error caught at first use.
  static constexpr std::size_t kMaxSlots = 64;

  // `parent`: the host whose inherited states a new state copies (not owned; must outlive this
  // host), or null for the process's first host.
  explicit Host(Host* parent = nullptr) noexcept;
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // [any] The state of one component, created on first use; lives as long as the host (or until
  // DestroyAll).
  template <class T>
  T& Get() {
    if constexpr (requires { T::kLoadedCode; }) {
      if (m_root != this) return m_root->Get<T>();
    }
    const std::size_t slot = SlotOf<T>();
    if (void* state = m_slots[slot].load(std::memory_order_acquire)) return *static_cast<T*>(state);
    return *static_cast<T*>(Create(slot, &Make<T>, &Destroy<T>));
  }

  // [ui] Makes `state` this host's state of its type, a test's fake say, before anything used that
  // type in this host; false (and `state` dropped) when the host has one already.
  template <class T>
  bool Put(std::unique_ptr<T> state) {
    return Adopt(SlotOf<T>(), state.release(), &Destroy<T>);
  }

  // [ui] Destroys every state, last created first; a state a destructor asks for again is created
  // and destroyed in turn.
  void DestroyAll();

 private:
  using MakeFn = void* (*)(Host* parent);
  using DestroyFn = void (*)(void* state);
  struct Created {
    std::size_t slot;
    DestroyFn destroy;
  };

  static std::size_t NextSlot() noexcept;
  template <class T>
  static std::size_t SlotOf() noexcept {
    // Immutable once set: the index of T's slot, the same in every host.
    static const std::size_t slot = NextSlot();
    return slot;
  }
  template <class T>
  static void* Make(Host* parent) {
    if constexpr (requires { T::kInherited; }) {
      if (parent) return new T(parent->Get<T>());
    }
    return new T();
  }
  template <class T>
  static void Destroy(void* state) {
    delete static_cast<T*>(state);
  }
  void* Create(std::size_t slot, MakeFn make, DestroyFn destroy);
  bool Adopt(std::size_t slot, void* state, DestroyFn destroy);

  Host* m_parent;
  Host* m_root;  // the process host, where loaded code registers
  std::array<std::atomic<void*>, kMaxSlots> m_slots{};
  // Recursive: a state's constructor may ask for another state of the same host.
  std::recursive_mutex m_mutex;
  std::vector<Created> m_created;  // guarded by m_mutex, in creation order
};

// [any] The current host: the innermost live ScopedHost's, else the process's (created on first
// use, never destroyed: objects released during static destruction still find their host).
Host& CurrentHost() noexcept;

// A fresh host, current from construction to destruction; the host that was current before is
// current again afterwards. Its states are destroyed while it is still current, so their
// destructors reach their own host. Scopes nest; make and end them on one thread, with no other
// thread of the host still running (tests: one per test case).
class ScopedHost {
 public:
  ScopedHost();
  ~ScopedHost();
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;
  Host& host() noexcept { return m_host; }

 private:
  Host* m_previous;
  Host m_host;
};

}  // namespace host
