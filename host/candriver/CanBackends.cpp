#include "host/candriver/CanBackends.h"

#include "host/candriver/ReplayPort.h"
#include "host/candriver/SocketCanPort.h"
#include "host/candriver/VirtualPort.h"

namespace XeCanDriverKvaser::detail {
namespace {

constexpr std::array<Backend, 3> kBackends = {{
    {"virtual", &VirtualPort::Check, &VirtualPort::Open},        // a bus inside the process
    {"replay", &ReplayPort::Check, &ReplayPort::Open},           // a candump or ASC log
    {"socketcan", &SocketCanPort::Check, &SocketCanPort::Open},  // a Linux CAN interface
}};

}  // namespace

const Backend* FindBackend(std::string_view name) noexcept {
  for (const Backend& backend : kBackends)
    if (backend.name == name) return &backend;
  return nullptr;
}

std::string BackendNames() {
  std::string names;
  for (const Backend& backend : kBackends) {
    if (!names.empty()) names += ", ";
    names += backend.name;
  }
  return names;
}

}  // namespace XeCanDriverKvaser::detail
