#include "app/StopSignals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <mutex>

#include "app/OutputFile.h"

namespace app {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : m_onStop(std::move(onStop)) {
  std::signal(SIGPIPE, SIG_IGN);
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, &m_previousMask);
  m_signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
  m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
  m_thread = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
  const std::uint64_t one = 1;
  if (::write(m_wakeFd, &one, sizeof one) != static_cast<ssize_t>(sizeof one)) {
    // An eventfd takes a write unless its counter is full, which one write cannot make it.
  }
  m_thread.join();
  ::close(m_signalFd);
  ::close(m_wakeFd);
}

void StopSignals::Watch() {
  pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(m_signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    const int signal = static_cast<int>(info.ssi_signo);
    int expected = 0;
    if (m_received.compare_exchange_strong(expected, signal)) {
      if (m_onStop) m_onStop(signal);
      continue;
    }
    // The second one: no frame may be left half written, then the process ends as it is.
    const bool locked = OutputFile::WriteLock().try_lock_for(kExitBound);
    (void)locked;  // held until the end: nothing writes after this
    ::_exit(128 + signal);
  }
}

int StopSignals::ExitStatus(int status) const noexcept {
  const int signal = Received();
  return status == 0 && signal != 0 ? 128 + signal : status;
}

const char* StopSignals::Name(int signal) noexcept {
  switch (signal) {
    case SIGINT:
      return "Ctrl-C";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace app
