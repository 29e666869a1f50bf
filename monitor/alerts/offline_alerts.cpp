#include "monitor/alerts/offline_alerts.h"

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

void JudgeInstallation(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender) {
  auto entry = settings.areas.find(TOTAL_AREA_ID);
  if (entry == settings.areas.end() || terminals.PresentCount() == 0) return;
  unsigned present = static_cast<unsigned>(terminals.PresentCount());
  int32_t offline = terminals.OfflineCount();
  AreaEntry& total = entry->second;
  if (total.lastOfflineCount >= offline) {
    total.lastOfflineCount = offline;
    return;
  }
  unsigned rise = static_cast<unsigned>(offline - total.lastOfflineCount) * 100u / present;
  if (rise < static_cast<unsigned>(settings.offlinePercent)) return;
  unsigned share = static_cast<unsigned>(offline) * 100u / present;
  SendToContacts(settings, total, sender, Format(kInstallationAlert.c_str(), offline, static_cast<int>(share)));
  total.lastOfflineCount = offline;
}

void JudgeArea(MonitorSettings& settings, AreaEntry& area, const std::vector<int32_t>& members,
               const TerminalLookup& terminals, AlertSender* sender) {
  int known = 0, offline = 0;
  for (int32_t id : members) {
    auto facts = terminals.Find(id);
    if (!facts) continue;
    ++known;
    if (!facts->online) ++offline;
  }
  if (known < 1 || offline < 1) {
    area.lastOfflineCount = 0;
    return;
  }
  if (area.lastOfflineCount >= offline) {
    area.lastOfflineCount = offline;
    return;
  }
  int rise = (offline - area.lastOfflineCount) * 100 / known;
  if (rise < settings.offlinePercent) return;
  SendToContacts(settings, area, sender, Format(kAreaAlert.c_str(), offline, offline * 100 / known));
  area.lastOfflineCount = offline;
}

}  // namespace

bool sendAlertSms(const MonitorSettings& settings, AlertSender* sender, const std::string& text,
                  const std::string& phone) {
  if (sender == nullptr || phone.size() > kMaxPhone || settings.smsCentre.size() > kMaxPhone) return false;
  std::string destination = "86" + phone;
  return sender->QueueSend(settings.smsCentre.c_str(), destination.c_str(), text.c_str(), kUcs2);
}

void checkOfflineAlerts(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender) {
  JudgeInstallation(settings, terminals, sender);
  const auto& members = terminals.AreaMembers();
  for (auto& [id, area] : settings.areas) {
    if (id < 0 || area.contacts.empty()) continue;
    auto list = members.find(id);
    if (list == members.end() || list->second.empty()) continue;
    JudgeArea(settings, area, list->second, terminals, sender);
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
