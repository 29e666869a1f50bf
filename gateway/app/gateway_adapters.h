// The message pipeline's ports, filled with the real parts: the client
// agent, the broadcast server and its sessions, speech and encoding, the
// system clock.
#pragma once

#include <cstring>

#include "common/kestrum_agent.h"
#include "gateway/app/arrival_line.h"
#include "gateway/app/server_contact.h"
#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/pipeline/heraldo_window_logic.h"
#include "gateway/pipeline/modem_status.h"
#include "gateway/pipeline/pipeline_ports.h"

class AgentMessages final : public ReceivedMessages, public KestrumAgentControl {
 public:
  // `arrivals` hears, from the agent's keeper, each SMS it queues; both
  // must outlive this object.
  AgentMessages(KestrumAgent& agent, ArrivalLine& arrivals) : KestrumAgentControl(agent), arrivals_(arrivals) {}
  bool PopReceived(std::string& peer, std::string& stamp, std::string& text) override {
    SmsRecord record;
    if (!agent_.PopReceived(record)) return false;
    peer.assign(record.peer, strnlen(record.peer, sizeof record.peer));
    stamp.assign(record.stamp, strnlen(record.stamp, sizeof record.stamp));
    text.assign(record.text, strnlen(record.text, sizeof record.text));
    lastJournalId_ = record.keptAs;
    lastArrival_ = arrivals_.Take();
    return true;
  }
  int64_t LastJournalId() const override { return lastJournalId_; }
  std::optional<ArrivalLine::TimePoint> LastArrival() const override { return lastArrival_; }

 private:
  ArrivalLine& arrivals_;
  int64_t lastJournalId_ = 0;
  std::optional<ArrivalLine::TimePoint> lastArrival_;
};

class ServerBroadcast final : public BroadcastPort {
 public:
  // Both must outlive it.
  ServerBroadcast(SessionMgr& sessions, const BroadcastServerSettings& server) : sessions_(sessions), server_(server) {}
  std::vector<int> AllTerminalIds() override;
  int CreateSession(const std::vector<int>& terminals, const std::vector<PlayItem>& playList,
                    const std::string& name) override;
  std::optional<bool> SessionFinished(int number) override;
  std::string SessionTrouble(int number) override;
  // Whether the server answered the last time it was needed; safe from any thread.
  const ServerContact& contact() const { return contact_; }

 private:
  SessionMgr& sessions_;
  const BroadcastServerSettings& server_;
  ServerContact contact_;
};

class SpeechAudio final : public AudioMaker {
 public:
  // The loudness and high-pass come from `settings` at each message.
  explicit SpeechAudio(const GatewaySettings& settings) : settings_(settings) {}
  SpeechResult Text2Wav(const std::string& text, const std::string& wavPath) override;
  void Wav2Mp3(const std::string& wavPath) override;

 private:
  const GatewaySettings& settings_;
};

// Replies go out through the agent, which then sends as well as polls.
class AgentReplies final : public ReplyPort {
 public:
  // Both must outlive it.
  AgentReplies(KestrumAgent& agent, const GatewaySettings& settings) : agent_(agent), settings_(settings) {}
  bool Send(const std::string& number, const std::string& text) override {
    return agent_.QueueSend(settings_.replyCentre.c_str(), number.c_str(), text.c_str(), kUcs2);
  }

 private:
  static constexpr uint8_t kUcs2 = 8;
  KestrumAgent& agent_;
  const GatewaySettings& settings_;
};

// No operator at hand: the text broadcast is never confirmed.
class NoTextDialog final : public TextBroadcastDialog {
 public:
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return std::nullopt; }
};
