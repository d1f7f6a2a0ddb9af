#pragma once
// A value list: what a sink records for one application signal during one block. Each entry is
// (length in frames, value); an entry appended at frame f has the length f minus the frame of
// the entry before it (or f for the first), so the running sum of lengths is the entry's frame.
// Entries that end exactly at the block's length were added to complete the list, not by a value.
//
// The host turns a list into an output signal on the measurement's time line (ToSamples): the
// value in force at each frame of the block. What "in force" means is the kind's business: a hop
// list holds a step's value from its frame on, a pulse list the rate of its latest pulse.
//
// Threads: [processing] only. Appending reuses the list's storage, so once the first blocks have
// sized it, recording allocates nothing.
#include <cstdint>
#include <span>
#include <vector>

class CFueGroeListeBasis {
 public:
  struct Entry {
    std::uint32_t length;  // frames since the previous entry (or the block start)
    float value;           // the kind's stored value (hop: the value; pulse: period in frames)
  };

  // What a list's entries are: the hot path asks this instead of casting.
  enum class Kind { Pulse, Hop };

  CFueGroeListeBasis(int signal, Kind kind) noexcept : m_signal(signal), m_kind(kind) {}
  virtual ~CFueGroeListeBasis() = default;
  CFueGroeListeBasis(const CFueGroeListeBasis&) = delete;
  CFueGroeListeBasis& operator=(const CFueGroeListeBasis&) = delete;

  // [any] The application signal the list records.
  int signal() const noexcept { return m_signal; }
  // [any] Pulse list (CDzPulsListe) or hop list (CFueGroeHopListe).
  Kind kind() const noexcept { return m_kind; }
  // [processing] Empties the list, keeping its storage.
  void clear() noexcept { m_entries.clear(); }
  bool empty() const noexcept { return m_entries.empty(); }
  // [processing] Appends one entry.
  void append(std::uint32_t frames, float value) { m_entries.push_back({frames, value}); }
  // [processing] Room for `entries` entries without allocating.
  void reserve(std::size_t entries) { m_entries.reserve(entries); }
  // [any] The entries in order (owned by the list).
  std::span<const Entry> entries() const noexcept { return m_entries; }
  // [any] Sum of the entries' lengths.
  std::uint64_t total_length() const noexcept;

  // [any] The value the output signal shows for a stored value (hop: itself; pulse: rate per
  // minute at `frameRate` frames per second).
  virtual double output_value(float stored, float frameRate) const noexcept = 0;
  // [processing] The output signal of the block: out[i] is the value in force at frame i;
  // frames before the first entry's frame keep `before`. Returns the value in force at the end.
  double ToSamples(std::span<double> out, double before, float frameRate) const noexcept;

 protected:
  std::vector<Entry> m_entries;

 private:
  int m_signal;
  Kind m_kind;
};
