#include "monitor/dialogs/time_point_logic.h"

#include "monitor/dialogs/dialog_texts.h"
#include "platform/codepage/codepage.h"

TimePointLogic::TimePointLogic(bool isNew, ReportTimePoint point, ui::MessageBoxPort& messages)
    : isNew_(isNew),
      caption_(codepage::Utf8ToGbk(isNew ? "新增时间点" : "编辑时间点")),
      point_(std::move(point)),
      messages_(messages) {}

bool TimePointLogic::Confirm(const std::string& nameText, const TimeOfDay& time) {
  std::string name = TrimBlanks(nameText);
  if (name.empty()) {
    ShowDialogError(messages_, "名称错误，请重新输入", "错误");
    return false;
  }
  point_.name = std::move(name);
  point_.time = time;
  return true;
}
