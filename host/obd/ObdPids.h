#pragma once
// The OBD-II parameters the simulated ECU knows (service 01 "current data" with the public
// scalings, service 09 "vehicle information"), and the answer to one request's payload. The
// payload is the ISO-TP data: service byte, then parameters; an answer starts with service + 0x40,
// a refusal is 7F <service> <NRC>.
//
// Payload -> answer at DriveCycle(t):
//   01 0C    -> 41 0C A B        engine speed = (256 A + B) / 4 rpm (1600 rpm -> 19 00)
//   01 0D    -> 41 0D A          vehicle speed = A km/h
//   01 05    -> 41 05 A          coolant = A - 40 degC
//   01 00    -> 41 00 18 1A 80 03  PIDs 01..20 supported: 04 05 0C 0D 0F 11 1F, and 20
//   01 20    -> 41 20 00 02 00 01  PIDs 21..40: 2F, and 40
//   01 40    -> 41 40 04 00 00 00  PIDs 41..60: 46
//   09 02    -> 49 02 01 + 17 characters of the VIN (20 bytes: a multi-frame answer)
//   01 0A    -> 7F 01 31         PID not supported: request out of range
//   01       -> 7F 01 13         no PID: incorrect message length
//   22 F1 90 -> 7F 22 11         service not supported
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "host/obd/ObdDriveCycle.h"

namespace XeCanAnalysis {

// Negative response codes (ISO 14229-1) the ECU gives.
enum class ObdNrc : std::uint8_t {
  ServiceNotSupported = 0x11,
  IncorrectLength = 0x13,
  RequestOutOfRange = 0x31,
};

inline constexpr std::uint8_t kNegativeResponse = 0x7F;
inline constexpr std::uint8_t kPositiveOffset = 0x40;
inline constexpr std::string_view kSimulatedVin = "WVZSM49N8TR031572";  // no 'A': see obd2.dbc
static_assert(kSimulatedVin.size() == 17);

// [any] True when service 01 answers `pid`.
bool ObdPidSupported(std::uint8_t pid) noexcept;

// [any] The answer payload to a request payload at the vehicle state `state`, `runSeconds` after
// the engine started. Empty for an empty request.
std::vector<std::uint8_t> ObdAnswer(std::span<const std::uint8_t> request, const DriveState& state,
                                    std::uint32_t runSeconds);

}  // namespace XeCanAnalysis
