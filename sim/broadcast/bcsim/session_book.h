// Every session the command port has created, and everything the data port
// received for each session number, kept until a reset so that tests can
// compare what the gateway asked for with what it streamed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace bcsim {

enum class SessionState { kUnknown, kCreated, kStarted, kStopped, kRemoved };

struct ReceivedFile {
  std::optional<std::string> path;  // none: frames that came outside a file start/end pair
  int64_t frames = 0;
  int64_t bytes = 0;       // frame bytes, without the duration field
  int64_t durationUs = 0;  // sum of the frames' durations
  int64_t unsynced = 0;    // frames that do not begin with an MPEG frame sync
  bool ended = false;      // its file end record came
};

struct SessionRecord {
  int32_t number = 0;
  SessionState state = SessionState::kUnknown;  // kUnknown: only the data port has heard of it
  std::string name;                             // UTF-8
  int32_t kind = 0;
  int32_t sessionPriority = 0;
  int32_t userPriority = 0;
  std::vector<int32_t> terminals;  // every add_term, in order
  std::vector<nlohmann::json> events;

  std::vector<ReceivedFile> files;
  int64_t frames = 0;
  int64_t bytes = 0;
  int64_t durationUs = 0;
  int64_t firstFrameMs = -1;
  int64_t lastFrameMs = -1;
};

class SessionBook {
 public:
  // A new session numbered one above the last (1 after a reset).
  SessionRecord& Create(std::string name, int32_t kind, int32_t sessionPriority, int32_t userPriority, int64_t nowMs);
  // A session the command port created and has not removed; null otherwise.
  SessionRecord* FindLive(int32_t number);
  // Notes a command's effect in the session's history (the caller changes
  // the state itself).
  void Event(SessionRecord& session, std::string what, int64_t nowMs, nlohmann::json detail = nullptr);

  void FileStart(int32_t session, std::string path, int64_t nowMs);
  void Frame(int32_t session, uint32_t durationUs, std::string_view frame, int64_t nowMs);
  void FileEnd(int32_t session, int64_t nowMs);
  void DataError(std::string error, int64_t nowMs);

  nlohmann::json ToJson() const;
  void Clear();
  // As a server that restarted: every session and its record are gone, and
  // the next one is numbered 1 again. Data errors stay.
  void RestartNumbering();

 private:
  SessionRecord& Record(int32_t number);
  ReceivedFile& OpenFile(SessionRecord& session);

  std::map<int32_t, SessionRecord> sessions_;
  int32_t lastNumber_ = 0;
  std::vector<nlohmann::json> dataErrors_;
};

}  // namespace bcsim
