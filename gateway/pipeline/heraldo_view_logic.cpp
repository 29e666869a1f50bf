#include "gateway/pipeline/heraldo_view_logic.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gateway/authorisation.h"
#include "platform/timetext/timetext.h"

namespace {

constexpr long kSecondsPerDay = 86400;
constexpr const char* kLeadIn = "OneSecond.mp3";
constexpr const char* kAllTerminalsMarker = "Term";
constexpr size_t kDatedNameTail = 23;  // "2012-03-04_05_06_07.wav"

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string Replace(std::string text, char from, char to) {
  for (char& c : text)
    if (c == from) c = to;
  return text;
}

bool IsPlaying(int32_t state) { return state == SMS_PLAYING || state == TEXT_PLAYING; }

}  // namespace

std::string FileBaseName(const std::string& timeText) { return Replace(Replace(Trim(timeText), ' ', '_'), ':', '_'); }

HeraldoViewLogic::HeraldoViewLogic(GatewaySettings& settings, std::string settingsPath, std::string programDirectory,
                                   PipelinePorts ports)
    : settings_(settings),
      settingsPath_(std::move(settingsPath)),
      programDirectory_(std::move(programDirectory)),
      ports_(ports) {
  // A row dropped at the limit while it plays takes its number's busy mark
  // with it; otherwise that number's later messages would wait forever.
  rows_.SetDropHandler([this](const MessageRow& row) {
    if (row.item && IsPlaying(row.item->state)) busy_.erase(row.columns[COL_NUMBER]);
  });
}

void HeraldoViewLogic::Initialise() {
  std::error_code ignored;
  std::filesystem::create_directories(TempDirectory(), ignored);
  if (!timetext::ParseLocalTime(settings_.lastClearTime)) {
    settings_.lastClearTime = timetext::FormatLocalTime(ports_.clock->WallNow() -
                                                        static_cast<std::time_t>(settings_.interDay) * kSecondsPerDay);
    SaveGatewaySettings(settingsPath_, settings_, SAVE_CLEANUP);
  }
}

std::string HeraldoViewLogic::NowText() { return timetext::FormatLocalTime(ports_.clock->WallNow()); }

void HeraldoViewLogic::ReceiveMessage() {
  std::string peer, stamp, text;
  if (!ports_.received->PopReceived(peer, stamp, text)) return;
  // The service always sends a full stamp; a short one gets the arrival time.
  std::string time = StampToTimeText(stamp).value_or(NowText());
  AddMessage(WithoutCountryCode(peer), time, text, false);
}

void HeraldoViewLogic::SendTextBroadcast() {
  auto request = ports_.textDialog->Ask(settings_.pat);
  if (!request) return;
  AddMessage(request->number, NowText(), request->text, true);
}

void HeraldoViewLogic::AddMessage(const std::string& number, const std::string& time, const std::string& text,
                                  bool isText) {
  MessageRow row;
  row.columns[COL_NUMBER] = number;
  row.columns[COL_TIME] = time;
  row.columns[COL_TEXT] = text;
  row.columns[COL_SOURCE] = isText ? TextSourceText() : SmsSourceText();
  size_t index = rows_.Append(std::move(row));
  AppendLog(text);
  if (!Authorise(settings_, number, AuthorisationStep::Arrival).allowed) {
    rows_.SetStateText(index, UnauthorisedText());
    return;
  }
  PrepareAudio(number, time, text);
  rows_[index].item = MessageItem{isText ? TEXT_WAITING : SMS_WAITING, -1, isText ? 1 : 0};
  rows_.SetStateText(index, StateText(rows_[index].item->state));
}

void HeraldoViewLogic::PrepareAudio(const std::string& number, const std::string& time, const std::string& text) {
  namespace fs = std::filesystem;
  std::error_code error;
  // Made again when someone removed it since the start.
  fs::create_directories(TempDirectory(), error);
  std::string base = TempDirectory() + "/" + number + FileBaseName(time);
  std::string wavPath = base + ".wav";
  SpeechResult speech = ports_.audio->Text2Wav(text, wavPath);
  char entry[1024];
  std::snprintf(entry, sizeof entry, "%s Text2Wav Result Code:%d", wavPath.c_str(), speech.code);
  AppendLog(entry);
  if (speech.droppedCharacters > 0) {
    AppendLog(wavPath + ": " + std::to_string(speech.droppedCharacters) +
              " characters that cannot be spoken (emoji, control characters) left out");
  }
  ports_.audio->Wav2Mp3(wavPath);
  // The row fails without its speech (StartPlayback); the log says why.
  if (fs::exists(base + ".mp3", error)) return;
  std::string why = speech.nothingToSpeak ? "the message holds nothing to speak, it is not broadcast"
                    : fs::is_directory(TempDirectory(), error) ? "speaking or encoding failed"
                                                               : TempDirectory() + " is not a folder";
  AppendLog(base + ".mp3 not made: " + why);
}

