#pragma once
// The host's main window on Qt (no Qt types here, so the host application stays free of them).
#include <string>

namespace ui {
class IMainWindowModel;
}

namespace ui::qt {

// [ui] Shows the main window of `model` and runs until it is closed; returns the exit code (1 when
// the settings could not be saved). Its title names the settings folder; its menu bar has File
// (Open log..., CAN channels..., Settings folder..., Quit), View (the summary, the signal and
// message tabs and the log pane shown or hidden) and Help (the model's help sections, About with
// its version). Below the live summary, the signals and the message list share tabs; below them
// the log pane shows the model's log (errors and warnings highlighted, newest at the bottom); a
// refused Start says why beside the Start button and in the log. `actions` are steps run one
// after the other once the window shows, separated by ';', for demonstrations and tests:
//   "settings 0"   opens module 0's settings dialog
//   "channels"     opens the window of the CAN driver's channels (modal: the steps after it run
//                  while it shows, "click 1" closes it by OK)
//   "click 2005"   clicks button 2005 of the dialog opened last
//   "open LOG DBC" File > Open log... with these files (DBC optional; no blanks in the paths)
//   "help" "about" "folder"  Help > Help, Help > About, File > Settings folder... ("dismiss"
//                  closes the box of the last two)
//   "start" "stop" starts / stops the measurement
//   "wait 2.5"     lets 2.5 s pass before the next step
//   "signals /tmp/s.txt"  writes the signal table as text (QtSignalView::WriteTable)
//   "messages [TEXT]"     shows the message list, filtered by TEXT (none: every message)
//   "select 3"     shows the message list with its row 3 (from 0) selected
//   "tab signals"  shows the tab of that title (signals, messages)
//   "chart PID"    ticks signal PID of the message selected in the message list: it is charted
//   "zoom 2 4.5"   the chart shows 2 s to 4.5 s of the run (no longer following live)
//   "cursor 3.2"   the chart's cursor at 3.2 s, as the mouse puts it
//   "readout /tmp/r.txt"  writes the values at the cursor: a line per charted signal, its name,
//                  value and unit, and "stale" when the value no longer held then, tab-separated
//   "follow"       the chart follows the measurement live again
//   "export /tmp/c.png"   writes the chart as a picture, or its visible data (a name in .csv)
//   "shot /tmp/a"  writes /tmp/a-main.png, /tmp/a-dialog<template>.png of each open dialog,
//                  /tmp/a-messagebox.png of a message box on the screen and /tmp/a-help.png of
//                  the help window when it shows
//   "dismiss"      presses OK on the message box on the screen
//   "quit"         closes the main window (stops, saves)
int RunMainWindow(IMainWindowModel& model, const std::string& actions = {});

// [ui] Whether `actions` reads as steps of RunMainWindow: every verb known, "settings", "click"
// and "select" with a whole number, "wait" with seconds from 0 to 86400. False with one line in
// `error` quoting the step ("wait -5": the time to wait is not 0 to 86400 seconds).
bool CheckActions(const std::string& actions, std::string& error);

// [any] Closes the main window as the user would (the measurement stops, the settings are saved),
// from any thread: at once when it shows, or as soon as RunMainWindow shows it.
void CloseMainWindow();

}  // namespace ui::qt
