#include "host/settings/CSeaBase.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/services/Host.h"
#include "host/settings/SettingsFolder.h"

namespace {

struct Seas {
  std::mutex mutex;
  std::map<int, std::unique_ptr<CResourceSea>> loaded;
};

Seas& TheSeas() {
  return host::CurrentHost().Get<Seas>();
}

std::wstring SeaName(int index) {
  switch (index) {
    case CSeaBase::seaApplication:
      return L"Application";
    case CSeaBase::seaMessages:
      return L"Messages";
    default:
      return L"Sea" + std::to_wstring(index);
  }
}

}  // namespace

CResourceSea* CSeaBase::ApplicationSea() {
  return Sea(seaApplication);
}
CResourceSea* CSeaBase::MessagesSea() {
  return Sea(seaMessages);
}

CResourceSea* CSeaBase::Sea(int index) {
  auto& seas = TheSeas();
  std::lock_guard lock(seas.mutex);
  auto& sea = seas.loaded[index];
  if (!sea) {
    sea = std::make_unique<CResourceSea>(SeaName(index), SeaFile(index));
    sea->Load();
  }
  return sea.get();
}

CString CSeaBase::DefaultPath() {
  return CString(host::SettingsFolder().wstring());
}

std::filesystem::path CSeaBase::SeaFile(int index) {
  return host::SettingsFolder() / (SeaName(index) + L".sea");
}

bool CSeaBase::SaveAll() {
  auto& seas = TheSeas();
  std::lock_guard lock(seas.mutex);
  bool ok = true;
  for (auto& [index, sea] : seas.loaded)
    ok = sea->Save() && ok;
  return ok;
}

void CSeaBase::ReloadAll() {
  auto& seas = TheSeas();
  std::lock_guard lock(seas.mutex);
  seas.loaded.clear();
}
