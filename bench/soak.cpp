// The SMS service under a long run: MESSAGES SMS into the modem and as many
// out, through modemsim and Quillon, with one polling agent and one sending
// agent, with every wait of the service and the agents at a hundredth of its
// real length (QUILLON_TIME_SCALE, 0.01 unless set).
// Every message must arrive once with its text intact; Quillon's resident
// memory is read after the first thousand and at the end, and the size of
// its journal once the traffic is through.
//
//   soak [MESSAGES] [--no-journal | --compare]
//
// MESSAGES defaults to 10000; exit 1 on any loss, double or damage. With
// --no-journal Quillon keeps messages in memory only; --compare runs both and
// also fails when the journal costs more than 20 % of the receive throughput
// or does not shrink back once the messages have gone through.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/kestrum_agent.h"
#include "platform/codepage/codepage.h"
#include "smsservice/modem/pdu_codec.h"
#include "tests/e2e/support/quillon_service.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCentre = "8613800100500";
constexpr int kOutstandingOut = 20;  // queued at the agent, not yet taken by the service
constexpr int kOutstandingIn = 20;   // stored in the modem, not yet fetched (parts fill 2 of its 50 slots)
// The engine lists received SMS only after 5 s without a send, so traffic
// goes in rounds: a burst out, then the modem's messages are fetched.
constexpr int kRoundOut = 100;
constexpr int kRoundIn = 20;

// Message k: plain text, Chinese, and every tenth incoming one long enough
// to need two parts. The number in it makes each one different.
std::string TextOf(const char* direction, int k) {
  char number[16];
  std::snprintf(number, sizeof number, "%05d", k);
  if (k % 3 == 0) return std::string(direction) + " " + number + " the quick brown fox jumps";
  std::string text = std::string("第") + number + "条" + direction + "测试短信，请忽略。";
  if (k % 10 == 1 && std::string(direction) == "in")
    text +=
        "这一条较长，需要分成两段发送，到达后应当完整地拼接在一起，一个字都不能少，"
        "标点符号和数字也要原样保留：一、二、三，１２３。";
  return text;
}
bool IsPlain(int k) { return k % 3 == 0; }
std::string PeerOf(int k) {
  char number[16];
  std::snprintf(number, sizeof number, "139%08d", k);
  return number;
}

long ResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// What the service must hand the modem for outgoing message k.
std::string ExpectedPdu(int k) {
  ModemSms sms;
  std::snprintf(sms.smsc, sizeof sms.smsc, "%s", kCentre);
  std::snprintf(sms.number, sizeof sms.number, "86%s", PeerOf(k).c_str());
  std::snprintf(sms.text, sizeof sms.text, "%s", codepage::Utf8ToGbk(TextOf("out", k)).c_str());
  sms.dcs = IsPlain(k) ? 0 : 8;
  char pdu[SUBMIT_PDU_HEX_MAX];
  EncodeSubmitPdu(sms, pdu);
  return pdu;
}

struct Tally {
  int lost = 0, doubled = 0, altered = 0;
  bool Clean() const { return lost == 0 && doubled == 0 && altered == 0; }
};

struct SoakResult {
  bool clean = false;
  double receivePerSecond = 0;
  long journalBytes = -1;  // -1 without a journal
};

// The journal's files, once whatever is still in flight has settled.
long JournalBytes(const std::filesystem::path& folder) {
  long bytes = 0;
  std::error_code error;
  for (const char* name : {"quillon.db", "quillon.db-wal"}) {
    auto size = std::filesystem::file_size(folder / name, error);
    if (!error) bytes += static_cast<long>(size);
    std::printf("  %s: %ld KiB\n", name, error ? -1L : static_cast<long>(size / 1024));
  }
  return bytes;
}

