#pragma once
// The host's time alignment: keeps every capsule of a list on the time line of one reference
// capsule (the USB time), in ticks of `tick` seconds.
//
// Kinds of item:
//   reference  read by poll, never corrected; the first item added with the flag is the one used.
//   clocked    a capsule with a clock (raw-time source or master), e.g. a CAN channel: read
//              by poll, aligned and made to follow its drift by capsule_set.
//   stepped    a capsule without a clock, e.g. the frame capsule that its owner advances frame by
//              frame: aligned by the first sync request after its reset (the one its reset callback
//              makes), to the reference time of that moment; then left to its owner.
//
// A frame of the acquisition thread runs poll, then (after the data of the frame is collected)
// capsule_set; sync_request may come from any thread at any time:
//   poll         reads every item's clock, the reference first, so that all readings are taken at
//                the same moment. A negative reading (clock not running) leaves that capsule as is.
//                A thread can be preempted between two readings (on a busy machine for tens of
//                ms), so a clock is read between two readings of the reference and stands for the
//                first of them; a pair more than kSteadyTicks apart is taken again, up to
//                kSteadyAttempts times. A clock never read steadily is not re-synchronised from
//                that poll (its pending sync waits for the next request).
//   capsule_set  changes the clocked capsules' offsets, all at once, so that a whole frame is
//                converted with the same offsets:
//                - a capsule not yet aligned since its reset: offset such that
//                  base + counter + offset equals the reference time read by the same poll;
//                - every aligned capsule: the estimated drift (rate x counter progress since the
//                  last frame) is added to its correction;
//                - when a sync request is pending, each aligned capsule's error
//                  e = reference - (base + counter + exact correction) is measured on the readings
//                  of this poll and the correction moves by w x e, w = max(weight, 1/n), n the
//                  number of syncs since its alignment (the running mean first, so that a fresh
//                  capsule settles within seconds, then the capsule's exponential smoothing). The
//                  drift rate is the slope of an exponentially weighted (128-sync memory) straight
//                  line through the measured offsets. An error beyond 8000 ticks (1 s) means the
//                  clock jumped: the capsule is aligned afresh.
//   sync_request marks a sync as pending (performed once by the next capsule_set, however many
//                requests came in) and aligns the stepped capsules reset since their alignment.
// A running acquisition's clocked capsules change only in capsule_set, on the acquisition thread,
// so a frame's data and the offsets it is converted with never disagree.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "host/timemachine/CTimeCapsule.h"

namespace XeTimeMachine {

class CTimeMachine {
 public:
  // Errors beyond this many ticks are clock jumps: the capsule is aligned afresh.
  static constexpr std::int64_t kRealignTicks = 8000;
  // Memory of the drift estimate, in syncs.
  static constexpr double kRateMemory = 128.0;
  // Largest drift rate believed, ticks per tick (1 %): a larger slope is a clock fault.
  static constexpr double kMaxRate = 0.01;
  // A clock's reading counts as taken at its reference reading when the reference moved by at
  // most this many ticks meanwhile; readings are taken this many times at most.
  static constexpr std::int64_t kSteadyTicks = 2;
  static constexpr int kSteadyAttempts = 5;

  // [any] tickSeconds: length of one tick of every capsule, in seconds (0.000125).
  explicit CTimeMachine(double tickSeconds);
  CTimeMachine(const CTimeMachine&) = delete;
  CTimeMachine& operator=(const CTimeMachine&) = delete;

  // [any] The tick in seconds.
  double tick() const noexcept { return m_tick; }

  // [ui] Appends an item for a capsule (not owned; must stay where it is while it is an item).
  // Returns the item's index.
  std::size_t add_item(CTimeCapsule* capsule, bool reference);
  // [ui] Removes the item at index; later items move down. False when there is none.
  bool remove_item(std::size_t index);
  // [any] Number of items.
  std::size_t item_count() const;
  // [any] The capsule of item index (not owned), or null when there is none.
  CTimeCapsule* get(std::size_t index) const;
  // [any] Whether item index carries the reference flag (false when there is none).
  bool is_reference(std::size_t index) const;

  // [processing] Reads every item's clock, the reference first.
  void poll();
  // [processing] Applies alignment, drift and a pending sync to the capsules (see above).
  void capsule_set();
  // [any] Asks for a re-synchronisation at the next capsule_set; aligns reset stepped capsules.
  void sync_request();

 private:
  struct Item {
    CTimeCapsule* capsule;
    bool reference;
    // Tracking of a clocked capsule; starts afresh when the capsule is aligned.
    bool read = false;               // the last poll read the clock
    bool steady = false;             // ... at a known reference time, readAt
    std::int64_t readAt = 0;         // reference time the last reading stands for
    bool tracked = false;            // lastCounter, anchor and fit are valid
    std::int64_t lastCounter = 0;    // counter up to which the drift has been added
    std::int64_t syncs = 0;          // syncs since the alignment (0: unknown, use the weight)
    std::int64_t anchorCounter = 0;  // counter at the alignment: origin of the fit's x
    std::int64_t anchorOffset = 0;   // needed offset at the alignment: origin of the fit's y
    double fitWeight = 0.0;          // exponentially weighted sums of the offset fit
    double meanX = 0.0;
    double meanY = 0.0;
    double sxx = 0.0;
    double sxy = 0.0;
  };

  Item* reference_item() noexcept;
  static void read(Item& item);
  void read_steadily(Item& item, Item& ref);
  void align(Item& item, std::int64_t referenceTime) noexcept;
  void follow_drift(Item& item) noexcept;
  void resync(Item& item, std::int64_t referenceTime) noexcept;

  const double m_tick;
  // Items, poll readings and the pending request. Recursive: a capsule callback run by poll may
  // ask for a sync.
  mutable std::recursive_mutex m_mutex;
  std::vector<Item> m_items;
  bool m_syncPending = false;
  bool m_pollRead = false;  // m_pollReference holds the reference time of the last poll
  std::int64_t m_pollReference = 0;
};

}  // namespace XeTimeMachine
