// Reading and rewriting Vigimon.ini. The key names, defaults and the order
// of writes are those of files already in the field, which must keep loading.
#include <cstdio>
#include <string_view>

#include "monitor/settings/monitor_settings.h"
#include "platform/profile/profile.h"

namespace {

// Strings are read the way the original fixed buffer held them.
constexpr std::size_t kStringBufferSize = 260;

constexpr char kSms[] = "SMS";
constexpr char kUi[] = "UI";
constexpr char kSendTime[] = "SendSMTime";
constexpr char kThreshold[] = "OfflineThreshold";
constexpr char kTotalArea[] = "TotalArea";
constexpr char kAlert[] = "Alert";
constexpr int32_t kMinPollInterval = 10;

std::string Numbered(const char* prefix, int number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%d", prefix, number);
  return text;
}

std::string Decimal(int32_t value) { return std::to_string(value); }

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Trimmed(std::string text) {
  std::size_t end = text.size();
  while (end > 0 && IsWhiteSpace(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

class IniReader {
 public:
  explicit IniReader(const std::string& path) : path_(path) {}

  int32_t Int(const std::string& section, const std::string& key, int32_t fallback) const {
    return static_cast<int32_t>(profile::GetPrivateProfileInt(section, key, fallback, path_));
  }

  std::string Raw(const std::string& section, const std::string& key, const std::string& fallback = "") const {
    return profile::GetPrivateProfileString(section, key, fallback, kStringBufferSize, path_);
  }

  std::string Text(const std::string& section, const std::string& key, const std::string& fallback = "") const {
    return Trimmed(Raw(section, key, fallback));
  }

  bool Has(const std::string& section, const std::string& key) const {
    return profile::HasPrivateProfileKey(section, key, path_);
  }

 private:
  const std::string& path_;
};

class IniWriter {
 public:
  explicit IniWriter(const std::string& path) : path_(path) {}

  // Write failures are not reported: the program keeps working from memory
  // and the next save tries again.
  void Put(const std::string& section, const std::string& key, const std::string& value) const {
    profile::WritePrivateProfileString(section, key, value, path_);
  }
  void Put(const std::string& section, const std::string& key, int32_t value) const {
    Put(section, key, Decimal(value));
  }
  void DropSection(const std::string& section) const {
    profile::WritePrivateProfileString(section, std::nullopt, std::nullopt, path_);
  }

 private:
  const std::string& path_;
};

// Pairs with either half empty cannot be messaged and are left out.
std::vector<Contact> ReadContacts(const IniReader& ini, const std::string& section) {
  std::vector<Contact> contacts;
  const int32_t count = ini.Int(section, "Count", 1);
  for (int32_t j = 1; j <= count; ++j) {
    Contact contact{ini.Text(section, Numbered("Contacts", j)), ini.Text(section, Numbered("PhoneNum", j))};
    if (!contact.name.empty() && !contact.phone.empty()) contacts.push_back(std::move(contact));
  }
  return contacts;
}

void WriteAreaBody(const IniWriter& ini, const std::string& section, const AreaEntry& area) {
  ini.Put(section, "Name", area.name);
  ini.Put(section, "LastOfflineCount", area.lastOfflineCount);
  ini.Put(section, "Count", static_cast<int32_t>(area.contacts.size()));
  int j = 1;
  for (const Contact& contact : area.contacts) {
    ini.Put(section, Numbered("Contacts", j), contact.name);
    ini.Put(section, Numbered("PhoneNum", j), contact.phone);
    ++j;
  }
}

// Area sections are numbered afresh on every save, so any left from an
// earlier, longer list must go. The first four letters are compared exactly:
// "area..." and the bare "Area" are not ours to delete.
bool IsNumberedAreaSection(std::string_view name) { return name.size() >= 5 && name.substr(0, 4) == "Area"; }

}  // namespace

void loadSettings(MonitorSettings& settings) {
  const IniReader ini(settings.iniPath);

  settings.comPort = ini.Int(kSms, "COM", -1);
  settings.baudRate = ini.Int(kSms, "Baudrate", 0);
  settings.smsCentre = ini.Raw(kSms, "SMCenter");
  const int32_t hold = ini.Int(kSms, "HoldMinutes", 60);
  settings.holdMinutes = hold >= 1 && hold <= 1440 ? hold : 60;
  settings.pollInterval = ini.Int(kUi, "Interval", 30);
  if (settings.pollInterval < kMinPollInterval) settings.pollInterval = kMinPollInterval;
  settings.sendWhenAllNormal = ini.Int(kSendTime, "SendOK", 0);

  settings.reportTimes.clear();
  const int32_t timeCount = ini.Int(kSendTime, "Count", 0);
  for (int32_t i = 1; i <= timeCount; ++i) {
    std::string name = ini.Text(kSendTime, Numbered("Name", i));
    if (name.empty()) continue;
    const std::string text = ini.Text(kSendTime, Numbered("Time", i));
    if (text.empty()) continue;
    const std::optional<TimeOfDay> time = ParseTimeOfDay(text);
    if (!time) continue;
    settings.reportTimes.push_back({std::move(name), *time});
  }

  settings.offlinePercent = ini.Int(kThreshold, "TrmPercent", 50);

  const int32_t confirm = ini.Int(kAlert, "ConfirmPolls", 1);
  settings.confirmPolls = confirm >= 1 && confirm <= kMaxConfirmPolls ? confirm : 1;
  settings.recovery = ini.Int(kAlert, "Recovery", 0) != 0 ? 1 : 0;
  const int32_t escalate = ini.Int(kAlert, "EscalateMinutes", 0);
  settings.escalateMinutes = escalate >= 0 && escalate <= kMaxEscalateMinutes ? escalate : 0;

  settings.areas.clear();
  AreaEntry total;
  total.name = ini.Text(kTotalArea, "Name", DefaultTotalAreaName());
  if (total.name.empty()) total.name = DefaultTotalAreaName();
  total.lastOfflineCount = ini.Int(kTotalArea, "LastOfflineCount", UNJUDGED_BASELINE);
  total.contacts = ReadContacts(ini, kTotalArea);
  settings.areas[TOTAL_AREA_ID] = std::move(total);

  const int32_t areaCount = ini.Int(kTotalArea, "AreaCount", 1);
  for (int32_t n = 1; n <= areaCount; ++n) {
    const std::string section = Numbered("Area", n);
    const int32_t id = ini.Int(section, "ID", -1);
    if (id < 0) continue;
    AreaEntry area;
    area.name = ini.Text(section, "Name");
    if (area.name.empty()) continue;
    area.lastOfflineCount = ini.Int(section, "LastOfflineCount", UNJUDGED_BASELINE);
    area.contacts = ReadContacts(ini, section);
    area.quiet = ParseQuietHours(ini.Text(section, "Quiet"));
    settings.areas[id] = std::move(area);  // a later section with the same id wins
  }
}

void saveSettings(const MonitorSettings& settings) {
  const IniWriter ini(settings.iniPath);

  ini.Put(kSms, "COM", settings.comPort);
  ini.Put(kSms, "Baudrate", settings.baudRate);
  ini.Put(kSms, "SMCenter", settings.smsCentre);
  ini.Put(kUi, "Interval", settings.pollInterval);

  ini.DropSection(kSendTime);
  ini.Put(kSendTime, "SendOK", settings.sendWhenAllNormal);
  ini.Put(kSendTime, "Count", static_cast<int32_t>(settings.reportTimes.size()));
  int i = 1;
  for (const ReportTimePoint& point : settings.reportTimes) {
    ini.Put(kSendTime, Numbered("Name", i), point.name);
    ini.Put(kSendTime, Numbered("Time", i), FormatTimeOfDay(point.time));
    ++i;
  }

  ini.Put(kThreshold, "TrmPercent", settings.offlinePercent);

  // A file that never had these keys and whose features stay off must come
  // out byte for byte as before; one that has them keeps them current.
  const IniReader stored(settings.iniPath);
  auto putAlert = [&](const char* key, int32_t value, int32_t off) {
    if (value != off || stored.Has(kAlert, key)) ini.Put(kAlert, key, value);
  };
  putAlert("ConfirmPolls", settings.confirmPolls, 1);
  putAlert("Recovery", settings.recovery, 0);
  putAlert("EscalateMinutes", settings.escalateMinutes, 0);

  // Entry -1 exists after loading; an object saved before that still gets a
  // TotalArea section that loads back as the default.
  AreaEntry defaultTotal;
  defaultTotal.name = DefaultTotalAreaName();
  const auto totalIt = settings.areas.find(TOTAL_AREA_ID);
  const AreaEntry& total = totalIt != settings.areas.end() ? totalIt->second : defaultTotal;
  const auto areaCount = static_cast<int32_t>(settings.areas.size() - (totalIt != settings.areas.end() ? 1 : 0));

  ini.DropSection(kTotalArea);
  ini.Put(kTotalArea, "AreaCount", areaCount);
  WriteAreaBody(ini, kTotalArea, total);

  for (const std::string& name : profile::GetPrivateProfileSectionNames(settings.iniPath)) {
    if (IsNumberedAreaSection(name)) ini.DropSection(name);
  }

  int n = 1;
  for (const auto& [id, area] : settings.areas) {
    if (id == TOTAL_AREA_ID) continue;
    const std::string section = Numbered("Area", n++);
    ini.Put(section, "ID", id);
    WriteAreaBody(ini, section, area);
    if (area.quiet) ini.Put(section, "Quiet", FormatQuietHours(*area.quiet));
  }
}
