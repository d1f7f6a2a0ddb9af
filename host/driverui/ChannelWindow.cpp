#include "host/driverui/ChannelWindow.h"

#include "host/driverui/CCanChannelsDlg.h"
#include "host/driverui/ChannelResources.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/ModalLoop.h"

namespace driverui {

ChannelWindow::ChannelWindow() {
  CLibMgr::RegisterResources(ChannelModule(), &ChannelResources());
  m_previous =
      XeCanDriverKvaser::SetChannelSettingsResponder([](XeCanDriverKvaser::DriverConfigModel& m) {
        CCanChannelsDlg dialog(m);
        ui::RunModal(dialog);
        return dialog.Saved();
      });
}

ChannelWindow::~ChannelWindow() {
  XeCanDriverKvaser::SetChannelSettingsResponder(std::move(m_previous));
  CLibMgr::RegisterResources(ChannelModule(), nullptr);
}

}  // namespace driverui
