// canhost ui: the host application with its main window and the plug-in's dialogs.
#include "app/CmdUi.h"

#include <cstdio>

#include "app/CanSourceHost.h"
#include "app/Commands.h"
#include "app/RunOptions.h"
#include "app/SettingsLock.h"
#include "app/SettingsSeed.h"
#include "app/StopSignals.h"
#include "app/UiSession.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtMainWindow.h"
#include "host/ui/qt/QtUi.h"

namespace app {

namespace {

struct UiOptions {
  std::string settings;
  std::string plugin;
  std::string actions;
};

bool Parse(const std::vector<std::string>& args, UiOptions& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string* target = nullptr;
    if (args[i] == "--settings") target = &options.settings;
    if (args[i] == "--plugin") target = &options.plugin;
    if (args[i] == "--actions") target = &options.actions;
    if (!target) {
      error = "unknown argument '" + args[i] + "'";
      return false;
    }
    if (++i == args.size()) {
      error = args[i - 1] + " needs a value";
      return false;
    }
    *target = args[i];
  }
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "canhost ui: %s\n", message.c_str());
  return kExitError;
}

}  // namespace

int RunUi(const std::vector<std::string>& args) {
  const Command* self = nullptr;
  for (const auto& c : Commands())
    if (std::string(c.name) == "ui") self = &c;
  UiOptions options;
  std::string error;
  if (!Parse(args, options, error) || !ui::qt::CheckActions(options.actions, error))
    return UsageError(*self, error);
  // Before any thread starts (Qt's among them): a stop signal closes the window as the user would.
  const StopSignals signals([](int) { ui::qt::CloseMainWindow(); });

  if (!options.settings.empty()) host::SetSettingsFolder(options.settings);
  std::string command = "canhost ui";
  for (const std::string& arg : args)
    command += " " + arg;
  SettingsLock lock;
  if (!lock.Acquire(host::SettingsFolder(), command, error)) return Fail(error);
  const SettingsSeed::Result seeded = SettingsSeed::Seed(host::SettingsFolder(), error);
  if (seeded == SettingsSeed::Result::Failed || !CanSourceHost::SettingsLoad(error))
    return Fail(error);

  int argc = 1;
  char name[] = "canhost";
  char* argv[] = {name, nullptr};
  ui::qt::QtUi qt(argc, argv);
  const RunOptions defaults;
  // Declared after the Qt application: the modules and their dialogs go before it.
  UiSession session(defaults.samplePeriod, defaults.samplesPerFrame);
  if (!session.Create(options.plugin, error)) return Fail(error);
  // Dialog windows open where the person left them.
  ui::qt::QtDialogView::RememberPlaces(host::SettingsFolder() / "windows.conf");
  const int status = ui::qt::RunMainWindow(session, options.actions);
  ui::qt::QtDialogView::RememberPlaces({});
  return signals.ExitStatus(status);
}

}  // namespace app
