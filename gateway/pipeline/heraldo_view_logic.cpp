#include "gateway/pipeline/heraldo_view_logic.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gateway/authorisation.h"
#include "platform/codepage/codepage.h"
#include "platform/journal/sqlite_db.h"
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

// While the broadcast server cannot be reached, how long a message waits
// before it is tried again.
constexpr std::time_t kRetryAfterS = 10;

constexpr const char* kNotAuthorised = "number not authorised";

MessageItem ItemIn(int32_t smsState, bool isText) {
  return MessageItem{isText ? smsState + TEXT_STATE_OFFSET : smsState, -1, isText ? 1 : 0};
}

}  // namespace

std::string FileBaseName(const std::string& timeText) { return Replace(Replace(Trim(timeText), ' ', '_'), ':', '_'); }

JournaledMessage ArrivingSms(const std::string& peer, const std::string& stamp, const std::string& text,
                             std::time_t now) {
  JournaledMessage message;
  message.number = WithoutCountryCode(peer);
  // The service always sends a full stamp; a short one gets the arrival time.
  message.time = StampToTimeText(stamp).value_or(timetext::FormatLocalTime(now));
  message.text = text;
  message.taken = now;
  message.sender = peer;
  return message;
}

HeraldoViewLogic::HeraldoViewLogic(GatewaySettings& settings, std::string settingsPath, std::string programDirectory,
                                   PipelinePorts ports)
    : settings_(settings),
      settingsPath_(std::move(settingsPath)),
      programDirectory_(std::move(programDirectory)),
      ports_(ports),
      replies_(settings, ports.replies) {
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
  if (ports_.journal) {
    try {
      for (const JournaledMessage& message : ports_.journal->Latest(MessageRows::kMaxRows)) Restore(message);
    } catch (const journal::JournalError& error) {
      AppendLog(std::string("heraldo.db cannot be read: ") + error.what());
    }
  }
  // The seed default lets anyone broadcast to every loudspeaker: said once, plainly.
  if (settings_.regular == 1) {
    startNotice_ = codepage::Utf8ToGbk("注意：任何号码都可以向所有终端广播（Regular=1）");
    AppendLog("Regular=1: every number may broadcast, to every terminal");
  }
  TellWaiting();
}

size_t HeraldoViewLogic::AppendRow(const JournaledMessage& message) {
  MessageRow row;
  row.columns[COL_NUMBER] = message.number;
  row.columns[COL_TIME] = message.time;
  row.columns[COL_TEXT] = message.text;
  row.columns[COL_SOURCE] = message.isText ? TextSourceText() : SmsSourceText();
  row.journalId = message.id;
  row.audioStem = AudioStem(message.number, message.time, message.id);
  row.replyTo = message.sender.empty() ? message.number : message.sender;
  return rows_.Append(std::move(row));
}

void HeraldoViewLogic::Restore(JournaledMessage message) {
  bool unfinished = message.fate == MessageFate::Queued || message.fate == MessageFate::Playing;
  // Taken just before the end, it may never have been checked.
  std::string refusal;
  if (unfinished) {
    bool checked = message.isText || (ports_.journal && ports_.journal->Accepted(message.id));
    refusal = checked ? (Authorise(settings_, message.number, AuthorisationStep::Arrival).allowed ? "" : kNotAuthorised)
                      : Screen(message);
  }
  size_t index = AppendRow(message);
  if (message.fate == MessageFate::Refused || !refusal.empty()) {
    rows_.SetStateText(index, UnauthorisedText());
    if (unfinished) Record(index, MessageFate::Refused, refusal);
    return;
  }
  auto& item = rows_[index].item;
  switch (message.fate) {
    case MessageFate::Played: item = ItemIn(SMS_PLAYED, message.isText); break;
    case MessageFate::Failed: item = ItemIn(SMS_FAILED, message.isText); break;
    case MessageFate::Expired: item = ItemIn(SMS_EXPIRED, message.isText); break;
    default:
      if (ports_.clock->WallNow() - message.taken > static_cast<std::time_t>(settings_.replayMinutes) * 60) {
        item = ItemIn(SMS_EXPIRED, message.isText);
        Record(index, MessageFate::Expired);
        AppendLog(message.number + " " + message.time + ": not played before the restart, and too old to play now");
        break;
      }
      // A message cut off while playing is played again from its start.
      AppendLog(message.number + " " + message.time + ": queued again after the restart");
      PrepareAudio(index);
      Queue(index, message.taken);
      return;
  }
  rows_.SetState(index, item->state);
}

