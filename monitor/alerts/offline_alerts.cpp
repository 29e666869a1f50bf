#include "monitor/alerts/offline_alerts.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "platform/codepage/codepage.h"

namespace {

constexpr size_t kMaxPhone = 14;
constexpr uint8_t kUcs2 = 8;
constexpr size_t kReportUnits = 70;

// The texts, GBK; converted once each.
const std::string kInstallationAlert =
    codepage::Utf8ToGbk("已有%d个终端离线，占总数的%d%%，具体终端列表可联系系统管理员查询。");
const std::string kAreaAlert =
    codepage::Utf8ToGbk("已有%d个终端离线，占区域总数的%d%%，具体终端列表可联系系统管理员查询。");
const std::string kReportHeader = codepage::Utf8ToGbk("%s区域：%d个终端在线，%d个终端离线，离线率：%d%%");
const std::string kNameSeparator = codepage::Utf8ToGbk("，");
const std::string kMoreNames = codepage::Utf8ToGbk("等");
const std::string kSystemError = codepage::Utf8ToGbk("系统服务状态错误！");
const std::string kRecovered = codepage::Utf8ToGbk("%s区域已恢复：%d个终端离线。");
const std::string kQuietSummary = codepage::Utf8ToGbk("%s区域静默时段内告警%d次，最多%d个终端离线，现有%d个终端离线。");
const std::string kEscalation =
    codepage::Utf8ToGbk("%s区域已有%d个终端离线，占区域总数的%d%%，已持续%d分钟，具体终端列表可联系系统管理员查询。");

std::string Format(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

size_t Utf16Length(const std::string& gbk) { return codepage::GbkToUtf16(gbk).size(); }

void SendToContacts(const MonitorSettings& settings, const AreaEntry& area, AlertSender* sender,
                    const std::string& text) {
  for (const Contact& contact : area.contacts) sendAlertSms(settings, sender, text, contact.phone);
}

// With ConfirmPolls above 1 a rise must be seen that many polls in a row
// before it counts; one poll below it starts the count again.
bool RiseConfirmed(const MonitorSettings& settings, AreaAlertMemory& memory) {
  if (++memory.risingPolls < settings.confirmPolls) return false;
  memory.risingPolls = 0;
  return true;
}

void Alerted(AreaAlertMemory& memory, int32_t offline, Clock::Monotonic::time_point now) {
  memory.alertedCount = offline;
  // A further alert while the first is still unresolved keeps its start.
  if (!memory.overSince) memory.overSince = now;
}

// Once per alert: the count has come down to half of it or less.
// In its quiet hours the area's own contacts hear nothing: a recovery then
// shows in the summary's present count.
void TellRecovery(const MonitorSettings& settings, const AreaEntry& area, AreaAlertMemory& memory, int32_t offline,
                  AlertSender* sender, bool quiet = false) {
  if (!memory.alertedCount) return;
  if (settings.recovery == 0) {
    memory.alertedCount.reset();
    return;
  }
  if (static_cast<int64_t>(offline) * 2 > *memory.alertedCount) return;
  memory.alertedCount.reset();
  if (!quiet)
    SendToContacts(settings, area, sender, Format(kRecovered.c_str(), area.name.c_str(), static_cast<int>(offline)));
}

void JudgeInstallation(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender,
                       AreaAlertMemory& memory, Clock::Monotonic::time_point now) {
  auto entry = settings.areas.find(TOTAL_AREA_ID);
  if (entry == settings.areas.end() || terminals.PresentCount() == 0) return;
  unsigned present = static_cast<unsigned>(terminals.PresentCount());
  int32_t offline = terminals.OfflineCount();
  AreaEntry& total = entry->second;
  TellRecovery(settings, total, memory, offline, sender);
  if (total.lastOfflineCount >= offline) {
    total.lastOfflineCount = offline;
    memory.risingPolls = 0;
    return;
  }
  unsigned rise = static_cast<unsigned>(offline - total.lastOfflineCount) * 100u / present;
  if (rise < static_cast<unsigned>(settings.offlinePercent)) {
    memory.risingPolls = 0;
    return;
  }
  if (!RiseConfirmed(settings, memory)) return;
  unsigned share = static_cast<unsigned>(offline) * 100u / present;
  SendToContacts(settings, total, sender, Format(kInstallationAlert.c_str(), offline, static_cast<int>(share)));
  total.lastOfflineCount = offline;
  Alerted(memory, offline, now);
}

// An area still at or over the threshold EscalateMinutes after its alert is
// told to the installation's contacts, once; dropping under ends the wait.
void Escalate(const MonitorSettings& settings, const AreaEntry& area, AreaAlertMemory& memory, int offline, int known,
              AlertSender* sender, Clock::Monotonic::time_point now) {
  if (!memory.overSince) return;
  int share = known < 1 ? 0 : offline * 100 / known;
  if (settings.escalateMinutes <= 0 || share < settings.offlinePercent) {
    memory.overSince.reset();
    return;
  }
  if (now - *memory.overSince < std::chrono::minutes(settings.escalateMinutes)) return;
  memory.overSince.reset();
  auto total = settings.areas.find(TOTAL_AREA_ID);
  if (total == settings.areas.end()) return;
  SendToContacts(settings, total->second, sender,
                 Format(kEscalation.c_str(), area.name.c_str(), offline, share, settings.escalateMinutes));
}

void JudgeArea(MonitorSettings& settings, AreaEntry& area, const std::vector<int32_t>& members,
               const TerminalLookup& terminals, AlertSender* sender, AreaAlertMemory& memory,
               Clock::Monotonic::time_point now, const TimeOfDay& localNow) {
  int known = 0, offline = 0;
  for (int32_t id : members) {
    auto facts = terminals.Find(id);
    if (!facts) continue;
    ++known;
    if (!facts->online) ++offline;
  }
  bool quiet = area.quiet && area.quiet->Contains(localNow);
  if (!quiet && memory.heldAlerts > 0) {
    SendToContacts(settings, area, sender,
                   Format(kQuietSummary.c_str(), area.name.c_str(), memory.heldAlerts,
                          static_cast<int>(memory.mostHeld), offline));
    memory.heldAlerts = 0;
    memory.mostHeld = 0;
    // The summary's present count already tells a recovery.
    if (memory.alertedCount && static_cast<int64_t>(offline) * 2 <= *memory.alertedCount) memory.alertedCount.reset();
  }
  TellRecovery(settings, area, memory, offline, sender, quiet);
  Escalate(settings, area, memory, offline, known, sender, now);
  if (known < 1 || offline < 1) {
    area.lastOfflineCount = 0;
    memory.risingPolls = 0;
    return;
  }
  if (area.lastOfflineCount >= offline) {
    area.lastOfflineCount = offline;
    memory.risingPolls = 0;
    return;
  }
  int rise = (offline - area.lastOfflineCount) * 100 / known;
  if (rise < settings.offlinePercent) {
    memory.risingPolls = 0;
    return;
  }
  if (!RiseConfirmed(settings, memory)) return;
  if (quiet) {
    ++memory.heldAlerts;
    memory.mostHeld = std::max(memory.mostHeld, static_cast<int32_t>(offline));
  } else {
    SendToContacts(settings, area, sender, Format(kAreaAlert.c_str(), offline, offline * 100 / known));
  }
  area.lastOfflineCount = offline;
  Alerted(memory, offline, now);
}

}  // namespace

bool sendAlertSms(const MonitorSettings& settings, AlertSender* sender, const std::string& text,
                  const std::string& phone) {
  if (sender == nullptr || phone.size() > kMaxPhone || settings.smsCentre.size() > kMaxPhone) return false;
  std::string destination = "86" + phone;
  return sender->QueueSend(settings.smsCentre.c_str(), destination.c_str(), text.c_str(), kUcs2);
}

void checkOfflineAlerts(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender,
                        AlertMemory& memory, Clock::Monotonic::time_point now, const TimeOfDay& localNow) {
  JudgeInstallation(settings, terminals, sender, memory[TOTAL_AREA_ID], now);
  const auto& members = terminals.AreaMembers();
  for (auto& [id, area] : settings.areas) {
    if (id < 0 || area.contacts.empty()) continue;
    auto list = members.find(id);
    if (list == members.end() || list->second.empty()) continue;
    JudgeArea(settings, area, list->second, terminals, sender, memory[id], now, localNow);
  }
}

std::string AreaReportText(const std::string& areaName, int online, int offline, int rate,
                           const std::vector<std::string>& offlineNames) {
  std::string header = Format(kReportHeader.c_str(), areaName.c_str(), online, offline, rate);
  size_t headerUnits = Utf16Length(header);
  std::string tail;
  size_t added = 0;
  for (const std::string& name : offlineNames) {
    std::string candidate = tail + kNameSeparator + name;
    // An area name that fills the message already leaves no room at all.
    if (headerUnits >= kReportUnits || Utf16Length(candidate) >= kReportUnits - headerUnits) break;
    tail = candidate;
    ++added;
  }
  if (added < offlineNames.size()) tail += kMoreNames;
  return header + tail;
}

void sendScheduledReport(MonitorSettings& settings, bool systemOk, const std::function<bool()>& reload,
                         const TerminalLookup& terminals, AlertSender* sender) {
  if (!systemOk) systemOk = reload();
  if (!systemOk) {
    auto total = settings.areas.find(TOTAL_AREA_ID);
    if (total != settings.areas.end()) SendToContacts(settings, total->second, sender, kSystemError);
    return;
  }
  const auto& members = terminals.AreaMembers();
  for (auto& [id, area] : settings.areas) {
    if (id < 0 || area.contacts.empty()) continue;
    auto list = members.find(id);
    if (list == members.end() || list->second.empty()) continue;
    int known = 0, offline = 0;
    std::vector<std::string> offlineNames;
    for (int32_t member : list->second) {
      auto facts = terminals.Find(member);
      if (!facts) continue;
      ++known;
      if (!facts->online) {
        ++offline;
        offlineNames.push_back(facts->name);
      }
    }
    int rate = known == 0 ? 0 : offline * 100 / known + (offline * 100 % known > 0 ? 1 : 0);
    SendToContacts(settings, area, sender, AreaReportText(area.name, known - offline, offline, rate, offlineNames));
  }
}
