#include "gateway/pipeline/heraldo_window_logic.h"

#include <cstdio>

#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

namespace {

constexpr const char* kLocalHost = "127.0.0.1";

// The service reads the numbers as the dialog's texts give them: the rate
// with "%u", the port from the text after "COM" with "%d". What does not
// read keeps the old value.
void ReadCommValues(const CommSettingsValues& values, GatewaySettings& settings) {
  unsigned rate = 0;
  if (std::sscanf(values.rate.c_str(), "%u", &rate) == 1) settings.rate = static_cast<int32_t>(rate);
  int port = 0;
  if (values.port.size() > 3 && std::sscanf(values.port.c_str() + 3, "%d", &port) == 1) settings.port = port;
  settings.delay = values.delay;
  settings.replyConfirm = values.replyConfirm;
  settings.replyRefused = values.replyRefused;
  settings.replyCentre = values.replyCentre;
}

}  // namespace

HeraldoWindowLogic::HeraldoWindowLogic(GatewaySettings& settings, std::string settingsPath,
                                       std::string serverSettingsPath, BroadcastServerSettings& server,
                                       HeraldoViewLogic& view, ModemAgentControl* agent, GatewayDialogs& dialogs,
                                       ui::MessageBoxPort& messages)
    : settings_(settings),
      settingsPath_(std::move(settingsPath)),
      serverSettingsPath_(std::move(serverSettingsPath)),
      server_(server),
      view_(view),
      agent_(agent),
      dialogs_(dialogs),
      messages_(messages),
      status_(settings, settingsPath_) {}

void HeraldoWindowLogic::ReceiveTick() {
  view_.ReceiveMessage();
  UpdateModemStatus();
}

std::vector<GatewayTimer> HeraldoWindowLogic::Timers(std::function<void()> afterReceive,
                                                     std::function<void()> sessionsTick) {
  using std::chrono::milliseconds;
  return {
      {milliseconds(1000),
       [this, afterReceive = std::move(afterReceive)] {
         ReceiveTick();
         if (afterReceive) afterReceive();
       }},
      {milliseconds(1000), [this] { view_.SchedulePlayback(); }},
      {milliseconds(60000), [this] { view_.CheckCleanup(); }},
      {milliseconds(1000), std::move(sessionsTick)},
  };
}

const std::string& HeraldoWindowLogic::UpdateModemStatus() { return status_.Update(agent_); }

bool HeraldoWindowLogic::CanConnect() const { return agent_ && !agent_->ConnectRequested(); }

bool HeraldoWindowLogic::CanDisconnect() const { return agent_ && agent_->ConnectRequested(); }

void HeraldoWindowLogic::Connect() {
  if (agent_) agent_->Connect(settings_.port, settings_.rate, kLocalHost);
  UpdateModemStatus();
}

void HeraldoWindowLogic::Disconnect() {
  if (agent_) agent_->Disconnect();
  UpdateModemStatus();
}

void HeraldoWindowLogic::CommSettings() {
  CommSettingsValues current;
  current.port = "COM" + std::to_string(settings_.port);
  current.rate = std::to_string(static_cast<uint32_t>(settings_.rate));
  current.serverAddress = server_.serverAddress;
  current.delay = settings_.delay;
  current.replyConfirm = settings_.replyConfirm;
  current.replyRefused = settings_.replyRefused;
  current.replyCentre = settings_.replyCentre;
  auto confirmed = dialogs_.AskCommSettings(current);
  if (!confirmed) return;

  ReadCommValues(*confirmed, settings_);
  server_.serverAddress = confirmed->serverAddress;
  StoreServerAddress(serverSettingsPath_, confirmed->serverAddress);
  LoadBroadcastServerSettings(serverSettingsPath_, server_);
  SaveGatewaySettings(settingsPath_, settings_, SAVE_MODEM);
  // The service keeps the port it opened until the connection is made anew.
  if (status_.ShownConnected()) {
    messages_.Show(codepage::Utf8ToGbk("请断开重新连接以使设置生效"), HERALDO_TITLE, ui::MessageIcon::None, ui::MB_OK);
  } else {
    Connect();
  }
}

void HeraldoWindowLogic::AuthorisationSettings() {
  auto confirmed = dialogs_.AskAuthorisation({settings_.pat, settings_.regular, settings_.pins, settings_.maxPerHour});
  if (!confirmed) return;
  settings_.pat = confirmed->table;
  settings_.phoneCount = static_cast<int32_t>(settings_.pat.size());
  settings_.regular = confirmed->regular;
  settings_.pins = confirmed->pins;
  settings_.maxPerHour = confirmed->maxPerHour;
  SaveGatewaySettings(settingsPath_, settings_, SAVE_AUTHORISATION);
}

void HeraldoWindowLogic::CleanupSettings() {
  auto confirmed = dialogs_.AskCleanup({settings_.lastClearTime + "\n", settings_.interDay, settings_.deadLineDay});
  if (!confirmed) return;
  settings_.interDay = confirmed->interDay;
  settings_.deadLineDay = confirmed->deadLineDay;
  SaveGatewaySettings(settingsPath_, settings_, SAVE_CLEANUP);
}

ContextMenuState HeraldoWindowLogic::ContextMenuFor(std::optional<size_t> row) const {
  if (!row || *row >= view_.rows().size()) return {true, false};
  const auto& item = view_.rows()[*row].item;
  if (!item) return {false, false};  // an unauthorised row has nothing to play
  return {true, item->state != SMS_PLAYING && item->state != SMS_WAITING};
}

void HeraldoWindowLogic::Replay(size_t row) {
  if (row < view_.rows().size()) view_.StartPlayback(row);
}
