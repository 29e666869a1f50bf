#include "gateway/gateway_settings.h"

#include <algorithm>
#include <cstdlib>

#include "gateway/program_directory.h"
#include "platform/profile/profile.h"

namespace {

constexpr size_t kStringBuffer = 2048;

int32_t ReadInt(const char* section, const char* key, int32_t fallback, const std::string& path) {
  return static_cast<int32_t>(profile::GetPrivateProfileInt(section, key, fallback, path));
}

std::string ReadString(const std::string& section, const char* key, const std::string& path) {
  return profile::GetPrivateProfileString(section, key, "", kStringBuffer, path);
}

void WriteInt(const char* section, const char* key, long long value, const std::string& path) {
  profile::WritePrivateProfileString(section, std::string(key), std::to_string(value), path);
}

void WriteString(const std::string& section, const char* key, const std::string& value, const std::string& path) {
  profile::WritePrivateProfileString(section, std::string(key), value, path);
}

std::string PatSection(int i) { return "PAT" + std::to_string(i); }

// A key of a feature that is off unless asked for: written once it is on,
// or when the file has it already, so that an installation that never
// turns it on keeps its file as it was.
void WriteIfUsed(const char* section, const char* key, const std::string& value, const std::string& unused,
                 const std::string& path) {
  if (value == unused && !profile::HasPrivateProfileKey(section, key, path)) return;
  WriteString(section, key, value, path);
}

// A decimal number within [low, high], else the fallback: a typing error
// must not make the horns blare or go quiet.
double ReadNumber(const char* section, const char* key, double fallback, double low, double high,
                  const std::string& path) {
  std::string text = ReadString(section, key, path);
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !(value >= low && value <= high)) return fallback;
  return value;
}

}  // namespace

std::string GatewaySettingsPath() { return ProgramFile("SMS.ini"); }

void LoadGatewaySettings(const std::string& path, GatewaySettings& s) {
  s.port = ReadInt("COM", "Port", 1, path);
  s.rate = ReadInt("COM", "Rate", 19200, path);
  s.delay = ReadInt("Power", "Delay", 1, path);
  s.interDay = static_cast<uint32_t>(ReadInt("MediaFile", "InterDay", 1, path));
  s.deadLineDay = static_cast<uint32_t>(ReadInt("MediaFile", "DeadLineDay", 1, path));
  s.lastClearTime =
      profile::GetPrivateProfileString("MediaFile", "LastClearTime", DEFAULT_LAST_CLEAR_TIME, kStringBuffer, path);
  s.regular = ReadInt("PhoneAndTerm", "Regular", 1, path);
  s.phoneCount = ReadInt("PhoneAndTerm", "PhoneCount", 0, path);
  s.speechLoudness = ReadNumber("Speech", "Loudness", DEFAULT_SPEECH_LOUDNESS, -40, -6, path);
  s.speechHighPass = ReadNumber("Speech", "HighPass", DEFAULT_SPEECH_HIGH_PASS, 0, 1000, path);
  s.replayMinutes = static_cast<int32_t>(ReadNumber("Journal", "ReplayMinutes", DEFAULT_REPLAY_MINUTES, 0, 1440, path));
  s.maxPerHour = std::max(0, ReadInt("PhoneAndTerm", "MaxPerHour", 0, path));
  s.replyConfirm = ReadInt("Reply", "Confirm", 0, path) == 1;
  s.replyRefused = ReadInt("Reply", "Refused", 0, path) == 1;
  s.replyCentre = ReadString("Reply", "Centre", path);
  s.pat.clear();
  s.pins.clear();
  for (int i = 1; i <= s.phoneCount; ++i) {
    std::string number = ReadString(PatSection(i), "Number", path);
    s.pat[number] = ReadString(PatSection(i), "IDs", path);
    std::string pin = ReadString(PatSection(i), "Pin", path);
    if (pin.empty()) s.pins.erase(number);
    else s.pins[number] = pin;
  }
}

void SaveGatewaySettings(const std::string& path, const GatewaySettings& s, SaveGroup group) {
  switch (group) {
    case SAVE_MODEM:
      WriteInt("COM", "Port", s.port, path);
      WriteInt("COM", "Rate", s.rate, path);
      WriteInt("Power", "Delay", s.delay, path);
      WriteIfUsed("Reply", "Confirm", s.replyConfirm ? "1" : "0", "0", path);
      WriteIfUsed("Reply", "Refused", s.replyRefused ? "1" : "0", "0", path);
      WriteIfUsed("Reply", "Centre", s.replyCentre, "", path);
      break;
    case SAVE_CLEANUP:
      WriteInt("MediaFile", "InterDay", s.interDay, path);
      WriteInt("MediaFile", "DeadLineDay", s.deadLineDay, path);
      WriteString("MediaFile", "LastClearTime", s.lastClearTime, path);
      break;
    case SAVE_AUTHORISATION: {
      WriteInt("PhoneAndTerm", "Regular", s.regular, path);
      WriteInt("PhoneAndTerm", "PhoneCount", s.phoneCount, path);
      WriteIfUsed("PhoneAndTerm", "MaxPerHour", std::to_string(s.maxPerHour), "0", path);
      int i = 1;
      for (auto entry = s.pat.begin(); entry != s.pat.end() && i <= s.phoneCount; ++entry, ++i) {
        WriteString(PatSection(i), "Number", entry->first, path);
        WriteString(PatSection(i), "IDs", entry->second, path);
        // Entries are renumbered as the table changes: a PIN goes with its number.
        auto pin = s.pins.find(entry->first);
        if (pin != s.pins.end() && !pin->second.empty()) WriteString(PatSection(i), "Pin", pin->second, path);
        else if (profile::HasPrivateProfileKey(PatSection(i), "Pin", path))
          profile::WritePrivateProfileString(PatSection(i), std::string("Pin"), std::nullopt, path);
      }
      break;
    }
  }
}

std::vector<int> SplitTerminalIds(const std::string& ids) {
  std::vector<int> terminals;
  size_t start = 0;
  while (start < ids.size()) {
    size_t comma = ids.find(',', start);
    if (comma == std::string::npos) comma = ids.size();
    terminals.push_back(std::atoi(ids.substr(start, comma - start).c_str()));
    start = comma + 1;
  }
  return terminals;
}

bool IsTelephoneNumber(const std::string& number) {
  return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string WithoutCountryCode(const std::string& number) {
  return IsTelephoneNumber(number) && number.compare(0, 2, "86") == 0 ? number.substr(2) : number;
}
