#include "gateway/dialogs/clear_file_logic.h"

#include <algorithm>

#include "gateway/dialogs/dialog_checks.h"

ClearFileLogic::ClearFileLogic(CleanupValues current, ui::MessageBoxPort& messages)
    : values_(std::move(current)), messages_(messages) {}

bool ClearFileLogic::AcceptsDayText(const std::string& text) { return IsDigitsOnly(text); }

std::string ClearFileLogic::StepDays(const std::string& text, int steps) {
  int64_t value = ParseFieldInteger(text).value_or(CLEANUP_MIN_DAYS);
  value = std::clamp<int64_t>(value, CLEANUP_MIN_DAYS, CLEANUP_MAX_DAYS);
  return std::to_string(std::clamp<int64_t>(value + steps, CLEANUP_MIN_DAYS, CLEANUP_MAX_DAYS));
}

bool ClearFileLogic::Confirm(const std::string& interDayText, const std::string& deadLineDayText) {
  auto interDay = ReadFieldInRange(interDayText, CLEANUP_MIN_DAYS, CLEANUP_MAX_DAYS, messages_);
  if (!interDay) return false;
  auto deadLineDay = ReadFieldInRange(deadLineDayText, CLEANUP_MIN_DAYS, CLEANUP_MAX_DAYS, messages_);
  if (!deadLineDay) return false;
  values_.interDay = static_cast<uint32_t>(*interDay);
  values_.deadLineDay = static_cast<uint32_t>(*deadLineDay);
  return true;
}
