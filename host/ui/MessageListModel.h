#pragma once
// The message list without the window: one row per channel and identifier of the latest
// MessageSnapshot, with the name its channel's DBC file gives it, filtered by text and sorted by a
// column. The view asks for rows, cell texts and how strongly each data byte is highlighted. [ui]
//
//   id 0x123            -> "123"          id 0x18FEF100 | kExtendedIdFlag -> "18FEF100 x"
//   data 01 A0 FF       -> "01 A0 FF"     rate 99.96 -> "100.0"     0.0421 s since last -> "0.042"
//   filter "fef1"       -> rows whose identifier text or name holds "FEF1" in any case
//   a byte changed at t, snapshot at t + 0.5 -> highlight 0.75; at t + 2 and later -> 0
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/ui/MessageSnapshot.h"

namespace ui {

class MessageListModel {
 public:
  enum Column { kChannel, kId, kName, kCount, kRate, kLength, kData, kSinceLast, kColumnCount };
  // A changed byte fades from full highlight to none over this much measured time.
  static constexpr double kFadeSeconds = 2.0;

  // The name of a message on a channel; "" when its channel's DBC file has none.
  using Namer = std::function<std::string(int channel, std::uint32_t id)>;

  // The names come from `namer` from now on (those already asked are forgotten).
  void SetNamer(Namer namer);
  // Shows `snapshot` (null: none). True when the rows shown, or their order, changed; false when
  // only their values did.
  bool Update(MessageSnapshotPtr snapshot);
  // Shows only the rows whose identifier text or name contains `text`, ignoring case ("": all).
  bool SetFilter(const std::string& text);
  // Orders the rows by `column`; ties by channel, then identifier.
  bool SetSort(Column column, bool ascending);

  std::size_t RowCount() const noexcept { return m_order.size(); }
  const MessageStat& Row(std::size_t row) const { return m_snapshot->rows[m_order[row]]; }
  const std::string& Name(std::size_t row) const;
  std::string Text(std::size_t row, Column column) const;
  // 1 for a byte that changed at the snapshot's time, fading to 0 over kFadeSeconds.
  double Highlight(std::size_t row, int byte) const;
  // The row showing that message, if one does.
  std::optional<std::size_t> Find(int channel, std::uint32_t id) const;
  // Measured time of the snapshot shown.
  double Seconds() const noexcept { return m_snapshot ? m_snapshot->seconds : 0.0; }

  static const char* Title(Column column);
  static std::string IdText(std::uint32_t id);
  static std::string DataText(const MessageStat& stat);

 private:
  const std::string& NameOf(const MessageStat& stat) const;
  bool Matches(const MessageStat& stat) const;
  bool Less(const MessageStat& a, const MessageStat& b) const;
  // Recomputes m_order; true when it differs from the one before.
  bool Arrange();

  Namer m_namer;
  mutable std::map<std::uint64_t, std::string> m_names;  // by channel and identifier
  MessageSnapshotPtr m_snapshot;
  std::vector<std::size_t> m_order;   // indices into m_snapshot->rows, as shown
  std::vector<std::uint64_t> m_keys;  // channel and identifier of each row shown
  std::string m_filter;               // upper case
  Column m_sortColumn = kId;
  bool m_ascending = true;
};

}  // namespace ui
