// "通讯设置": the modem's serial port and bit rate, the broadcast server's
// address and the power-on lead time in seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gateway/dialogs/gateway_dialogs.h"
#include "platform/ui/message_box.h"

inline constexpr int32_t LEAD_TIME_MIN_SECONDS = 0;
inline constexpr int32_t LEAD_TIME_MAX_SECONDS = 99999;

// What the operator left in the boxes when pressing "确定".
struct CommSettingsEntry {
  std::optional<size_t> portChoice;  // index into Ports(), nothing when none is chosen
  std::optional<size_t> rateChoice;  // index into Rates()
  std::string serverAddress;
  std::string delayText;
  bool replyConfirm = false;
  bool replyRefused = false;
  std::string replyCentre;
};

class CommSettingsLogic {
 public:
  CommSettingsLogic(CommSettingsValues current, ui::MessageBoxPort& messages);

  // "COM1" .. "COM8".
  static const std::vector<std::string>& Ports();
  // The bit rates from 110 to 921600, in rising order.
  static const std::vector<std::string>& Rates();

  // The items showing the current values; nothing when a value is not in
  // its list (the drop-down list then shows no choice).
  std::optional<size_t> portIndex() const;
  std::optional<size_t> rateIndex() const;
  const std::string& serverAddress() const { return values_.serverAddress; }
  bool replyConfirm() const { return values_.replyConfirm; }
  bool replyRefused() const { return values_.replyRefused; }
  const std::string& replyCentre() const { return values_.replyCentre; }
  std::string delayText() const { return std::to_string(values_.delay); }

  // The lead-time box takes digits only.
  static bool AcceptsDelayText(const std::string& text);
  // The SMS centre's box takes up to 15 digits.
  static bool AcceptsCentreText(const std::string& text);

  // "确定": the lead time must be 0 to 99999, or the range message shows
  // and the dialog stays open. A list left without a choice keeps its
  // current value. A reply turned on needs the SMS centre, or its message
  // shows and the dialog stays open. True when the dialog may close.
  bool Confirm(const CommSettingsEntry& entry);
  const CommSettingsValues& values() const { return values_; }

 private:
  CommSettingsValues values_;
  ui::MessageBoxPort& messages_;
};
