// "文件清理设置": how often the temporary sound files are cleaned up and
// how old a file must be to go. The last clean-up is shown only.
#pragma once

#include <cstdint>
#include <string>

#include "gateway/dialogs/gateway_dialogs.h"
#include "platform/ui/message_box.h"

inline constexpr int32_t CLEANUP_MIN_DAYS = 1;
inline constexpr int32_t CLEANUP_MAX_DAYS = 999;

class ClearFileLogic {
 public:
  ClearFileLogic(CleanupValues current, ui::MessageBoxPort& messages);

  const std::string& lastClearTime() const { return values_.lastClearTime; }
  std::string interDayText() const { return std::to_string(values_.interDay); }
  std::string deadLineDayText() const { return std::to_string(values_.deadLineDay); }

  // The day boxes take digits only; a value out of range can still be
  // typed, and "确定" refuses it.
  static bool AcceptsDayText(const std::string& text);
  // The up-down control: `steps` from the box's value, kept within 1..999;
  // a box that holds no number steps from the lowest value.
  static std::string StepDays(const std::string& text, int steps);

  // "确定" with the texts of "每 _ 天清理一次文件" and "每次清理 _ 天以前的
  // 文件": each must be a whole number of 1 to 999 days, checked in that
  // order; the first that is not shows the range message. True when the
  // dialog may close.
  bool Confirm(const std::string& interDayText, const std::string& deadLineDayText);
  const CleanupValues& values() const { return values_; }

 private:
  CleanupValues values_;
  ui::MessageBoxPort& messages_;
};