std::string HeraldoViewLogic::AudioStem(const std::string& number, const std::string& time, int64_t journalId) const {
  // Two messages from one number in one second must not share their files;
  // the clean-up reads the time at the name's end.
  std::string tag = journalId > 0 ? "_" + std::to_string(journalId) + "_" : "";
  return Replace(Trim(number + tag + FileBaseName(time)), ' ', '_');
}

void HeraldoViewLogic::Queue(size_t row, std::time_t taken) {
  auto& item = rows_[row].item;
  item = ItemIn(SMS_WAITING, rows_[row].columns[COL_SOURCE] == TextSourceText());
  item->giveUpAt = taken + static_cast<std::time_t>(settings_.replayMinutes) * 60;
  rows_.SetState(row, item->state);
}

void HeraldoViewLogic::Record(size_t row, MessageFate fate, const std::string& reason) {
  TellEnd(row, fate);
  Reply(row, fate);
  if (!ports_.journal) return;
  try {
    Audit(row, fate, reason);
    if (rows_[row].journalId != 0) ports_.journal->Record(rows_[row].journalId, fate, reason);
  } catch (const journal::JournalError& error) {
    AppendLog(std::string("heraldo.db cannot be written: ") + error.what());
  }
}

void HeraldoViewLogic::Audit(size_t row, MessageFate fate, const std::string& reason) {
  const char* decision = nullptr;
  switch (fate) {
    case MessageFate::Played: decision = "played"; break;
    case MessageFate::Refused: decision = "refused"; break;
    case MessageFate::Failed:
    case MessageFate::Expired: decision = "failed"; break;
    default: return;
  }
  const MessageRow& decided = rows_[row];
  std::string why = reason;
  if (why.empty() && fate == MessageFate::Refused) why = kNotAuthorised;
  if (why.empty() && fate == MessageFate::Expired) why = "not played before the restart, and too old to play now";
  ports_.journal->Audit({ports_.clock->WallNow(), decided.columns[COL_NUMBER],
                         fate == MessageFate::Refused ? std::string() : decided.terminals, decided.columns[COL_TEXT],
                         decision, why});
}

void HeraldoViewLogic::Reply(size_t row, MessageFate fate) {
  const MessageRow& ended = rows_[row];
  // The operator typed a text broadcast: there is nobody to answer.
  if (ended.columns[COL_SOURCE] != SmsSourceText()) return;
  const std::string& text = ended.columns[COL_TEXT];
  std::string sent;
  switch (fate) {
    case MessageFate::Played: sent = replies_.Played(ended.replyTo, text, ended.terminalCount); break;
    case MessageFate::Failed:
    case MessageFate::Expired: sent = replies_.Failed(ended.replyTo, text); break;
    case MessageFate::Refused: sent = replies_.Refused(ended.replyTo, ports_.clock->WallNow()); break;
    default: return;
  }
  if (!sent.empty()) AppendLog("reply to " + ended.replyTo + ": " + sent);
  else if (!replies_.trouble().empty()) AppendLog("reply to " + ended.replyTo + " not sent: " + replies_.trouble());
}

void HeraldoViewLogic::Fail(size_t row, const std::string& reason) {
  rows_.SetState(row, rows_[row].item->isText ? TEXT_FAILED : SMS_FAILED);
  AppendLog(rows_[row].columns[COL_NUMBER] + " " + rows_[row].columns[COL_TIME] + " not broadcast: " + reason);
  Record(row, MessageFate::Failed, reason);
}

void HeraldoViewLogic::RetryOrFail(size_t row, const std::string& sessionName, const std::string& why) {
  auto& item = rows_[row].item;
  std::time_t now = ports_.clock->WallNow();
  if (now < item->giveUpAt) {
    if (item->nextTry == 0)
      AppendLog(sessionName + ": " + why + "; tried again until " + timetext::FormatLocalTime(item->giveUpAt));
    item->nextTry = now + kRetryAfterS;
    return;
  }
  Fail(row, why + (item->nextTry == 0 ? std::string() : ", until the replay window ended"));
}

void HeraldoViewLogic::TellEnd(size_t row, MessageFate fate) {
  MessageRow& ended = rows_[row];
  // Refused: a sender without the right, or a message with nothing to speak
  // (only emoji, say), neither of them a fault to raise an alarm for.
  // Failed: speech, encoding, terminals or session failed, or the message
  // expired unplayed across a restart. Queued and playing end nothing.
  BroadcastResult result;
  switch (fate) {
    case MessageFate::Played: result = BroadcastResult::Played; break;
    case MessageFate::Refused: result = BroadcastResult::Refused; break;
    case MessageFate::Failed: result = ended.nothingToSpeak ? BroadcastResult::Refused : BroadcastResult::Failed; break;
    case MessageFate::Expired: result = BroadcastResult::Failed; break;
    default: return;
  }
  // Played again later (重复播放), it has no arrival of its own to time.
  ended.arrived.reset();
  ended.worked = {};
  if (!ports_.observer) return;
  // An expired row is told before its state text is set.
  const std::string& stateText = ended.item ? StateText(ended.item->state) : ended.columns[COL_STATE];
  ports_.observer->Ended(
      {result, ended.columns[COL_NUMBER], ended.columns[COL_TIME], ended.columns[COL_TEXT], stateText});
}

