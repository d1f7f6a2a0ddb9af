#include <cstdio>

#include "app/Commands.h"
#include "host/mfc/Text.h"
#include "host/module/ModuleRegistry.h"
#include "host/module/PluginLoader.h"

namespace app {

int RunModules(const std::vector<std::string>& args) {
  const Command& self = Commands().front();
  std::string plugin = host::PluginLoader::DefaultPluginPath();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--plugin" && i + 1 < args.size()) {
      plugin = args[++i];
    } else {
      return UsageError(self, "unknown option " + mfc::QuoteToken(args[i]));
    }
  }
  host::PluginLoader loader;
  if (!loader.Load(plugin)) {
    std::fprintf(stderr, "canhost: %s\n", loader.error().c_str());
    return kExitError;
  }
  for (const auto& name : host::ModuleRegistry::Instance().Names())
    std::printf("%s\n", name.ToUtf8().c_str());
  return kExitOk;
}

}  // namespace app
