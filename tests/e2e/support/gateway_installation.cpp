#include "tests/e2e/support/gateway_installation.h"

#include <stdexcept>
#include <stdlib.h>

#include "gateway/broadcast_server_settings.h"
#include "platform/profile/profile.h"

namespace fs = std::filesystem;

GatewayInstallation::GatewayInstallation(GatewaySettings settings, const std::string& playbackSpeed) {
  char pattern[] = "/tmp/heraldo-window-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  home_ = pattern;
  quillon_ = std::make_unique<QuillonService>();
  bcsim_ = std::make_unique<BcSim>(nlohmann::json{{"generate", {{"terminals", 12}, {"areas", 3}}}}, 15001);

  for (const char* name : {"OneSecond.mp3", "liblame_enc.so"})
    fs::create_symlink(fs::path(BinDir()) / name, home_ / name);
  settings.port = quillon_->com();
  settings.phoneCount = static_cast<int32_t>(settings.pat.size());
  std::string sms = (home_ / "SMS.ini").string();
  for (SaveGroup group : {SAVE_MODEM, SAVE_CLEANUP, SAVE_AUTHORISATION}) SaveGatewaySettings(sms, settings, group);
  std::string server = (home_ / "SMServer.ini").string();
  StoreServerAddress(server, "127.0.0.1");
  profile::WritePrivateProfileString("Config", "ZarnCmdPort", std::to_string(bcsim_->cmdPort()), server);

  setenv("HERALDO_HOME", home_.c_str(), 1);
  setenv("QUILLON_SERVICE_PORT", std::to_string(quillon_->port()).c_str(), 1);
  setenv("QUILLON_INFO_PORT", std::to_string(bcsim_->infoPort()).c_str(), 1);
  setenv("QUILLON_PLAYBACK_SPEED", playbackSpeed.c_str(), 1);
  setenv("QUILLON_VOICE_CATALOGUE", (fs::path(BinDir()) / "voices.catalogue").c_str(), 1);
}

GatewayInstallation::~GatewayInstallation() {
  bcsim_.reset();
  quillon_.reset();
  std::error_code ignored;
  fs::remove_all(home_, ignored);
}

void GatewayInstallation::InjectSms(const std::string& from, const std::string& utf8Text) {
  quillon_->sim().Call({{"cmd", "inject"}, {"from", from}, {"text", utf8Text}, {"coding", "ucs2"}});
}
