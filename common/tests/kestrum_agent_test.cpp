// The agent against a scripted service on loopback.
#include "common/kestrum_agent.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
  auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

std::vector<uint8_t> Bytes(const TpBuffer& b) { return {b.data, b.data + b.length}; }

std::vector<uint8_t> State(int state, uint8_t port = 3, uint32_t baud = 9600) {
  TpBuffer b;
  b.MakeModemState(TpModemStatus{port, baud, static_cast<uint8_t>(state)}, false);
  return Bytes(b);
}

// Answers each request with what `answer` returns (nothing: no reply) and
// records the requests and the connections.
class ScriptedService {
 public:
  using Answer = std::function<std::vector<uint8_t>(const TpMessage&)>;

  explicit ScriptedService(Answer answer) : answer_(std::move(answer)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    listen(listener_, 8);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedService() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  unsigned short port() const { return port_; }
  int connections() const { return connections_; }
  std::vector<TpMessage> requests() {
    std::lock_guard lock(mutex_);
    std::vector<TpMessage> copy;
    for (const auto& bytes : requests_) copy.push_back(DecodeTpPacket(bytes.data(), bytes.size()));
    return copy;
  }
  size_t RequestCount(uint8_t command) {
    size_t n = 0;
    for (const auto& r : requests()) n += r.command == command;
    return n;
  }

 private:
  void Serve() {
    std::vector<int> clients;
    while (!stop_) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (int c : clients) fds.push_back({c, POLLIN, 0});
      if (poll(fds.data(), fds.size(), 20) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        clients.push_back(accept(listener_, nullptr, nullptr));
        ++connections_;
      }
      for (size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        uint8_t buffer[4096];
        ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          close(fds[i].fd);
          clients.erase(std::find(clients.begin(), clients.end(), fds[i].fd));
          continue;
        }
        TpMessage request = DecodeTpPacket(buffer, static_cast<size_t>(n));
        {
          std::lock_guard lock(mutex_);
          requests_.emplace_back(buffer, buffer + n);
        }
        auto reply = answer_(request);
        if (!reply.empty()) send(fds[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
      }
    }
    for (int c : clients) close(c);
  }

  Answer answer_;
  int listener_;
  unsigned short port_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> requests_;
  std::thread thread_;
};

std::unique_ptr<KestrumAgent> ConnectedAgent(uint8_t mode, const ScriptedService& service, int port = 3) {
  auto agent = std::make_unique<KestrumAgent>(mode);
  agent->SetServicePort(service.port());
  agent->Connect(port, 9600, "127.0.0.1");
  return agent;
}

TEST(KestrumAgent, PollModeOpensThenQueuesDeliveriesOnly) {
  std::atomic<int> opens{0};
  std::atomic<bool> delivered{false};
  ScriptedService service([&](const TpMessage& request) {
    if (request.command == TP_MODEM_OPEN) return State(++opens < 2 ? MODEM_OPENING : MODEM_READY, 4, 115200);
    if (delivered.exchange(true)) return State(MODEM_READY);
    TpSmsDeliver deliver;
    std::strcpy(deliver.sender, "8613912345678");
    std::strcpy(deliver.timestamp, "24071216304232");
    deliver.textLength = 4;
    std::memcpy(deliver.text, "\xD6\xD0\xCE\xC4", 4);
    TpBuffer b;
    b.MakeSmsDeliver(deliver);
    return Bytes(b);
  });
  auto agent = ConnectedAgent(AGENT_MODE_POLL, service);
  EXPECT_TRUE(agent->ConnectRequested());
  ASSERT_TRUE(WaitUntil([&] { return agent->ModemReady(); }, 5));
  int port, rate;
  agent->GetModemSettings(port, rate);
  EXPECT_EQ(port, 4);  // what the service reports replaces what was asked
  EXPECT_EQ(rate, 115200);

  std::string peer = "untouched", stamp, text;
  ASSERT_TRUE(WaitUntil([&] { return agent->PopReceived(peer, stamp, text); }, 5));
  EXPECT_EQ(peer, "8613912345678");
  EXPECT_EQ(stamp, "24071216304232");
  EXPECT_EQ(text, "\xD6\xD0\xCE\xC4");
  ASSERT_TRUE(WaitUntil([&] { return service.RequestCount(TP_SMS_FETCH) >= 3; }, 5));
  peer = "untouched";
  EXPECT_FALSE(agent->PopReceived(peer, stamp, text));  // state replies queue nothing
  EXPECT_EQ(peer, "untouched");
  EXPECT_EQ(service.RequestCount(TP_SMS_SUBMIT), 0u);
  EXPECT_EQ(service.connections(), 1);
}

TEST(KestrumAgent, BadChecksumReplyDropsTheConnection) {
  std::atomic<int> fetches{0};
  ScriptedService service([&](const TpMessage& request) {
    if (request.command == TP_MODEM_OPEN) return State(MODEM_READY);
    auto reply = State(MODEM_READY);
    if (++fetches == 1) reply[3] ^= 0xFF;
    return reply;
  });
  auto agent = ConnectedAgent(AGENT_MODE_POLL, service);
  ASSERT_TRUE(WaitUntil([&] { return service.connections() == 2; }, 6));
  EXPECT_TRUE(WaitUntil([&] { return agent->ModemReady(); }, 5));
  EXPECT_EQ(service.RequestCount(TP_MODEM_OPEN), 2u);  // a fresh open after reconnecting
}

TEST(KestrumAgent, SendModeHandsOverQueuedMessagesAndCountsAcks) {
  ScriptedService service([&](const TpMessage& request) {
    if (request.command == TP_MODEM_OPEN) return State(MODEM_READY);
    if (request.smsSubmit() && std::string(request.smsSubmit()->text) == "refuse") return State(MODEM_READY);
    TpBuffer b;
    b.MakeSubmitAck(0);
    return Bytes(b);
  });
  KestrumAgent agent(AGENT_MODE_SEND);
  std::mutex endsLock;
  std::vector<std::pair<std::string, SendOutcome>> ends;
  agent.SetSendObserver([&](const SmsRecord& sms, SendOutcome outcome) {
    std::lock_guard lock(endsLock);
    ends.emplace_back(sms.text, outcome);
  });
  EXPECT_FALSE(agent.QueueSend("8613800100500", "13912345678", "early", 8));  // not ready yet
  agent.SetServicePort(service.port());
  agent.Connect(3, 9600, "127.0.0.1");
  ASSERT_TRUE(WaitUntil([&] { return agent.ModemReady(); }, 5));
  EXPECT_FALSE(agent.QueueSend("", "13912345678", "no centre", 8));
  EXPECT_FALSE(agent.QueueSend("8613800100500123", "13912345678", "centre too long", 8));
  ASSERT_TRUE(agent.QueueSend("8613800100500", "13912345678", "\xBE\xAF\xB1\xA8", 8));
  ASSERT_TRUE(agent.QueueSend("8613800100500", "13912345678", "refuse", 0));
  ASSERT_TRUE(WaitUntil([&] { return agent.AcknowledgedCount() + agent.UnacknowledgedCount() == 2; }, 5));
  EXPECT_EQ(agent.AcknowledgedCount(), 1u);
  {
    std::lock_guard lock(endsLock);  // the queued-then-refused message is not taken for a sent one
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, SendOutcome>>{{"\xBE\xAF\xB1\xA8", SendOutcome::Accepted},
                                                                      {"refuse", SendOutcome::Refused}}));
  }
  auto submits = service.requests();
  std::erase_if(submits, [](const TpMessage& m) { return !m.smsSubmit(); });
  ASSERT_EQ(submits.size(), 2u);
  EXPECT_STREQ(submits[0].smsSubmit()->smsc, "8613800100500");
  EXPECT_STREQ(submits[0].smsSubmit()->destination, "13912345678");
  EXPECT_EQ(submits[0].smsSubmit()->coding, 8);
  EXPECT_EQ(submits[0].smsSubmit()->textLength, 4u);
  EXPECT_EQ(service.RequestCount(TP_SMS_FETCH), 0u);
}

