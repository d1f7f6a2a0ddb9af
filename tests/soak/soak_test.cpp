// Soak: canhost run in real time with 16 busy channels, for minutes. Nothing the buses carried may
// be lost or unaccounted, resident memory must stay flat, and the CPU the host needs is reported.
// CANHOST_SOAK_SECONDS sets the length (default 600).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/soak/BusyBuses.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

using testing_support::kBusyChannels;
using testing_support::kIdsPerGenerator;
using testing_support::kPeriodUs;
constexpr int kChannels = kBusyChannels;

double SoakSeconds() {
  const char* text = std::getenv("CANHOST_SOAK_SECONDS");
  const double seconds = text ? std::atof(text) : 600.0;
  return seconds >= 5.0 ? seconds : 600.0;
}

long RssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Every message received is delivered or still waiting: any other column counts a loss.
void ExpectNothingLostOrUnaccounted(const testing_support::RunCounts& s,
                                    double expectedPerChannel) {
  ASSERT_EQ(s.rows.size(), kChannels + 1u) << "a row per channel and the total";
  std::vector<long long> sum(s.columns.size());
  for (const auto& [label, row] : s.rows) {
    long long accounted = 0;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
      if (s.columns[i] == "received") continue;
      accounted += row[i];
      if (s.columns[i] != "delivered" && s.columns[i] != "waiting") {
        EXPECT_EQ(row[i], 0) << s.columns[i] << " of row " << label;
      }
    }
    EXPECT_EQ(s.At(label, "received"), accounted) << "row " << label;
    if (label == "total") continue;
    EXPECT_NEAR(static_cast<double>(s.At(label, "received")), expectedPerChannel,
                expectedPerChannel * 0.05)
        << "channel " << label;
    for (std::size_t i = 0; i < sum.size(); ++i)
      sum[i] += row[i];
  }
  EXPECT_EQ(s.rows.at("total"), sum);
}

}  // namespace

TEST(Soak, SixteenChannelsAtEightyPercentLoadLoseNothingAndKeepTheirMemory) {
  const double seconds = SoakSeconds();
  TempDir dir;
  testing_support::WriteBusySettings(dir / "settings");

  // SIGCHLD is waited for with a bound of a second, at which the child's memory is sampled.
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &child, nullptr);
  const pid_t pid =
      testing_support::SpawnProgram("canhost",
                                    {"run", "--settings", (dir / "settings").string(), "--seconds",
                                     std::to_string(seconds), "--quiet"},
                                    {}, (dir / "out").string(), (dir / "err").string());
  ASSERT_GT(pid, 0);
  std::vector<long> rss;  // kB, one a second
  int status = 0;
  rusage usage{};
  const timespec second{1, 0};
  // Early on, canhost is stopped for two seconds, as a suspended laptop or a starved machine would
  // stop it: what the buses carried meanwhile must still arrive, and the queues that grew for it
  // (about 30 MB) must give their memory back.
  const auto stallAt = std::max<std::size_t>(3, static_cast<std::size_t>(seconds / 10));
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (static_cast<double>(rss.size()) > seconds + 120) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      FAIL() << "canhost run did not end within two minutes of its " << seconds << " s";
    }
    if (rss.size() == stallAt) {
      kill(pid, SIGSTOP);
      const timespec stall{2, 0};
      nanosleep(&stall, nullptr);
      kill(pid, SIGCONT);
      rss.push_back(RssKb(pid));
    }
    if (sigtimedwait(&child, nullptr, &second) < 0) rss.push_back(RssKb(pid));
  }
  const std::string out = ReadFile(dir / "out");
  ASSERT_EQ(testing_support::ExitCodeOf(status), 0) << out << ReadFile(dir / "err");

  const double perChannel = seconds * kIdsPerGenerator * 1e6 / kPeriodUs;
  std::fputs(out.c_str(), stdout);
  ExpectNothingLostOrUnaccounted(testing_support::ParseRunCounts(out), perChannel);

  // Flat: after the first fifth (warm-up and the stall), the last quarter holds no more than the
  // second fifth did, give or take allocator noise. The second fifth holds little more than the
  // time before the stall: the allocator keeps a few MB of what the burst used, not all of it.
  ASSERT_GE(rss.size(), 5u);
  const auto at = [&](double fraction) {
    return rss.begin() + std::lround(fraction * static_cast<double>(rss.size()));
  };
  const long beforeStall = *std::max_element(rss.begin(), rss.begin() + stallAt);
  const long early = *std::max_element(at(0.2), at(0.4));
  const long late = *std::max_element(at(0.75), rss.end());
  EXPECT_LE(early, beforeStall + 8192) << "resident memory went from " << beforeStall
                                       << " kB before the stall to " << early << " kB after it";
  EXPECT_LE(late, early + std::max(2048L, early / 20))
      << "resident memory grew from " << early << " kB to " << late << " kB";

  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf(
      "soak: %.0f s, %d channels, %.0f messages/s; CPU %.1f %% of one core (user %ld.%02ld s, "
      "system %ld.%02ld s); RSS %ld kB before a 2 s stall, %ld kB after it, %ld kB at the end\n",
      seconds, kChannels, perChannel * kChannels / seconds, 100.0 * cpu / seconds,
      usage.ru_utime.tv_sec, usage.ru_utime.tv_usec / 10000, usage.ru_stime.tv_sec,
      usage.ru_stime.tv_usec / 10000, beforeStall, early, late);
  // The course of the resident memory in tenths of the run tells growth from a one-off peak.
  std::printf("soak: RSS kB by tenth of the run:");
  for (int tenth = 0; tenth < 10; ++tenth)
    std::printf(" %ld", *at(tenth / 10.0));
  std::printf("\n");
  RecordProperty("cpu_percent", std::to_string(100.0 * cpu / seconds));
}
