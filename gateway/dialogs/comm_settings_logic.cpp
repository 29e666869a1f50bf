#include "gateway/dialogs/comm_settings_logic.h"

#include <algorithm>

#include "gateway/dialogs/dialog_checks.h"
#include "gateway/heraldo_title.h"
#include "platform/codepage/codepage.h"

namespace {

std::optional<size_t> IndexOf(const std::vector<std::string>& items, const std::string& value) {
  auto found = std::find(items.begin(), items.end(), value);
  if (found == items.end()) return std::nullopt;
  return static_cast<size_t>(found - items.begin());
}

}  // namespace

CommSettingsLogic::CommSettingsLogic(CommSettingsValues current, ui::MessageBoxPort& messages)
    : values_(std::move(current)), messages_(messages) {}

const std::vector<std::string>& CommSettingsLogic::Ports() {
  static const std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
  return ports;
}

const std::vector<std::string>& CommSettingsLogic::Rates() {
  static const std::vector<std::string> rates = {"110",   "300",   "1200",   "2400",   "4800",   "9600",  "19200",
                                                 "38400", "57600", "115200", "230400", "460800", "921600"};
  return rates;
}

std::optional<size_t> CommSettingsLogic::portIndex() const { return IndexOf(Ports(), values_.port); }
std::optional<size_t> CommSettingsLogic::rateIndex() const { return IndexOf(Rates(), values_.rate); }

bool CommSettingsLogic::AcceptsDelayText(const std::string& text) { return IsDigitsOnly(text); }

bool CommSettingsLogic::AcceptsCentreText(const std::string& text) {
  return text.size() <= 15 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool CommSettingsLogic::Confirm(const CommSettingsEntry& entry) {
  auto delay = ReadFieldInRange(entry.delayText, LEAD_TIME_MIN_SECONDS, LEAD_TIME_MAX_SECONDS, messages_);
  if (!delay) return false;
  if ((entry.replyConfirm || entry.replyRefused) && entry.replyCentre.empty()) {
    messages_.Show(codepage::Utf8ToGbk("回复短信需要短信中心号码（如8613800100500）"), HERALDO_TITLE,
                   ui::MessageIcon::Warning, ui::MB_OK);
    return false;
  }
  values_.replyConfirm = entry.replyConfirm;
  values_.replyRefused = entry.replyRefused;
  values_.replyCentre = entry.replyCentre;
  if (entry.portChoice && *entry.portChoice < Ports().size()) values_.port = Ports()[*entry.portChoice];
  if (entry.rateChoice && *entry.rateChoice < Rates().size()) values_.rate = Rates()[*entry.rateChoice];
  values_.serverAddress = entry.serverAddress;
  values_.delay = static_cast<int32_t>(*delay);
  return true;
}
