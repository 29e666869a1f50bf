// The monitor's whole configuration: Vigimon.ini in the program directory,
// read at start-up and written back when the operator confirms a dialog,
// when the modem is first seen connected, and at exit. Texts are GBK.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

inline constexpr int32_t TOTAL_AREA_ID = -1;
inline constexpr int32_t UNJUDGED_BASELINE = 99999;  // file default: no alert at the first check
inline constexpr int32_t NEW_AREA_BASELINE = 9999;   // an area the platform just added

// A time of day, hour:minute:second.
struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const TimeOfDay&) const = default;
};

// A daily window from `from` up to, not including, `to`; one that ends
// earlier than it starts runs over midnight. The two never are equal.
struct QuietHours {
  TimeOfDay from;
  TimeOfDay to;
  bool operator==(const QuietHours&) const = default;
  bool Contains(const TimeOfDay& time) const;
};

struct ReportTimePoint {
  std::string name;  // never empty
  TimeOfDay time;
};

struct Contact {
  std::string name;
  std::string phone;  // as entered, without the country prefix
};

struct AreaEntry {
  std::string name;
  int32_t lastOfflineCount = UNJUDGED_BASELINE;  // the alert baseline
  std::vector<Contact> contacts;
  // [Area%d] Quiet: its alerts are held while it lasts, then summed up in
  // one message. None for area -1, and none unless set.
  std::optional<QuietHours> quiet;
};

struct MonitorSettings {
  int32_t comPort = -1;
  int32_t baudRate = 0;
  std::string smsCentre;  // with "86"
  // [SMS] HoldMinutes (1 to 1440): how long an alert or report waits for the
  // modem before it is given up. Read only.
  int32_t holdMinutes = 60;
  int32_t pollInterval = 30;
  int32_t sendWhenAllNormal = 0;
  std::vector<ReportTimePoint> reportTimes;
  int32_t offlinePercent = 50;
  // [Alert]: each left at its default keeps the alerts as they always were,
  // and then nothing is written for it.
  // ConfirmPolls (1 to 100): polls in a row that must see the rise before
  // its alert goes out.
  int32_t confirmPolls = 1;
  // Recovery (0/1): an alerted area that falls to half its alert's count or
  // less tells its contacts once.
  int32_t recovery = 0;
  // EscalateMinutes (0 to 10080, 0 = never): an area still over the
  // threshold this long after its alert is told to the installation's
  // contacts too.
  int32_t escalateMinutes = 0;
  std::map<int32_t, AreaEntry> areas;  // key TOTAL_AREA_ID always present after loading
  std::string iniPath;

  // The process-wide settings, with iniPath = program directory + "/Vigimon.ini".
  static MonitorSettings& Instance();
};

// "Vigimon.ini" beside the running executable ($VIGIMON_HOME replaces that
// directory, for tests and side-by-side installations), as an absolute path:
// a relative $VIGIMON_HOME is read against the current directory.
std::string MonitorSettingsPath();
void loadSettings(MonitorSettings& settings);
void saveSettings(const MonitorSettings& settings);

// A time of day as the platform's date parser reads one; nothing for text it
// refuses. Accepted, with blanks (space, tab) allowed around the whole text:
//   H:M          "8:30", "08:30"        seconds 0
//   H:M:S        "8:30:00", "20:30:00"
//   either + AM/PM (any case, blanks before it optional): "8:30 PM", "12:05am"
// Every field has one or two digits. Hour 0-23, or 1-12 with AM/PM (12 AM is
// midnight, 12 PM noon); minute and second 0-59. Anything else is refused:
// "", "abc", "25:00", "8:60", "8:30:00:00", "-1:00", "830", "8:", a date.
std::optional<TimeOfDay> ParseTimeOfDay(const std::string& text);
// "%H:%M:%S"
std::string FormatTimeOfDay(const TimeOfDay& time);

// "22:00-07:00": two times as ParseTimeOfDay reads them around one "-";
// nothing for anything else or a window that starts where it ends.
std::optional<QuietHours> ParseQuietHours(const std::string& text);
// "HH:MM-HH:MM", with seconds when either end has any.
std::string FormatQuietHours(const QuietHours& quiet);

inline constexpr int32_t kMaxConfirmPolls = 100;
inline constexpr int32_t kMaxEscalateMinutes = 7 * 24 * 60;

// The default name of area -1, GBK.
const std::string& DefaultTotalAreaName();