void HeraldoViewLogic::TellWaiting() {
  if (!ports_.observer) return;
  size_t waiting = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const auto& item = rows_[i].item;
    if (item && (item->state == SMS_WAITING || item->state == TEXT_WAITING)) ++waiting;
  }
  ports_.observer->Waiting(waiting);
}

void HeraldoViewLogic::TellStage(BroadcastStage stage, std::chrono::steady_clock::duration took) {
  if (ports_.observer) ports_.observer->StageTook(stage, std::max(took, std::chrono::steady_clock::duration::zero()));
}

std::string HeraldoViewLogic::NowText() { return timetext::FormatLocalTime(ports_.clock->WallNow()); }

void HeraldoViewLogic::ReceiveMessage() {
  std::string peer, stamp, text;
  if (!ports_.received->PopReceived(peer, stamp, text)) return;
  JournaledMessage message = ArrivingSms(peer, stamp, text, ports_.clock->WallNow());
  // The agent journaled it as it fetched it.
  message.id = ports_.received->LastJournalId();
  AddMessage(message, ports_.received->LastArrival().value_or(ports_.clock->MonotonicNow()));
  TellWaiting();
}

void HeraldoViewLogic::SendTextBroadcast() {
  auto request = ports_.textDialog->Ask(settings_.pat);
  if (!request) return;
  auto confirmed = ports_.clock->MonotonicNow();
  JournaledMessage message{0, request->number, NowText(), request->text, true};
  message.taken = ports_.clock->WallNow();
  if (ports_.journal) {
    try {
      message.id = ports_.journal->Add(message).value_or(0);
    } catch (const journal::JournalError& error) {
      AppendLog(std::string("heraldo.db cannot be written: ") + error.what());
    }
  }
  AddMessage(message, confirmed);
  TellWaiting();
}

void HeraldoViewLogic::AddMessage(JournaledMessage message, std::chrono::steady_clock::time_point arrived) {
  std::string refusal =
      message.isText
          ? (Authorise(settings_, message.number, AuthorisationStep::Arrival).allowed ? std::string() : kNotAuthorised)
          : Screen(message);
  size_t index = AppendRow(message);
  rows_[index].arrived = arrived;
  AppendLog(message.text);
  if (!refusal.empty()) {
    rows_.SetStateText(index, UnauthorisedText());
    Record(index, MessageFate::Refused, refusal);
    return;
  }
  PrepareAudio(index);
  Queue(index, message.taken);
}

std::string HeraldoViewLogic::Screen(JournaledMessage& message) {
  if (!Authorise(settings_, message.number, AuthorisationStep::Arrival).allowed) return kNotAuthorised;
  SenderVerdict verdict = guard_.Check(settings_, message.number, message.text, ports_.clock->WallNow());
  message.text = verdict.text;
  if (ports_.journal && message.id != 0) {
    try {
      ports_.journal->Accept(message.id, message.text);
    } catch (const journal::JournalError& error) {
      AppendLog(std::string("heraldo.db cannot be written: ") + error.what());
    }
  }
  return verdict.why;
}

