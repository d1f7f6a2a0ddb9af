#include "tests/soak/BusyBuses.h"

#include <sstream>

#include "tests/support/TestSupport.h"

namespace testing_support {

void WriteBusySettings(const std::filesystem::path& dir) {
  std::ostringstream sea, conf;
  sea << "list \"CAN-Sources\"\n";
  for (int c = 0; c < kBusyChannels; ++c) {
    sea << "line \"CAN " << c << "\", \"1\", \"" << c
        << "\", \"0\", \"-2\", \"0\", \"-1000\", \"-1001\"\n";
    conf << "channel " << c << " virtual bus=b" << c << " drift=" << (c * 7 % 41) - 20 << "\n";
    conf << "generator b" << c << " id=" << std::hex << 0x100 + c << ',' << 0x200 + c << ','
         << 0x300 + c << ',' << 0x18FEF100 + c << std::dec << " period=" << kPeriodUs
         << "us phase=" << c * kPeriodUs / kBusyChannels << "us data=counter\n";
  }
  std::filesystem::create_directory(dir);
  WriteFile(dir / "Application.sea", sea.str());
  WriteFile(dir / "candriver.conf", conf.str());
}

}  // namespace testing_support
