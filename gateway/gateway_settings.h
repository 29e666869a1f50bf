// The gateway's own settings, SMS.ini in the program directory: the modem,
// the lead-in, the clean-up of sound files and the authorisation table.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Telephone number -> comma-separated terminal ids, ordered byte-wise.
using PatTable = std::map<std::string, std::string>;

inline constexpr const char* DEFAULT_LAST_CLEAR_TIME = "2000-00-00 12:00:00";
inline constexpr double DEFAULT_SPEECH_LOUDNESS = -16;
inline constexpr double DEFAULT_SPEECH_HIGH_PASS = 200;
inline constexpr int32_t DEFAULT_REPLAY_MINUTES = 30;

struct GatewaySettings {
  int32_t port = 1;
  int32_t rate = 19200;
  int32_t delay = 1;
  uint32_t interDay = 1;
  uint32_t deadLineDay = 1;
  std::string lastClearTime = DEFAULT_LAST_CLEAR_TIME;
  int32_t regular = 1;  // 1: every number may broadcast, to all terminals
  int32_t phoneCount = 0;
  PatTable pat;
  // [Speech]: every message is levelled to this integrated loudness (LUFS)
  // and high-passed at this frequency (Hz, 0 for none). Read only; a
  // missing or unusable value gives the default.
  double speechLoudness = DEFAULT_SPEECH_LOUDNESS;
  double speechHighPass = DEFAULT_SPEECH_HIGH_PASS;
  // [Journal] ReplayMinutes (0 to 1440): a message taken at most this long
  // ago is played after a restart, and tried again this long while the
  // broadcast server cannot be reached. Read only.
  int32_t replayMinutes = DEFAULT_REPLAY_MINUTES;
  // PAT%d Pin: number -> the PIN its messages must begin with, followed by
  // a blank; a number without one needs none.
  std::map<std::string, std::string> pins;
  // [PhoneAndTerm] MaxPerHour: SMS one number may have broadcast in any
  // hour; 0 for no limit.
  int32_t maxPerHour = 0;
  // [Reply]: Confirm=1 tells each sender how the broadcast ended, Refused=1
  // tells a refused one so (once an hour); both go through Centre, the SMS
  // centre with "86". All off when absent.
  bool replyConfirm = false;
  bool replyRefused = false;
  std::string replyCentre;
};

enum SaveGroup { SAVE_MODEM = 0, SAVE_CLEANUP = 1, SAVE_AUTHORISATION = 2 };

// SMS.ini in the program directory (which becomes the current directory);
// empty when the program directory is unknown.
std::string GatewaySettingsPath();
void LoadGatewaySettings(const std::string& path, GatewaySettings& settings);
void SaveGatewaySettings(const std::string& path, const GatewaySettings& settings, SaveGroup group);

// "3,7," -> {3, 7}; ",5" -> {0, 5}; "" -> {}. Tokens convert as atoi does.
std::vector<int> SplitTerminalIds(const std::string& ids);
// Digits only: what a person's telephone sends from. A received sender
// may also be a name (an alphanumeric sender such as "InternetSMS").
bool IsTelephoneNumber(const std::string& number);
// A received sender's number without its leading "86"; a name as it is.
std::string WithoutCountryCode(const std::string& number);
