#pragma once
// The seas of the current host. Each sea is one file in the settings folder
// (host/settings/SettingsFolder.h), loaded on first use and written only by SaveAll():
//   ApplicationSea() = Sea(0)  "Application.sea"  module parameters, identifier-range lists
//   MessagesSea()    = Sea(1)  "Messages.sea"     run-time state shared between modules
//   Sea(n), other n            "Sea<n>.sea"
#include <filesystem>

#include "host/mfc/CString.h"
#include "host/settings/CResourceSea.h"

class CSeaBase {
 public:
  enum seaIdx : int {
    seaApplication = 0,  // the application sea
    seaMessages = 1,     // the messages sea
  };

  // [any] The sea, loaded from the settings folder on first use; never null. The sea lives until
  // ReloadAll().
  static CResourceSea* ApplicationSea();
  static CResourceSea* MessagesSea();
  static CResourceSea* Sea(int index);
  // [any] The settings folder in force: base of relative paths, folder of the managed side.
  static CString DefaultPath();
  // [any] File of sea `index` in the settings folder in force.
  static std::filesystem::path SeaFile(int index);

  // [ui] Saves every loaded sea that changed (atomically). False if any sea could not be saved
  // (each failure is logged; refused files are left untouched).
  static bool SaveAll();
  // [ui] Drops every loaded sea without saving; the next use loads it again from the settings
  // folder then in force. Every sea, entry and list pointer handed out before becomes invalid, so
  // only a folder switch at start-up and tests call this.
  static void ReloadAll();
};
