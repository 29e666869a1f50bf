#include "monitor/view/status_texts.h"

#include "platform/codepage/codepage.h"

namespace {

const std::string kModemIdle = codepage::Utf8ToGbk("短信猫未连接");
const std::string kModemConnecting = codepage::Utf8ToGbk("短信猫正在连接...");
const std::string kModemReady = codepage::Utf8ToGbk("短信猫已连接");
const std::string kSystemOk = codepage::Utf8ToGbk("系统连接正常");
const std::string kSystemError = codepage::Utf8ToGbk("系统连接错误");
const std::string kOfflineCount = codepage::Utf8ToGbk("离线终端数量：");

}  // namespace

std::array<std::string, 3> StatusTexts::Update(ModemAgentView* agent, bool systemOk, int32_t offlineCount,
                                               MonitorSettings& settings) {
  std::array<std::string, 3> texts;
  if (agent == nullptr || !agent->ConnectRequested()) {
    texts[0] = kModemIdle;
    modemConnected_ = false;
  } else if (agent->ModemReady()) {
    if (!modemConnected_) {
      agent->GetModemSettings(settings.comPort, settings.baudRate);
      saveSettings(settings);
    }
    texts[0] = kModemReady;
    modemConnected_ = true;
  } else {
    texts[0] = kModemConnecting;
    modemConnected_ = false;
  }
  texts[1] = systemOk ? kSystemOk : kSystemError;
  texts[2] = systemOk ? kOfflineCount + std::to_string(offlineCount) : kOfflineCount + " ";
  return texts;
}
