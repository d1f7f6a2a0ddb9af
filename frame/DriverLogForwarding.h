#pragma once
// Forwarding of the CAN driver's log into the host log. Every driver line is an error-class line
// of the host log: category 1, style 3. The driver hands over lines without a line feed; one is
// appended so that each driver line is one line of the log:
//   "channel 2: bus off"    -> "channel 2: bus off\n"  (category 1, style 3)
//   "already ended\n"       -> "already ended\n"       (unchanged)

namespace can {

// [any; the driver's threads] Writes one driver log line to the host log.
void ForwardDriverLogLine(const wchar_t* line);

// [ui] Installs ForwardDriverLogLine as the driver's log function. Every CAN source calls this at
// construction; installing it again changes nothing.
void InstallDriverLogForwarding();

}  // namespace can
