#include "sim/broadcast/bcsim/session_book.h"

namespace bcsim {
namespace {

using nlohmann::json;

const char* StateName(SessionState state) {
  switch (state) {
    case SessionState::kCreated: return "created";
    case SessionState::kStarted: return "started";
    case SessionState::kStopped: return "stopped";
    case SessionState::kRemoved: return "removed";
    case SessionState::kUnknown: break;
  }
  return "unknown";
}

// An MPEG audio frame header starts with eleven set bits.
bool HasFrameSync(std::string_view frame) {
  return frame.size() >= 2 && static_cast<uint8_t>(frame[0]) == 0xFF && (static_cast<uint8_t>(frame[1]) & 0xE0) == 0xE0;
}

}  // namespace

SessionRecord& SessionBook::Create(std::string name, int32_t kind, int32_t sessionPriority, int32_t userPriority,
                                   int64_t nowMs) {
  int32_t number = ++lastNumber_;
  // Data may have come for this number before the session existed; keep it.
  SessionRecord& session = Record(number);
  session.state = SessionState::kCreated;
  session.name = std::move(name);
  session.kind = kind;
  session.sessionPriority = sessionPriority;
  session.userPriority = userPriority;
  Event(session, "new", nowMs);
  return session;
}

SessionRecord* SessionBook::FindLive(int32_t number) {
  auto it = sessions_.find(number);
  if (it == sessions_.end()) return nullptr;
  SessionState state = it->second.state;
  return state == SessionState::kUnknown || state == SessionState::kRemoved ? nullptr : &it->second;
}

void SessionBook::Event(SessionRecord& session, std::string what, int64_t nowMs, json detail) {
  json event = {{"t", nowMs}, {"event", std::move(what)}};
  if (!detail.is_null()) event["detail"] = std::move(detail);
  session.events.push_back(std::move(event));
}

SessionRecord& SessionBook::Record(int32_t number) {
  SessionRecord& session = sessions_[number];
  session.number = number;
  return session;
}

ReceivedFile& SessionBook::OpenFile(SessionRecord& session) {
  if (session.files.empty() || session.files.back().ended) session.files.emplace_back();
  return session.files.back();
}

void SessionBook::FileStart(int32_t number, std::string path, int64_t /*nowMs*/) {
  SessionRecord& session = Record(number);
  session.files.emplace_back();
  session.files.back().path = std::move(path);
}

void SessionBook::Frame(int32_t number, uint32_t durationUs, std::string_view frame, int64_t nowMs) {
  SessionRecord& session = Record(number);
  ReceivedFile& file = OpenFile(session);
  file.frames += 1;
  file.bytes += static_cast<int64_t>(frame.size());
  file.durationUs += durationUs;
  if (!HasFrameSync(frame)) file.unsynced += 1;
  session.frames += 1;
  session.bytes += static_cast<int64_t>(frame.size());
  session.durationUs += durationUs;
  if (session.firstFrameMs < 0) session.firstFrameMs = nowMs;
  session.lastFrameMs = nowMs;
}

void SessionBook::FileEnd(int32_t number, int64_t /*nowMs*/) { OpenFile(Record(number)).ended = true; }

void SessionBook::DataError(std::string error, int64_t nowMs) {
  dataErrors_.push_back({{"t", nowMs}, {"error", std::move(error)}});
}

json SessionBook::ToJson() const {
  json sessions = json::array();
  for (const auto& [number, s] : sessions_) {
    json files = json::array();
    for (const ReceivedFile& f : s.files)
      files.push_back({{"path", f.path ? json(*f.path) : json(nullptr)},
                       {"frames", f.frames},
                       {"bytes", f.bytes},
                       {"duration_us", f.durationUs},
                       {"unsynced", f.unsynced},
                       {"ended", f.ended}});
    json entry = {{"number", number}, {"state", StateName(s.state)}, {"events", s.events}};
    if (s.state != SessionState::kUnknown) {
      entry["name"] = s.name;
      entry["kind"] = s.kind;
      entry["session_priority"] = s.sessionPriority;
      entry["user_priority"] = s.userPriority;
      entry["terminals"] = s.terminals;
    }
    entry["received"] = {{"files", std::move(files)},
                         {"frames", s.frames},
                         {"bytes", s.bytes},
                         {"duration_us", s.durationUs},
                         {"first_frame_ms", s.firstFrameMs < 0 ? json(nullptr) : json(s.firstFrameMs)},
                         {"last_frame_ms", s.lastFrameMs < 0 ? json(nullptr) : json(s.lastFrameMs)}};
    sessions.push_back(std::move(entry));
  }
  return {{"sessions", std::move(sessions)}, {"data_errors", dataErrors_}};
}

void SessionBook::Clear() {
  RestartNumbering();
  dataErrors_.clear();
}

void SessionBook::RestartNumbering() {
  sessions_.clear();
  lastNumber_ = 0;
}

}  // namespace bcsim
