// The control protocol: one JSON request per line in, one JSON reply out.
// Tests use it to put messages into the modem, read what it was asked to
// send and which commands it saw, and switch faults on and off. README.md
// lists the requests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "sim/modem/at_engine.h"
#include "sim/modem/modem_state.h"

namespace modemsim {

class ControlProtocol {
 public:
  // `onReset` runs after a reset request, for what lives outside the modem
  // state (replies still waiting to be written).
  ControlProtocol(ModemState& state, AtEngine& engine, std::function<void()> onReset)
      : state_(state), engine_(engine), onReset_(std::move(onReset)) {}

  // "unplug" and "replug" call `handler` with false and true; it answers
  // an error text, or "" when the cable changed.
  void OnCable(std::function<std::string(bool plugIn)> handler) { onCable_ = std::move(handler); }
  // "reboot" calls `handler` with its seconds, once they are checked.
  void OnReboot(std::function<void(int seconds)> handler) { onReboot_ = std::move(handler); }

  // The reply to one request line, without its newline. Never throws.
  std::string Handle(std::string_view line);

 private:
  nlohmann::json Dispatch(const nlohmann::json& request);
  nlohmann::json Inject(const nlohmann::json& request);
  nlohmann::json InjectPdu(const nlohmann::json& request);
  nlohmann::json Storage();
  nlohmann::json Log(const nlohmann::json& request);
  nlohmann::json Transcript(const nlohmann::json& request);
  nlohmann::json Fault(const nlohmann::json& request);
  void Delay(const nlohmann::json& request);
  nlohmann::json Reboot(const nlohmann::json& request);
  nlohmann::json Prestore(const nlohmann::json& request);
  nlohmann::json Reset();
  nlohmann::json FaultsJson() const;

  ModemState& state_;
  AtEngine& engine_;
  std::function<void()> onReset_;
  std::function<std::string(bool)> onCable_;
  std::function<void(int)> onReboot_;
};

}  // namespace modemsim
