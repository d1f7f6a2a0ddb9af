#pragma once
// The table of backends: the name a channel line gives -> how to check its options and how to
// open a port on it. One backend per file behind CanPort.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "host/candriver/CanPort.h"
#include "host/candriver/DriverConfig.h"

namespace XeCanDriverKvaser::detail {

struct Backend {
  std::string_view name;
  // [ui] "" when a channel line's options suit the backend, else the reason.
  std::string (*check)(const ChannelConfig& config);
  // [ui, processing] Opens a port on the channel; null after logging why.
  std::unique_ptr<CanPort> (*open)(const ChannelConfig& config, const BusParams& params);
};

// [any] The backend of that name; null for an unknown name.
const Backend* FindBackend(std::string_view name) noexcept;
// [any] "virtual, replay, socketcan": the names for an error message.
std::string BackendNames();

}  // namespace XeCanDriverKvaser::detail