SoakResult Soak(int messages, const std::string& timeScale, bool journal) {
  std::printf("soak: %d SMS each way, %s\n", messages, journal ? "journal on disk" : "memory only (--no-journal)");
  QuillonService service(3, timeScale, journal ? std::vector<std::string>{} : std::vector<std::string>{"--no-journal"});
  setenv("QUILLON_SERVICE_PORT", std::to_string(service.port()).c_str(), 1);
  KestrumAgent poller(AGENT_MODE_POLL), sender(AGENT_MODE_SEND);
  poller.Connect(service.com(), 19200, "127.0.0.1");
  sender.Connect(service.com(), 19200, "127.0.0.1");
  // The start-up empties the modem's storage: nothing goes in before it is over.
  for (auto until = Clock::now() + std::chrono::seconds(30);
       !(poller.ModemReady() && sender.ModemReady()) && Clock::now() < until;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  auto start = Clock::now();
  auto lastReceived = start;
  int queued = 0, injected = 0, received = 0, reported = 0;
  std::map<std::string, int> seen;  // GBK text -> times received
  std::map<std::string, int> expectedIn;
  long firstThousandKib = -1;
  auto stalledSince = Clock::now();
  auto taken = [&] { return int(sender.AcknowledgedCount() + sender.UnacknowledgedCount()); };
  int roundOut = 0, roundIn = 0;  // where the current round ends
  while (received < messages || taken() < messages) {
    if (taken() >= roundOut && received >= roundIn) {
      roundOut = std::min(messages, roundOut + kRoundOut);
      roundIn = std::min(messages, roundIn + kRoundIn);
    }
    bool progress = false;
    if (queued < roundOut &&
        queued - int(sender.AcknowledgedCount() + sender.UnacknowledgedCount()) < kOutstandingOut &&
        sender.QueueSend(kCentre, PeerOf(queued).c_str(), codepage::Utf8ToGbk(TextOf("out", queued)).c_str(),
                         IsPlain(queued) ? 0 : 8)) {
      ++queued;
      progress = true;
    }
    if (injected < roundIn && injected - received < kOutstandingIn) {
      std::string text = TextOf("in", injected);
      auto reply = service.sim().control().CallRaw({{"cmd", "inject"},
                                                    {"from", "86" + PeerOf(injected)},
                                                    {"text", text},
                                                    {"coding", IsPlain(injected) ? "gsm7" : "ucs2"}});
      if (reply.value("ok", false)) {
        expectedIn[codepage::Utf8ToGbk(text)] = injected;
        ++injected;
        progress = true;
      }
    }
    std::string peer, stamp, text;
    while (poller.PopReceived(peer, stamp, text)) {
      ++received;
      ++seen[text];
      progress = true;
      lastReceived = Clock::now();
    }
    if (firstThousandKib < 0 && received >= std::min(1000, messages) &&
        int(sender.AcknowledgedCount()) >= std::min(1000, messages))
      firstThousandKib = ResidentKib(service.pid());
    if (progress) stalledSince = Clock::now();
    if (Clock::now() - stalledSince > std::chrono::seconds(60)) {
      std::fprintf(stderr, "soak: no progress for 60 s (in %d/%d, out %llu/%d)\n", received, messages,
                   static_cast<unsigned long long>(sender.AcknowledgedCount()), messages);
      break;
    }
    if (!progress) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (received + queued >= reported + 2000) {
      reported = received + queued;
      std::printf("  in %d, out %d (%.0f s)\n", received, queued,
                  std::chrono::duration<double>(Clock::now() - start).count());
    }
  }

  // The last acknowledged ones may still be on their way to the modem.
  nlohmann::json sent = service.sim().Call({{"cmd", "sent"}})["sent"];
  for (auto deadline = Clock::now() + std::chrono::seconds(30);
       sent.size() < size_t(messages) && Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sent = service.sim().Call({{"cmd", "sent"}})["sent"];
  }
  long lastKib = ResidentKib(service.pid());
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  Tally in, out;
  for (const auto& [text, k] : expectedIn) {
    auto it = seen.find(text);
    if (it == seen.end()) ++in.lost;
    else if (it->second > 1) in.doubled += it->second - 1;
  }
  for (const auto& [text, times] : seen)
    if (!expectedIn.count(text)) in.altered += times;
  in.lost += messages - injected;
  std::map<std::string, int> pdus;
  for (const auto& entry : sent) ++pdus[entry["pdu"].get<std::string>()];
  for (int k = 0; k < messages; ++k) {
    auto it = pdus.find(ExpectedPdu(k));
    if (it == pdus.end()) {
      ++out.lost;
      continue;
    }
    if (it->second > 1) out.doubled += it->second - 1;
    pdus.erase(it);
  }
  for (const auto& [pdu, times] : pdus) out.altered += times;

  SoakResult result;
  result.receivePerSecond = received / std::chrono::duration<double>(lastReceived - start).count();
  std::printf("  %d SMS each way in %.1f s (time scale %s); received %.1f SMS/s\n", messages, seconds,
              timeScale.c_str(), result.receivePerSecond);
  std::printf("  in:  %d received, %d lost, %d duplicated, %d altered\n", received, in.lost, in.doubled, in.altered);
  std::printf("  out: %zu sent, %d lost, %d duplicated, %d altered; %llu refused by the service\n", sent.size(),
              out.lost, out.doubled, out.altered, static_cast<unsigned long long>(sender.UnacknowledgedCount()));
  std::printf("  Quillon resident memory: %ld KiB after the first thousand, %ld KiB at the end (%+ld KiB)\n",
              firstThousandKib, lastKib, lastKib - firstThousandKib);
  if (journal) {
    // The fetches' and sends' removals are written as they happen; a
    // checkpoint follows within a second of idleness at most.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    result.journalBytes = JournalBytes(service.stateDir());
    std::printf("  journal: %ld KiB after the soak\n", result.journalBytes / 1024);
  }
  bool clean = in.Clean() && out.Clean() && sender.UnacknowledgedCount() == 0;
  result.clean = clean;
  if (!clean) {  // what the service said about it
    std::ifstream log(service.log());
    std::printf("  Quillon's output:\n");
    for (std::string line; std::getline(log, line);)
      if (line.find("SMS sent") == std::string::npos && line.find("SMS received") == std::string::npos)
        std::printf("    %s\n", line.c_str());
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int messages = 10000;
  bool journal = true, compare = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--no-journal") journal = false;
    else if (arg == "--compare") compare = true;
    else messages = std::atoi(argv[i]);
  }
  if (messages < 1) return std::fprintf(stderr, "usage: soak [MESSAGES] [--no-journal | --compare]\n"), 2;
  const char* scale = std::getenv("QUILLON_TIME_SCALE");
  std::string timeScale = scale ? scale : "0.01";
  setenv("QUILLON_TIME_SCALE", timeScale.c_str(), 1);  // the agents' pace too

  if (!compare) return Soak(messages, timeScale, journal).clean ? 0 : 1;
  SoakResult memory = Soak(messages, timeScale, false);
  SoakResult durable = Soak(messages, timeScale, true);
  double cost = 100.0 * (1.0 - durable.receivePerSecond / memory.receivePerSecond);
  // An empty journal is its tables and a cut-back log; a grown one holds thousands of pages.
  constexpr long kShrunkBytes = 512 * 1024;
  std::printf(
      "soak: the journal costs %.1f %% of the receive throughput (%.1f against %.1f SMS/s, at most 20 %%); "
      "%ld KiB once through (at most %ld)\n",
      cost, durable.receivePerSecond, memory.receivePerSecond, durable.journalBytes / 1024, kShrunkBytes / 1024);
  bool met = cost <= 20.0 && durable.journalBytes >= 0 && durable.journalBytes <= kShrunkBytes;
  return memory.clean && durable.clean && met ? 0 : 1;
}
