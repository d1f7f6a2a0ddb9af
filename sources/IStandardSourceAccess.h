#pragma once
// What the standard source's settings dialog may do with its source: read a snapshot of its
// traffic, restart the counts, read and replace the identifier range table, and see whether
// acquisition runs (OK and Apply are locked out then).
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "sources/ISettingsDialog.h"
#include "sources/IdRange.h"

class IStandardSourceAccess {
 public:
  // (ID, traffic), ascending by ID.
  using Statistics = std::vector<std::pair<int, IdStat>>;

  // [ui] A copy of the per-ID statistics.
  virtual Statistics stats_snapshot() = 0;
  // [ui] Restart the counts at the next fetch.
  virtual void request_count_reset() noexcept = 0;
  // [ui] A copy of the range table.
  virtual IdRangeList ranges() = 0;
  // [ui] Replaces the table, applies it at once to every ID and stores it. Refused (false) while
  // acquisition runs.
  virtual bool replace_ranges(IdRangeList table) = 0;
  // [any] Acquisition of the host runs.
  virtual bool running() const noexcept = 0;

 protected:
  ~IStandardSourceAccess() = default;
};

// Builds the window of one standard source; the window keeps the reference for its lifetime, which
// ends before the source's.
using StandardSourceDialogFactory =
    std::unique_ptr<ISettingsDialog> (*)(IStandardSourceAccess& source);
