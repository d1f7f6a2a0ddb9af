#pragma once
// The help window's text and the version About shows, made from the README and the project when
// the build is configured (HelpText.cmake), so the window says what the README says.
#include <string>
#include <vector>

#include "host/ui/IMainWindowModel.h"

namespace app {

// [any] The README's sections a person at the window needs: the window itself, the driver's
// channels, the log formats and the demo, in Markdown.
std::vector<ui::HelpSection> HelpSections();
// [any] "0.1".
std::string CanhostVersion();

}  // namespace app
