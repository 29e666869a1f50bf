// The gateway's message handling without its window: received SMS and text
// broadcasts become rows, authorised ones become audio, the scheduler plays
// them through broadcast sessions, and old sound files are cleaned up.
// Everything runs on one thread, driven by timers.
#pragma once

#include <map>
#include <string>

#include "common/sms_stamp.h"
#include "gateway/pipeline/message_rows.h"
#include "gateway/pipeline/pipeline_ports.h"
#include "platform/clock/clock.h"

struct PipelinePorts {
  ReceivedMessages* received = nullptr;
  BroadcastPort* broadcast = nullptr;
  AudioMaker* audio = nullptr;
  TextBroadcastDialog* textDialog = nullptr;
  const Clock* clock = nullptr;
};

class HeraldoViewLogic {
 public:
  // `programDirectory` holds temp/, OneSecond.mp3 and log.txt; settings are
  // saved to `settingsPath`.
  HeraldoViewLogic(GatewaySettings& settings, std::string settingsPath, std::string programDirectory,
                   PipelinePorts ports);

  // Start-up: makes temp/ and settles the last clean-up time.
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
  void AddMessage(const std::string& number, const std::string& time, const std::string& text, bool isText);
  void PrepareAudio(const std::string& number, const std::string& time, const std::string& text);
  std::string NowText();

  GatewaySettings& settings_;
  std::string settingsPath_;
  std::string programDirectory_;
  PipelinePorts ports_;
  MessageRows rows_;
  std::map<std::string, std::string> busy_;
};

// "2024-07-12 16:30:42" -> "2024-07-12_16_30_42": blanks and colons become "_".
std::string FileBaseName(const std::string& timeText);
