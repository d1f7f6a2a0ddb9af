#include "host/obd/ObdPids.h"

#include <algorithm>
#include <cmath>

namespace XeCanAnalysis {
namespace {

constexpr std::uint8_t kServiceCurrentData = 0x01;
constexpr std::uint8_t kServiceVehicleInfo = 0x09;
constexpr std::uint8_t kPidVin = 0x02;

// One service 01 parameter: its raw value (big-endian in `bytes` bytes) from the vehicle state.
struct Pid {
  std::uint8_t pid;
  std::uint8_t bytes;
  std::uint32_t (*raw)(const DriveState& s, std::uint32_t runSeconds);
};

std::uint32_t Clamp(double value, double max) {
  return static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0, max)));
}
std::uint32_t Percent(double percent) {
  return Clamp(percent * 255.0 / 100.0, 255.0);
}

constexpr std::array<Pid, 9> kPids = {{
    {0x04, 1, [](const DriveState& s, std::uint32_t) { return Percent(s.loadPercent); }},
    {0x05, 1, [](const DriveState& s, std::uint32_t) { return Clamp(s.coolantC + 40, 255); }},
    {0x0C, 2, [](const DriveState& s, std::uint32_t) { return Clamp(s.engineRpm * 4, 65535); }},
    {0x0D, 1, [](const DriveState& s, std::uint32_t) { return Clamp(s.speedKmh, 255); }},
    {0x0F, 1, [](const DriveState& s, std::uint32_t) { return Clamp(s.intakeAirC + 40, 255); }},
    {0x11, 1, [](const DriveState& s, std::uint32_t) { return Percent(s.throttlePercent); }},
    {0x1F, 2, [](const DriveState&, std::uint32_t run) { return std::min(run, 65535u); }},
    {0x2F, 1, [](const DriveState& s, std::uint32_t) { return Percent(s.fuelPercent); }},
    {0x46, 1, [](const DriveState& s, std::uint32_t) { return Clamp(s.ambientC + 40, 255); }},
}};

// PIDs 0x00, 0x20, 0x40, ... answer which of the next 32 PIDs are supported; the last bit tells
// whether the next such range-PID is.
constexpr bool IsRangePid(std::uint8_t pid) noexcept {
  return pid % 0x20 == 0;
}
constexpr std::uint8_t kLastRangePid = 0x40;

const Pid* FindPid(std::uint8_t pid) noexcept {
  for (const Pid& p : kPids)
    if (p.pid == pid) return &p;
  return nullptr;
}

std::array<std::uint8_t, 4> SupportedBitmap(std::uint8_t base) noexcept {
  std::array<std::uint8_t, 4> bits{};
  for (unsigned n = 1; n <= 32; ++n) {
    const unsigned pid = base + n;
    if (pid <= 0xFF && ObdPidSupported(static_cast<std::uint8_t>(pid)))
      bits[(n - 1) / 8] |= static_cast<std::uint8_t>(0x80u >> ((n - 1) % 8));
  }
  return bits;
}

std::vector<std::uint8_t> Negative(std::uint8_t service, ObdNrc nrc) {
  return {kNegativeResponse, service, static_cast<std::uint8_t>(nrc)};
}

std::vector<std::uint8_t> CurrentData(std::uint8_t pid, const DriveState& state,
                                      std::uint32_t runSeconds) {
  std::vector<std::uint8_t> answer{kServiceCurrentData + kPositiveOffset, pid};
  if (IsRangePid(pid)) {
    const auto bits = SupportedBitmap(pid);
    answer.insert(answer.end(), bits.begin(), bits.end());
    return answer;
  }
  const Pid* p = FindPid(pid);
  const std::uint32_t raw = p->raw(state, runSeconds);
  for (int b = p->bytes - 1; b >= 0; --b)
    answer.push_back(static_cast<std::uint8_t>(raw >> (8 * b)));
  return answer;
}

}  // namespace

bool ObdPidSupported(std::uint8_t pid) noexcept {
  if (IsRangePid(pid)) return pid <= kLastRangePid;
  return FindPid(pid) != nullptr;
}

std::vector<std::uint8_t> ObdAnswer(std::span<const std::uint8_t> request, const DriveState& state,
                                    std::uint32_t runSeconds) {
  if (request.empty()) return {};
  const std::uint8_t service = request[0];
  if (service == kServiceCurrentData) {
    if (request.size() != 2) return Negative(service, ObdNrc::IncorrectLength);
    if (!ObdPidSupported(request[1])) return Negative(service, ObdNrc::RequestOutOfRange);
    return CurrentData(request[1], state, runSeconds);
  }
  if (service == kServiceVehicleInfo) {
    if (request.size() != 2) return Negative(service, ObdNrc::IncorrectLength);
    if (request[1] != kPidVin) return Negative(service, ObdNrc::RequestOutOfRange);
    std::vector<std::uint8_t> answer{kServiceVehicleInfo + kPositiveOffset, kPidVin, 0x01};
    answer.insert(answer.end(), kSimulatedVin.begin(), kSimulatedVin.end());
    return answer;
  }
  return Negative(service, ObdNrc::ServiceNotSupported);
}

}  // namespace XeCanAnalysis
