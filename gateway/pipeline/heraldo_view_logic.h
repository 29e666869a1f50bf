// The gateway's message handling without its window: received SMS and text
// broadcasts become rows, authorised ones become audio, the scheduler plays
// them through broadcast sessions, and old sound files are cleaned up.
// Everything runs on one thread, driven by timers.
#pragma once

#include <map>
#include <string>

#include "common/sms_stamp.h"
#include "gateway/journal/message_journal.h"
#include "gateway/pipeline/broadcast_observer.h"
#include "gateway/pipeline/message_rows.h"
#include "gateway/pipeline/pipeline_ports.h"
#include "gateway/pipeline/sender_replies.h"
#include "gateway/sender_guard.h"
#include "platform/clock/clock.h"

struct PipelinePorts {
  ReceivedMessages* received = nullptr;
  BroadcastPort* broadcast = nullptr;
  AudioMaker* audio = nullptr;
  TextBroadcastDialog* textDialog = nullptr;
  const Clock* clock = nullptr;
  // Where every message and its fate are kept; none: nothing outlives the program.
  MessageJournal* journal = nullptr;
  // Hears the stage timings, the ends and the queue; none: nobody keeps figures.
  BroadcastObserver* observer = nullptr;
  // Answers senders when the settings ask for it; none: nobody is answered.
  ReplyPort* replies = nullptr;
};

class HeraldoViewLogic {
 public:
  // `programDirectory` holds temp/, OneSecond.mp3 and log.txt; settings are
  // saved to `settingsPath`.
  HeraldoViewLogic(GatewaySettings& settings, std::string settingsPath, std::string programDirectory,
                   PipelinePorts ports);

  // Before Initialise: from now on every message and its fate are kept in
  // `journal`, which must outlive the logic.
  void UseJournal(MessageJournal& journal) { ports_.journal = &journal; }
  // Before Initialise: `observer` hears the figures from now on; it must
  // outlive the logic.
  void UseObserver(BroadcastObserver& observer) { ports_.observer = &observer; }
  // Before Initialise: replies to senders go through `port` from now on.
  void UseReplies(ReplyPort& port) { replies_.UsePort(port); }
  // What the operator should know from the start (GBK), such as every
  // number being allowed to broadcast; empty when nothing.
  const std::string& StartNotice() const { return startNotice_; }
  // Start-up: makes temp/, settles the last clean-up time, and fills the
  // list from the journal: what was waiting or playing when the program
  // ended within the replay window is queued again, older ones are marked
  // expired.
  void Initialise();
  // Timer 1: at most one received SMS per call.
  void ReceiveMessage();
  // The "文本广播" command.
  void SendTextBroadcast();
  // Timer 2: starts waiting rows, finishes at most one played row.
  void SchedulePlayback();
  void StartPlayback(size_t row);
  // Timer 3: a clean-up when interDay days have passed either way.
  void CheckCleanup();
  void ClearTempFiles();
  void AppendLog(const std::string& text);
  // When the view closes: every row into the log.
  void LogAllRows();

  MessageRows& rows() { return rows_; }
  const std::map<std::string, std::string>& busy() const { return busy_; }
  std::string TempDirectory() const { return programDirectory_ + "/temp"; }

 private:
  // The message's row at the end of the list; its index.
  size_t AppendRow(const JournaledMessage& message);
  // `arrived`: when it reached the gateway, for the stage timings.
  void AddMessage(JournaledMessage message, std::chrono::steady_clock::time_point arrived);
  void Restore(JournaledMessage message);
  // Why an arriving message may not be broadcast (UTF-8), empty when it
  // may; takes the PIN out of its text (or masks a wrong one).
  std::string Screen(JournaledMessage& message);
  // The sender hears how it ended, when the settings ask for it.
  void Reply(size_t row, MessageFate fate);
  void Audit(size_t row, MessageFate fate, const std::string& reason);
  // Speaks the row's text into its files; false when there is no MP3.
  bool PrepareAudio(size_t row);
  void Queue(size_t row, std::time_t taken);
  // The journal is told; a journal that cannot be written costs a log line.
  void Record(size_t row, MessageFate fate, const std::string& reason = {});
  // The observer hears how the row's broadcast ended, when `fate` ends it.
  void TellEnd(size_t row, MessageFate fate);
  void TellWaiting();
  void TellStage(BroadcastStage stage, std::chrono::steady_clock::duration took);
  // One pass of the scheduler: SchedulePlayback without the queue's count.
  void ScheduleOnce();
  void Fail(size_t row, const std::string& reason);
  // The broadcast server cannot be reached: tried again until the replay
  // window has passed, then failed.
  void RetryOrFail(size_t row, const std::string& sessionName, const std::string& why);
  std::string AudioStem(const std::string& number, const std::string& time, int64_t journalId) const;
  std::string NowText();

  GatewaySettings& settings_;
  std::string settingsPath_;
  std::string programDirectory_;
  PipelinePorts ports_;
  MessageRows rows_;
  std::map<std::string, std::string> busy_;
  SenderGuard guard_;
  SenderReplies replies_;
  std::string startNotice_;
};

// "2024-07-12 16:30:42" -> "2024-07-12_16_30_42": blanks and colons become "_".
std::string FileBaseName(const std::string& timeText);

// The message a received SMS becomes: the sender without "86", the service
// centre's time (the arrival time `now` for a short stamp), GBK text.
JournaledMessage ArrivingSms(const std::string& peer, const std::string& stamp, const std::string& text,
                             std::time_t now);
