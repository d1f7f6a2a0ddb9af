// The main of every test program: each test case runs in a host of its own, so what one case
// leaves in the host (seas, clock, log sinks, registrations, installed fakes) never reaches the
// next, and no case resets the host by hand.
#include <gtest/gtest.h>

#include <optional>

#include "host/services/Host.h"

namespace {

// The fixture is built after OnTestStart and destroyed before OnTestEnd, so a fixture's members
// live inside the case's host.
class HostPerTestCase final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& /*info*/) override { m_host.emplace(); }
  void OnTestEnd(const ::testing::TestInfo& /*info*/) override { m_host.reset(); }
  std::optional<host::ScopedHost> m_host;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new HostPerTestCase);
  return RUN_ALL_TESTS();
}
