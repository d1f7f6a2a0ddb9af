#include "app/RegionSizing.h"

#include <algorithm>
#include <cmath>

#include "frame/CanPacket.h"
#include "host/candriver/CanMessage.h"
#include "host/timemachine/CQorSyncInterface.h"

namespace app {
namespace {

// Bits of the shortest frames on the wire: standard identifier, no stuff bits, 3 bits of
// intermission. Extended identifiers only make frames longer.
//   classic   SOF, 11 id, RTR, IDE, r0, 4 DLC | data | 15 CRC, delimiter, ACK, delimiter, 7 EOF, 3
constexpr double kClassicBits = 47.0;
//   CAN FD, nominal rate: SOF, 11 id, RRS, IDE, FDF, res, BRS | ACK, delimiter, 7 EOF, 3
constexpr double kFdNominalBits = 29.0;
//   CAN FD, data rate: ESI, 4 DLC | data | 4 stuff count, CRC (17 up to 16 bytes, else 21), delim.
constexpr double kFdDataBits = 27.0;
constexpr double kFdLongCrcBits = 4.0;

constexpr double kTicksPerSecond = 1.0 / CQorSyncInterface::kTickSeconds;
constexpr double kSustainedMargin = 1.05;
constexpr double kSlackTicks = 10.0;
// Bytes the module's placement loses to rounding: positions are cut to multiples of 4.
constexpr double kRoundingBytes = 8.0;

double PacketBytes(int length) {
  return static_cast<double>(can::PacketSize(length));
}

// Densest classic frames at `rate`: a remote frame carries no data on the wire but its packet
// holds the length it asks for, so it beats every data frame.
double ClassicPeak(double rate) {
  double peak = 0.0;
  for (int n = 0; n <= 8; ++n) {
    peak = std::max(peak, PacketBytes(n) / ((kClassicBits + 8.0 * n) / rate));
    peak = std::max(peak, PacketBytes(n) / (kClassicBits / rate));  // remote, length n
  }
  return peak;
}

double FdPeak(double nominal, double data) {
  double peak = ClassicPeak(nominal);
  for (const std::int32_t n : XeCanDriverKvaser::kFdLengths) {
    const double dataBits = kFdDataBits + 8.0 * n + (n > 16 ? kFdLongCrcBits : 0.0);
    peak = std::max(peak, PacketBytes(n) / (kFdNominalBits / nominal + dataBits / data));
  }
  return peak;
}

}  // namespace

double RegionSizing::PeakBytesPerSecond(const BusParams& bus) noexcept {
  if (!bus.fd) return bus.bitrate > 0 ? ClassicPeak(bus.bitrate) : 0.0;
  if (bus.arbitration <= 0) return 0.0;
  // Without bit-rate switch the data phase runs at the nominal rate; never slower.
  return FdPeak(bus.arbitration, std::max(bus.data, bus.arbitration));
}

unsigned RegionSizing::FloatsPerSample(std::span<const BusParams> channels,
                                       double samplePeriod) noexcept {
  double perTick = 0.0;  // peak bytes per tick of all channels
  double burst = 0.0;    // one tick and one largest packet of every channel
  double largest = 0.0;
  for (const BusParams& bus : channels) {
    const double peak = PeakBytesPerSecond(bus) / kTicksPerSecond;
    if (peak <= 0.0) continue;
    const double packet = PacketBytes(bus.fd ? can::kMaxPacketData : 8);
    perTick += peak;
    burst += peak + packet;
    largest = std::max(largest, packet);
  }
  if (perTick <= 0.0 || !(samplePeriod > 0.0)) return 0;
  const double bytesPerTick =
      std::max(kSustainedMargin * perTick, (burst + largest + kRoundingBytes) / kSlackTicks);
  const double floats = std::ceil(bytesPerTick * kTicksPerSecond * samplePeriod / 4.0);
  return floats < 1e9 ? static_cast<unsigned>(floats) : 0u;
}

}  // namespace app
