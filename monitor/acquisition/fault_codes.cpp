#include "monitor/acquisition/fault_codes.h"

#include "platform/codepage/codepage.h"

const std::array<std::string, kNamedFaultCodes> FAULT_TEXTS = {
    codepage::Utf8ToGbk("工作正常"), codepage::Utf8ToGbk("市电异常"), codepage::Utf8ToGbk("电源异常"),
    codepage::Utf8ToGbk("解码异常"), codepage::Utf8ToGbk("功放异常"), codepage::Utf8ToGbk("喇叭异常"),
    codepage::Utf8ToGbk("网络断开"), codepage::Utf8ToGbk("SD卡异常"),
};

namespace {

constexpr int32_t kMainsFailure = 1;
constexpr int32_t kNetworkLost = 6;

}  // namespace

bool ShowsFault(const TerminalRecord& record) {
  if (record.faultCode == 0) return false;
  if (record.online && (record.faultCode == kMainsFailure || record.faultCode == kNetworkLost)) return false;
  return true;
}

const std::string& FaultText(int32_t code) {
  static const std::string kUnknown = codepage::Utf8ToGbk("未知故障");
  if (code < 0 || static_cast<size_t>(code) >= FAULT_TEXTS.size()) return kUnknown;
  return FAULT_TEXTS[static_cast<size_t>(code)];
}
