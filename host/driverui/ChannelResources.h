#pragma once
// The resources of the window of the CAN driver's channels (candriver.conf), registered under a
// host extension module record of its own while the window is installed (ChannelWindow).
#include "host/module/ExtensionModule.h"
#include "host/ui/DialogResource.h"

namespace driverui {

// Template id.
inline constexpr int kChannelsDialog = 30300;

// Control ids.
inline constexpr int kChIntro = 30301;
inline constexpr int kChList = 30302;
inline constexpr int kChAdd = 30303;
inline constexpr int kChRemove = 30304;
inline constexpr int kChBrowse = 30305;
inline constexpr int kGenList = 30306;
inline constexpr int kGenAdd = 30307;
inline constexpr int kGenRemove = 30308;
inline constexpr int kChStatus = 30309;

// [ui] The record the resources are registered under.
const AFX_EXTENSION_MODULE& ChannelModule();
// [any] The template (constant data).
const ui::ResourceSet& ChannelResources();

}  // namespace driverui
