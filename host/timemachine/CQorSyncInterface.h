#pragma once
// The host's USB / frame synchronisation. The host has one USB time capsule (the reference of
// every time machine), one frame time capsule and one sync switch; every CQorSyncInterface object
// is a handle on them.
//
// While sync is on, the host keeps the frame capsule: start_frames() puts it on the USB time at the
// start of the first frame and advance_frame() moves it on by one frame after every frame, so
// during a frame's update its current time is the start of that frame. While sync is off the
// source plug-in advances it itself. Both capsules count 125 µs ticks with 32-bit raw values.
#include "host/timemachine/CTimeCapsule.h"

class CQorSyncInterface {
 public:
  // Length of a tick of both capsules, seconds.
  static constexpr double kTickSeconds = 0.000125;

  CQorSyncInterface() = default;
  // [ui] Drops the frame capsule's reset callback: the object that set it (normally the module
  // holding this interface) is going away.
  ~CQorSyncInterface();
  CQorSyncInterface(const CQorSyncInterface&) = delete;
  CQorSyncInterface& operator=(const CQorSyncInterface&) = delete;

  // [any] The current host's USB time capsule (owned by the host, lives as long as it); its
  // raw-time source is host::UsbTicks().
  CTimeCapsule* usb_time_capsule() const noexcept;
  // [any] The current host's frame time capsule (owned by the host, lives as long as it); no
  // raw-time source and no master: it moves only frame by frame.
  CTimeCapsule* frame_time_capsule() const noexcept;
  // [ui] Switches the host's sync on or off; returns whether it is on afterwards (false when
  // switched off, or when this host cannot synchronise).
  bool enable_sync(bool enable);

  // Host side (the frame loop of the host and tests).
  // [any] Whether sync is on.
  static bool sync_enabled() noexcept;
  // [ui] Starts the frame time line: the frame capsule is reset (its reset callback runs) with its
  // base at the current USB time; the fraction carried between frames is cleared.
  static void start_frames();
  // [processing] While sync is on, moves the frame capsule on by one frame of ticksPerFrame ticks
  // (the fractional part is carried to later frames); returns whether it moved.
  static bool advance_frame(double ticksPerFrame);
  // [ui] Whether enable_sync(true) can succeed (a host without USB sync answers false).
  static void set_sync_available(bool available);
};
