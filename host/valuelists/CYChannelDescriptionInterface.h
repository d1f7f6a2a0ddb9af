#pragma once
// The description of one Y channel (a value column) of a block of slow-sampling data.
class CYChannelDescriptionInterface {
 public:
  CYChannelDescriptionInterface() = default;
  explicit CYChannelDescriptionInterface(int coding) noexcept : m_coding(coding) {}
  // [any] How the column's values are coded; 8: raw bytes written by the source (CAN packets).
  int ChannelCoding() const noexcept { return m_coding; }

 private:
  int m_coding = 0;
};