bool HeraldoViewLogic::PrepareAudio(size_t row) {
  namespace fs = std::filesystem;
  std::error_code error;
  // Made again when someone removed it since the start.
  fs::create_directories(TempDirectory(), error);
  const std::string& text = rows_[row].columns[COL_TEXT];
  std::string base = TempDirectory() + "/" + rows_[row].audioStem;
  std::string wavPath = base + ".wav";
  auto speechBegan = ports_.clock->MonotonicNow();
  SpeechResult speech = ports_.audio->Text2Wav(text, wavPath);
  auto spoken = ports_.clock->MonotonicNow();
  char entry[1024];
  std::snprintf(entry, sizeof entry, "%s Text2Wav Result Code:%d", wavPath.c_str(), speech.code);
  AppendLog(entry);
  if (speech.droppedCharacters > 0) {
    AppendLog(wavPath + ": " + std::to_string(speech.droppedCharacters) +
              " characters that cannot be spoken (emoji, control characters) left out");
  }
  auto encodeBegan = ports_.clock->MonotonicNow();
  ports_.audio->Wav2Mp3(wavPath);
  auto encoded = ports_.clock->MonotonicNow();
  MessageRow& made = rows_[row];
  made.worked += (spoken - speechBegan) + (encoded - encodeBegan);
  made.nothingToSpeak = speech.nothingToSpeak;
  TellStage(BroadcastStage::Speech, spoken - speechBegan);
  TellStage(BroadcastStage::Encode, encoded - encodeBegan);
  // The row fails without its speech (StartPlayback); the log says why.
  if (fs::exists(base + ".mp3", error)) return true;
  std::string why = speech.nothingToSpeak ? "the message holds nothing to speak, it is not broadcast"
                    : fs::is_directory(TempDirectory(), error) ? "speaking or encoding failed"
                                                               : TempDirectory() + " is not a folder";
  AppendLog(base + ".mp3 not made: " + why);
  return false;
}

void HeraldoViewLogic::SchedulePlayback() {
  ScheduleOnce();
  TellWaiting();
}

void HeraldoViewLogic::ScheduleOnce() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    auto& item = rows_[i].item;
    if (!item) continue;
    if (item->state == SMS_WAITING || item->state == TEXT_WAITING) {
      if (item->nextTry <= ports_.clock->WallNow()) StartPlayback(i);
      continue;
    }
    if (!IsPlaying(item->state)) continue;
    auto finished = ports_.broadcast->SessionFinished(item->sessionNumber);
    if (finished && !*finished) continue;
    busy_.erase(rows_[i].columns[COL_NUMBER]);
    std::string trouble = ports_.broadcast->SessionTrouble(item->sessionNumber);
    if (!trouble.empty()) {
      Fail(i, trouble);
      return;
    }
    auto now = ports_.clock->MonotonicNow();
    TellStage(BroadcastStage::Session, now - rows_[i].sessionStarted);
    if (rows_[i].arrived) TellStage(BroadcastStage::Total, now - *rows_[i].arrived);
    rows_.SetState(i, item->state + 1);  // playing -> played
    Record(i, MessageFate::Played);
    return;  // one row finished per tick
  }
}

void HeraldoViewLogic::StartPlayback(size_t row) {
  const std::string number = rows_[row].columns[COL_NUMBER];
  Authorisation authorised = Authorise(settings_, number, AuthorisationStep::Playback);
  if (!authorised.allowed) return;

  std::vector<int> terminals = authorised.terminals;
  // The server's list is asked for before the busy check, as the gateway always did.
  if (authorised.allTerminals) terminals = ports_.broadcast->AllTerminalIds();

  std::string mp3Name = rows_[row].audioStem + ".mp3";
  std::vector<PlayItem> playList;
  for (int i = 0; i < settings_.delay; ++i) playList.push_back({kLeadIn, programDirectory_ + "/" + kLeadIn});
  playList.push_back({mp3Name, TempDirectory() + "/" + mp3Name});

  if (busy_.count(number)) return;
  auto& item = rows_[row].item;
  if (!item) return;
  std::string sessionName = authorised.allTerminals ? number : number + authorised.ids;
  // Without the speech only the lead-in would play, and the row would say
  // played. A message played again after its files were cleaned up is
  // spoken again.
  std::error_code error;
  if (!std::filesystem::exists(playList.back().path, error) && !PrepareAudio(row)) {
    Fail(row, "it has no speech");
    return;
  }
  if (terminals.empty()) {
    if (authorised.allTerminals) RetryOrFail(row, sessionName, "the broadcast server gave no terminal list");
    else Fail(row, "its number lists no terminals");
    return;
  }
  int session = ports_.broadcast->CreateSession(terminals, playList, sessionName);
  if (session == -1) {
    RetryOrFail(row, sessionName, "the broadcast server did not start the session");
    return;
  }
  busy_[number] = authorised.listed ? authorised.ids : kAllTerminalsMarker;
  item->sessionNumber = session;
  item->nextTry = 0;
  MessageRow& started = rows_[row];
  started.terminalCount = terminals.size();
  started.terminals.clear();
  for (int id : terminals) started.terminals += (started.terminals.empty() ? "" : ",") + std::to_string(id);
  started.sessionStarted = ports_.clock->MonotonicNow();
  if (started.arrived) TellStage(BroadcastStage::Wait, started.sessionStarted - *started.arrived - started.worked);
  rows_.SetState(row, item->isText ? TEXT_PLAYING : SMS_PLAYING);
  Record(row, MessageFate::Playing);
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
