#include "gateway/broadcast_server_settings.h"

#include "gateway/program_directory.h"
#include "platform/profile/profile.h"

namespace {

constexpr const char* kFile = "SMServer.ini";
constexpr const char* kSection = "Config";
constexpr size_t kAddressBuffer = 261;  // at most 260 characters

int32_t ReadInt(const char* key, int32_t fallback, const std::string& path) {
  return static_cast<int32_t>(profile::GetPrivateProfileInt(kSection, key, fallback, path));
}

}  // namespace

BroadcastServerSettings& BroadcastServerSettings::Instance() {
  static BroadcastServerSettings settings;
  return settings;
}

void LoadBroadcastServerSettings(const std::string& path, BroadcastServerSettings& settings) {
  settings.serverAddress = profile::GetPrivateProfileString(kSection, "ZarnSvrAddr", "127.0.0.1", kAddressBuffer, path);
  settings.cmdPort = ReadInt("ZarnCmdPort", 8000, path);
  settings.dataPort = ReadInt("ZarnDataPort", 15001, path);
  settings.connNum = ReadInt("ZarnConnNum", 3, path);
  settings.connTimeout = ReadInt("ZarnConnTimeout", 3, path);
  settings.sessionPriority = ReadInt("SessionPriority", 500, path);
  settings.userPriority = ReadInt("UserPriority", 10, path);
}

std::string BroadcastServerSettingsPath() { return ProgramFile(kFile); }

bool StoreServerAddress(const std::string& path, const std::string& address) {
  return !path.empty() && profile::WritePrivateProfileString(kSection, std::string("ZarnSvrAddr"), address, path);
}
