// The gateway's list of messages: five text columns per row, and for an
// authorised message the record the scheduler works on. Holds at most 200
// rows; the oldest goes first.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <optional>
#include <string>

enum MessageState : int32_t {
  SMS_PLAYING = 1,
  SMS_PLAYED = 2,
  SMS_WAITING = 3,
  SMS_FAILED = 4,
  TEXT_PLAYING = 5,
  TEXT_PLAYED = 6,
  TEXT_WAITING = 7,
  TEXT_FAILED = 8,
  // Waiting or playing when the program ended, longer ago than the replay
  // window: not played by itself, but "重复播放" plays it.
  SMS_EXPIRED = 9,
  TEXT_EXPIRED = 10,
};

inline constexpr int32_t TEXT_STATE_OFFSET = 4;

struct MessageItem {
  int32_t state = SMS_WAITING;
  int32_t sessionNumber = -1;
  int32_t isText = 0;
  // While the broadcast server cannot be reached, a waiting message is
  // tried again at nextTry, until giveUpAt; then it fails.
  std::time_t nextTry = 0;
  std::time_t giveUpAt = 0;
};

enum RowColumn { COL_NUMBER = 0, COL_TIME = 1, COL_TEXT = 2, COL_STATE = 3, COL_SOURCE = 4 };

struct MessageRow {
  std::string columns[5];  // GBK texts
  std::optional<MessageItem> item;
  int64_t journalId = 0;  // 0: not journaled
  // The name of its WAV and MP3 files in temp/, without the extension.
  std::string audioStem;
  // For the stage timings, in monotonic time: when the message came (none
  // for one restored from the journal, or once it ended), the speaking and
  // encoding it has had since, and when its last session started.
  std::optional<std::chrono::steady_clock::time_point> arrived;
  std::chrono::steady_clock::duration worked{};
  std::chrono::steady_clock::time_point sessionStarted{};
  // Its last speech found only pauses and blanks: not broadcast by rule.
  bool nothingToSpeak = false;
  // Where a reply goes, and the terminals its last session addressed ("3,7").
  std::string replyTo;
  std::string terminals;
  size_t terminalCount = 0;
};

// The fixed texts, GBK.
const std::string& StateText(int32_t state);
const std::string& UnauthorisedText();
const std::string& SmsSourceText();
const std::string& TextSourceText();

class MessageRows {
 public:
  static constexpr size_t kMaxRows = 200;

  // What a window or a headless log wants to hear: a row added at the end,
  // the first row dropped, a row's state text changed.
  struct Observer {
    std::function<void(size_t row)> added;
    std::function<void()> droppedFirst;
    std::function<void(size_t row)> stateChanged;
  };

  void SetObserver(Observer observer) { observer_ = std::move(observer); }
  // Drops the first row when 200 are held, then appends; returns the new row's index.
  size_t Append(MessageRow row);
  void SetStateText(size_t row, const std::string& text);
  // Sets the record's state and the matching text.
  void SetState(size_t row, int32_t state);
  size_t size() const { return rows_.size(); }
  MessageRow& operator[](size_t row) { return rows_[row]; }
  const MessageRow& operator[](size_t row) const { return rows_[row]; }
  // Hands the dropped row to `onDrop` before it goes (the scheduler clears its marks).
  void SetDropHandler(std::function<void(const MessageRow&)> onDrop) { onDrop_ = std::move(onDrop); }
  void Clear() { rows_.clear(); }

 private:
  std::deque<MessageRow> rows_;
  Observer observer_;
  std::function<void(const MessageRow&)> onDrop_;
};
