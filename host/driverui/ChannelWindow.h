#pragma once
// The window of the CAN driver's channels: while an object of this class lives,
// XeCanDriverKvaser::ShowChannelSettings opens CCanChannelsDlg modally (ui::RunModal) over the
// settings folder's candriver.conf until the person closes it. A host with windows creates one;
// headless hosts create none (the file is then edited by hand). [ui] only.
#include "host/candriver/DriverConfigModel.h"

namespace driverui {

class ChannelWindow {
 public:
  // Registers the window's resources and installs it as the channel settings responder.
  ChannelWindow();
  // Puts back the responder found at construction and unregisters the resources.
  ~ChannelWindow();
  ChannelWindow(const ChannelWindow&) = delete;
  ChannelWindow& operator=(const ChannelWindow&) = delete;

 private:
  XeCanDriverKvaser::ChannelSettingsResponder m_previous;
};

}  // namespace driverui