TEST(KestrumAgent, ConnectWithNewSettingsReconnectsWithThem) {
  ScriptedService service([&](const TpMessage& request) {
    if (request.command == TP_MODEM_OPEN)
      return State(MODEM_READY, request.modemOpen()->port, request.modemOpen()->baud);
    return State(MODEM_READY);
  });
  auto agent = ConnectedAgent(AGENT_MODE_POLL, service);
  ASSERT_TRUE(WaitUntil([&] { return agent->ModemReady(); }, 5));
  agent->Connect(3, 9600, "127.0.0.1");  // same values: nothing happens
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(service.connections(), 1);
  agent->Connect(7, 9600, "127.0.0.1");
  ASSERT_TRUE(WaitUntil([&] { return service.connections() == 2; }, 5));
  ASSERT_TRUE(WaitUntil([&] { return service.RequestCount(TP_MODEM_OPEN) == 2; }, 5));
  int port, rate;
  ASSERT_TRUE(WaitUntil(
      [&] {
        agent->GetModemSettings(port, rate);
        return port == 7 && agent->ModemReady();
      },
      5));
}

TEST(KestrumAgent, DisconnectClosesWithinASecondAndStaysIdle) {
  ScriptedService service([&](const TpMessage&) { return State(MODEM_READY); });
  auto agent = ConnectedAgent(AGENT_MODE_POLL, service);
  ASSERT_TRUE(WaitUntil([&] { return agent->ModemReady(); }, 5));
  agent->Disconnect();
  EXPECT_FALSE(agent->ConnectRequested());
  ASSERT_TRUE(WaitUntil([&] { return !agent->ModemReady(); }, 2.5));
  size_t fetches = service.RequestCount(TP_SMS_FETCH);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(service.RequestCount(TP_SMS_FETCH), fetches);
}

TEST(KestrumAgent, UnreachableServiceNeverBecomesReady) {
  unsigned short deadPort;
  {
    ScriptedService gone([](const TpMessage&) { return std::vector<uint8_t>{}; });
    deadPort = gone.port();
  }
  KestrumAgent agent(AGENT_MODE_POLL);
  agent.SetServicePort(deadPort);
  agent.Connect(3, 9600, "127.0.0.1");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(agent.ConnectRequested());
  EXPECT_FALSE(agent.ModemReady());
}

}  // namespace
