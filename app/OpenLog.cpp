#include "app/OpenLog.h"

#include <algorithm>
#include <charconv>

#include "app/CanSinkHost.h"
#include "host/cananalysis/DbcLoadedFile.h"
#include "host/candriver/CanRates.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"

namespace app {
namespace {

using XeCanDriverKvaser::DriverConfigModel;

// The source module's list of sources and its parts (name, active, channel, type, bit rate, CAN
// FD, FD arbitration rate, FD data rate).
constexpr const wchar_t* kSourcesList = L"CAN-Sources";
enum SourcePart { kName, kActive, kChannel, kType, kBitrate, kFd, kArbitration, kData };

// The channel of a replay row that plays all of `log`, or -1.
int ReplayOf(const DriverConfigModel& model, const std::filesystem::path& log) {
  std::error_code ec;
  for (const auto& c : model.Channels())
    if (c.backend == DriverConfigModel::Backend::Replay && c.interface.empty() &&
        std::filesystem::equivalent(model.ResolvedFile(c.file), log, ec))
      if (int n = -1;
          std::from_chars(c.number.data(), c.number.data() + c.number.size(), n).ec == std::errc())
        return n;
  return -1;
}

bool CheckDbc(const std::filesystem::path& dbc, std::string& error) {
  if (dbc.empty()) return true;
  const auto file = XeCanAnalysis::DbcLoadedFile::Load(CString(dbc.wstring()), error);
  if (!file) return false;
  if (file->database.messages.empty()) {
    error = dbc.string() + ": no message (BO_) to decode";
    return false;
  }
  return true;
}

}  // namespace

bool PrepareLogChannel(const std::filesystem::path& logGiven, const std::filesystem::path& dbc,
                       const std::vector<int>& sourceChannels, LogChannel& channel,
                       std::string& error) {
  std::error_code ec;
  const std::filesystem::path log = std::filesystem::absolute(logGiven, ec);
  const XeCanDriverKvaser::LogScan scan = XeCanDriverKvaser::ScanLog(log);
  if (!scan.error.empty()) {
    error = scan.error;
    return false;
  }
  if (!CheckDbc(dbc, error)) return false;
  DriverConfigModel model(host::SettingsFolder() /
                          XeCanDriverKvaser::detail::DriverConfig::kFileName);
  channel.fd = scan.fd;
  channel.interfaces = scan.interfaces;
  channel.source = log.filename().string();
  channel.channel = ReplayOf(model, log);
  if (channel.channel < 0) {
    DriverConfigModel::Channel row;
    channel.channel = model.FreeChannel(sourceChannels);
    if (channel.channel > 255) {
      error = "every channel from 0 to 255 is in use";
      return false;
    }
    row.number = std::to_string(channel.channel);
    row.backend = DriverConfigModel::Backend::Replay;
    row.file = model.RelativeFile(log);
    model.AddChannel(row);
    if (!model.Save(error)) {
      error = model.Path().string() + ": " + error + " (File > CAN channels... shows it)";
      return false;
    }
  }
  return true;
}

bool StoreLogDecoder(const LogChannel& channel, const std::filesystem::path& dbc,
                     std::string& error) {
  std::error_code ec;
  return dbc.empty() ||
         CanSinkHost::StoreDbcFile(channel.channel, std::filesystem::absolute(dbc, ec).string(),
                                   error, true);
}

std::vector<std::string> StoreLogSource(const LogChannel& channel) {
  std::vector<std::string> off;
  CResourceList list(CSeaBase::ApplicationSea(), kSourcesList);
  bool found = false;
  for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
    CResourceEntry* line = list.GetCurrentLine();
    const bool mine =
        line->GetIntFb(kChannel, -1) == channel.channel && line->GetIntFb(kType, -1) == 0 && !found;
    if (!mine && line->GetBoolFb(kActive, false))
      off.push_back(line->GetStringFb(kName, L"").ToUtf8());
    line->SetBool(mine, kActive);
    found = found || mine;
    if (mine) line->SetBool(channel.fd, kFd);
  }
  if (found) return off;
  CResourceEntry* line = list.AddLineTail();
  if (line == nullptr) return off;
  line->SetText(CString::FromUtf8(channel.source), kName);
  line->SetBool(true, kActive);
  line->SetInt(channel.channel, kChannel);
  line->SetInt(0, kType);
  line->SetInt(XeCanDriverKvaser::BITRATE_500K, kBitrate);
  line->SetBool(channel.fd, kFd);
  line->SetInt(XeCanDriverKvaser::FD_ARBITRATION_500K, kArbitration);
  line->SetInt(XeCanDriverKvaser::FD_DATA_2M, kData);
  return off;
}

}  // namespace app
