#pragma once
// The host's central message service: work handed to the UI thread, and regular callbacks timed
// by the host clock. The UI thread is the one that calls Pump() (the runner's main loop, or a
// test); nothing runs by itself, so a test decides exactly when UI work happens.
#include <cstddef>
#include <cstdint>
#include <functional>

class CCentralMessageService {
 public:
  // [any] Queues `message` for the UI thread's next Pump. With `async` false and the caller on the
  // UI thread, the message runs at once instead.
  static void ScheduleMessage(std::function<void()> message, bool async);

  // [any] Runs `callback` from Pump each time `intervalMs` of host-clock time have passed since
  // registration (interval 0: at every Pump). When a Pump comes late, `coalesce` true runs it once
  // for all the intervals missed, false once per interval. Returns its id: never 0, not reused
  // while registered.
  static std::uint32_t RegisterRegularCallback(std::function<void()> callback, unsigned intervalMs,
                                               bool coalesce);

  // [any] Stops a regular callback; it is not started again after this returns (a run in
  // progress on the UI thread completes). 0 and unknown ids are ignored.
  static void UnRegisterRegularCallback(std::uint32_t id);

  // [ui] Runs the messages queued before the call, in order, then the regular callbacks that are
  // due, in registration order. Messages queued meanwhile wait for the next Pump. Returns how many
  // messages and callbacks ran.
  static std::size_t Pump();

  // [any] Queued messages not yet run.
  static std::size_t PendingMessages();

  // [any] `wakeUp` runs (on the scheduling thread) after each message is queued, so a UI thread
  // with its own event loop can pump at once; empty: none. Returns the previous one.
  static std::function<void()> SetWakeUp(std::function<void()> wakeUp);
};