void HeraldoViewLogic::SchedulePlayback() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    auto& item = rows_[i].item;
    if (!item) continue;
    if (item->state == SMS_WAITING || item->state == TEXT_WAITING) {
      StartPlayback(i);
      continue;
    }
    if (!IsPlaying(item->state)) continue;
    auto finished = ports_.broadcast->SessionFinished(item->sessionNumber);
    if (finished && !*finished) continue;
    rows_.SetState(i, item->state + 1);  // playing -> played
    busy_.erase(rows_[i].columns[COL_NUMBER]);
    return;  // one row finished per tick
  }
}

void HeraldoViewLogic::StartPlayback(size_t row) {
  const std::string number = rows_[row].columns[COL_NUMBER];
  const std::string time = Replace(rows_[row].columns[COL_TIME], ':', '_');
  Authorisation authorised = Authorise(settings_, number, AuthorisationStep::Playback);
  if (!authorised.allowed) return;

  std::vector<int> terminals = authorised.terminals;
  // The server's list is asked for before the busy check, as the gateway always did.
  if (authorised.allTerminals) terminals = ports_.broadcast->AllTerminalIds();

  std::string mp3Name = Replace(Trim(number + time + ".mp3"), ' ', '_');
  std::vector<PlayItem> playList;
  for (int i = 0; i < settings_.delay; ++i) playList.push_back({kLeadIn, programDirectory_ + "/" + kLeadIn});
  playList.push_back({mp3Name, TempDirectory() + "/" + mp3Name});

  if (busy_.count(number)) return;
  auto& item = rows_[row].item;
  if (!item) return;
  std::string sessionName = authorised.allTerminals ? number : number + authorised.ids;
  int failed = item->isText ? TEXT_FAILED : SMS_FAILED;
  // Without the speech only the lead-in would play, and the row would say played.
  std::error_code error;
  if (playList.empty() || terminals.empty() || !std::filesystem::exists(playList.back().path, error)) {
    rows_.SetState(row, failed);
    return;
  }
  int session = ports_.broadcast->CreateSession(terminals, playList, sessionName);
  if (session == -1) {
    rows_.SetState(row, failed);
    return;
  }
  busy_[number] = authorised.listed ? authorised.ids : kAllTerminalsMarker;
  item->sessionNumber = session;
  rows_.SetState(row, item->isText ? TEXT_PLAYING : SMS_PLAYING);
  AppendLog(sessionName);
}

void HeraldoViewLogic::CheckCleanup() {
  auto last = timetext::ParseLocalTime(settings_.lastClearTime);
  std::time_t now = ports_.clock->WallNow();
  long days = last ? static_cast<long>((now - *last) / kSecondsPerDay) : 0;
  if (std::labs(days) <= static_cast<long>(settings_.interDay)) return;
  ClearTempFiles();
  settings_.lastClearTime = timetext::FormatLocalTime(now);
  SaveGatewaySettings(settingsPath_, settings_, SAVE_CLEANUP);
}

void HeraldoViewLogic::ClearTempFiles() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(TempDirectory(), error)) {
    fs::create_directories(TempDirectory(), error);
    return;
  }
  std::time_t now = ports_.clock->WallNow();
  for (const auto& file : fs::directory_iterator(TempDirectory(), error)) {
    if (file.is_directory(error)) continue;
    std::string path = file.path().string();
    if (path.size() < kDatedNameTail) continue;
    std::string tail = path.substr(path.size() - kDatedNameTail);
    std::string stamp = tail.substr(0, 19);
    size_t firstUnderscore = stamp.find('_');
    if (firstUnderscore != std::string::npos) stamp[firstUnderscore] = ' ';
    stamp = Replace(stamp, '_', ':');
    auto made = timetext::ParseLocalTime(stamp);
    bool remove = !made;
    if (made) {
      long age = static_cast<long>((now - *made) / kSecondsPerDay);
      bool isWav = tail.compare(tail.size() - 4, 4, ".wav") == 0;
      remove = isWav || std::labs(age) > static_cast<long>(settings_.deadLineDay);
    }
    if (remove) fs::remove(file.path(), error);
  }
}

void HeraldoViewLogic::AppendLog(const std::string& text) {
  std::ofstream log(programDirectory_ + "/log.txt", std::ios::binary | std::ios::app);
  log << text << "\r\n";
}

void HeraldoViewLogic::LogAllRows() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    std::string entry;
    for (int column = COL_NUMBER; column <= COL_STATE; ++column) entry += rows_[i].columns[column] + " ";
    AppendLog(entry);
  }
}
