#pragma once
// canhost ui: the host with windows.

namespace app {

inline constexpr const char* kUiUsage =
    "usage: canhost ui [--settings DIR] [--plugin PATH] [--actions STEPS]\n"
    "  Opens the host's main window: the CAN-Sources module and the CAN sink with their settings\n"
    "  dialogs, Start/Stop of a real-time measurement, its live per-channel summary and its "
    "decoded\n"
    "  signals (a table, and a plot of the ticked ones over the last 30 s), a message list per\n"
    "  channel and identifier (count, rate, last bytes with the recently changed ones\n"
    "  highlighted, the DBC signals of the selected message), and a log pane of the host's\n"
    "  errors and warnings. Closing the window stops the measurement and saves the\n"
    "  settings.\n"
    "  --settings DIR   settings folder (default: $CANHOST_SETTINGS, else ~/.config/canhost);\n"
    "                   a new folder is seeded with the default settings\n"
    "  --plugin PATH    plug-in library (default: ../lib/libcanplugin.so next to canhost)\n"
    "  --actions STEPS  steps run once the window shows, separated by ';': 'settings N' opens\n"
    "                   module N's dialog, 'click ID' clicks a button of the dialog opened last,\n"
    "                   'start', 'stop', 'wait SECONDS', 'signals FILE' writes the signal\n"
    "                   table as text, 'messages [TEXT]' shows the message list (filtered),\n"
    "                   'select N' selects its row N, 'tab NAME' shows the tab of that title,\n"
    "                   'shot PREFIX' writes PNGs of the windows (and of a message box),\n"
    "                   'dismiss' presses OK on a message box, 'quit'\n"
    "  SIGTERM, SIGHUP and Ctrl-C close the window as the user would (it stops and saves).\n"
    "  Needs a display (X11 or Wayland; QT_QPA_PLATFORM=offscreen draws nowhere).\n"
    "  Exit codes: 0 done, 1 the settings could not be read or saved (or the folder is in use),\n"
    "  2 bad arguments (also a step of --actions that does not read, as 'wait -5'), 128 + N\n"
    "  closed by signal N.\n";

}  // namespace app
