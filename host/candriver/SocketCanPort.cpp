#include "host/candriver/SocketCanPort.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

#include "host/candriver/DriverLog.h"
#include "host/mfc/CString.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {
namespace {

void Report(int channel, const std::string& text) {
  Log(L"candriver: channel " + std::to_wstring(channel) + L": " + mfc::WidenUtf8(text));
}

bool SetFilter(int socket, bool all) {
  const can_filter everything{0, 0};
  return setsockopt(socket, SOL_CAN_RAW, CAN_RAW_FILTER, all ? &everything : nullptr,
                    all ? sizeof everything : 0) == 0;
}

}  // namespace

std::string SocketCanPort::Check(const ChannelConfig& config) {
  std::string error = config.options.CheckKnown({"interface"});
  const std::string* name = config.options.Find("interface");
  if (error.empty() && (!name || name->empty() || name->size() >= IFNAMSIZ))
    error = "a socketcan channel needs interface=<name of at most 15 characters>";
  return error;
}

std::unique_ptr<CanPort> SocketCanPort::Open(const ChannelConfig& config, const BusParams& params) {
  const std::string& name = *config.options.Find("interface");
  const unsigned index = if_nametoindex(name.c_str());
  if (index == 0) {
    Report(config.channel, "SocketCAN interface '" + name + "' not found");
    return nullptr;
  }
  const int s = socket(PF_CAN, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, CAN_RAW);
  if (s < 0) {
    Report(config.channel,
           "cannot open a CAN socket for '" + name + "': " + std::system_category().message(errno));
    return nullptr;
  }
  std::string problem;
  if (params.fd) {
    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    const int on = 1;
    if (ioctl(s, SIOCGIFMTU, &request) < 0 || request.ifr_mtu != CANFD_MTU ||
        setsockopt(s, SOL_CAN_RAW, CAN_RAW_FD_FRAMES, &on, sizeof on) != 0)
      problem = "SocketCAN interface '" + name + "' is not CAN FD capable";
  }
  sockaddr_can address{};
  address.can_family = AF_CAN;
  address.can_ifindex = static_cast<int>(index);
  if (problem.empty() &&
      (!SetFilter(s, false) ||
       bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0))
    problem = "cannot bind to SocketCAN interface '" + name +
              "': " + std::system_category().message(errno);
  const int event = problem.empty() ? eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC) : -1;
  if (problem.empty() && event < 0)
    problem = std::string("eventfd: ") + std::system_category().message(errno);
  if (!problem.empty()) {
    Report(config.channel, problem);
    close(s);
    return nullptr;
  }
  return std::make_unique<SocketCanPort>(config.channel, params, config.clock, s, event, name);
}

SocketCanPort::SocketCanPort(int channel, const BusParams& params, const ChannelClock& clock,
                             int socket, int event, std::string interface)
    : CanPort(channel, params, clock),
      m_socket(socket),
      m_event(event),
      m_interface(std::move(interface)) {}

SocketCanPort::~SocketCanPort() {
  close(m_socket);
  close(m_event);
}

bool SocketCanPort::DoGoOnBus() {
  if (SetFilter(m_socket, true)) return true;
  Report(channel(),
         "cannot receive on '" + m_interface + "': " + std::system_category().message(errno));
  return false;
}

void SocketCanPort::DoGoOffBus() {
  SetFilter(m_socket, false);
}

bool SocketCanPort::DoSend(const CanMessage& message) {
  canfd_frame frame{};
  frame.can_id = message.id | ((message.flags & kCanFlagExtended) ? CAN_EFF_FLAG : 0u) |
                 ((message.flags & kCanFlagRemote) ? CAN_RTR_FLAG : 0u);
  frame.len = static_cast<std::uint8_t>(message.length);
  std::size_t size = CAN_MTU;
  if (message.flags & kCanFlagFd) {
    frame.flags = static_cast<std::uint8_t>(((message.flags & kCanFlagBrs) ? CANFD_BRS : 0) |
                                            ((message.flags & kCanFlagEsi) ? CANFD_ESI : 0));
    size = CANFD_MTU;
  }
  std::memcpy(frame.data, message.data, static_cast<std::size_t>(message.length));
  if (message.flags & kCanFlagRemote) std::memset(frame.data, 0, sizeof frame.data);
  return write(m_socket, &frame, size) == static_cast<ssize_t>(size);
}

FetchResult SocketCanPort::DoFetch(CanMessage* out, std::size_t capacity) noexcept {
  FetchResult result;
  if (!onBus()) {
    // Frames that came in before the filter closed would keep the socket readable: drop them.
    canfd_frame frame;
    while (read(m_socket, &frame, sizeof frame) > 0) {
    }
    return result;
  }
  const std::int64_t start = host::HostClock().now_ns();
  result.through = std::numeric_limits<std::int64_t>::min();
  std::size_t n = 0;
  while (n < capacity) {
    canfd_frame frame{};
    const ssize_t got = read(m_socket, &frame, sizeof frame);
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        result.through = start;  // everything that had arrived when the drain began is out
      } else if (!m_readFailed) {
        m_readFailed = true;
        Report(channel(),
               "reading '" + m_interface + "' failed: " + std::system_category().message(errno));
      }
      break;
    }
    if ((got != CAN_MTU && got != CANFD_MTU) || (frame.can_id & CAN_ERR_FLAG)) continue;
    CanMessage& m = out[n];
    m = CanMessage{};
    const bool extended = frame.can_id & CAN_EFF_FLAG;
    m.id = frame.can_id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    m.flags =
        (extended ? kCanFlagExtended : 0u) | ((frame.can_id & CAN_RTR_FLAG) ? kCanFlagRemote : 0u);
    if (got == CANFD_MTU) {
      m.flags |= kCanFlagFd | ((frame.flags & CANFD_BRS) ? kCanFlagBrs : 0u) |
                 ((frame.flags & CANFD_ESI) ? kCanFlagEsi : 0u);
    }
    m.length = frame.len > 64 ? 64 : frame.len;
    if (!(m.flags & kCanFlagRemote))
      std::memcpy(m.data, frame.data, static_cast<std::size_t>(m.length));
    m.channel = channel();
    m.timestamp = clock().TicksAt(host::HostClock().now_ns());
    ++n;
  }
  result.count = n;
  return result;
}

void SocketCanPort::Wait() {
  // After a read error the socket may stay readable-with-error; only a wake ends the wait then.
  pollfd fds[2] = {{m_event, POLLIN, 0}, {m_socket, POLLIN, 0}};
  if (poll(fds, m_readFailed ? 1 : 2, -1) > 0 && (fds[0].revents & POLLIN)) {
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t ignored = read(m_event, &value, sizeof value);
  }
}

void SocketCanPort::Interrupt() noexcept {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = write(m_event, &one, sizeof one);
}

}  // namespace XeCanDriverKvaser::detail
