#include "gateway/pipeline/modem_status.h"

#include "platform/codepage/codepage.h"

namespace {

// Converted once each: the programs keep their texts in GBK.
const std::string kIdle = codepage::Utf8ToGbk("短信猫未连接");
const std::string kConnecting = codepage::Utf8ToGbk("短信猫正在连接...");
const std::string kReady = codepage::Utf8ToGbk("短信猫已连接");

}  // namespace

const std::string& ModemStatus::InitialText() { return kIdle; }

const std::string& ModemStatus::Update(ModemAgentView* agent) {
  if (agent == nullptr || !agent->ConnectRequested()) {
    text_ = kIdle;
    shownConnected_ = false;
  } else if (!agent->ModemReady()) {
    text_ = kConnecting;
    shownConnected_ = false;
  } else {
    if (!shownConnected_) {
      agent->GetModemSettings(settings_.port, settings_.rate);
      SaveGatewaySettings(settingsPath_, settings_, SAVE_MODEM);
    }
    text_ = kReady;
    shownConnected_ = true;
  }
  return text_;
}
