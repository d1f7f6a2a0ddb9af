#pragma once
// What the sink needs to know of a CAN source without depending on the source kinds: that it is
// one, and its bus channel. CCanSource implements it; the sink finds it with dynamic_cast on the
// host's source object.
class CanBusSource {
 public:
  // [any] The source's driver channel; negative: the source has no channel.
  virtual int bus_channel() const noexcept = 0;

 protected:
  CanBusSource() = default;
  ~CanBusSource() = default;
  CanBusSource(const CanBusSource&) = default;
  CanBusSource& operator=(const CanBusSource&) = default;
};
