#include "tools/quillonctl/client_commands.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/SOCK_Stream.h>

#include "common/kestrum_agent.h"
#include "common/sms_stamp.h"
#include "common/tp_packet.h"
#include "tools/quillonctl/command_line.h"
#include "tools/quillonctl/status_report.h"
#include "tools/quillonctl/terminal_text.h"

namespace {

using Clock = std::chrono::steady_clock;

// Options every client command shares.
struct ServiceOptions {
  std::string host;
  int com;
  int baud;
  unsigned short servicePort;
};

const std::set<std::string> kServiceOptionNames = {"host", "com", "baud", "service-port"};

ServiceOptions ReadServiceOptions(const CommandLine& options) {
  ServiceOptions s;
  s.host = options.Text("host", "127.0.0.1");
  s.com = static_cast<int>(options.Number("com", 1, 255, 1));
  s.baud = static_cast<int>(options.Number("baud", 1, 4000000, 19200));
  const char* envPort = std::getenv("QUILLON_SERVICE_PORT");
  long fallback = envPort ? ParseNumber(envPort, "QUILLON_SERVICE_PORT", 1, 65535) : SMS_SERVICE_PORT;
  s.servicePort = static_cast<unsigned short>(options.Number("service-port", 1, 65535, fallback));
  return s;
}

std::set<std::string> With(std::set<std::string> names) {
  names.insert(kServiceOptionNames.begin(), kServiceOptionNames.end());
  return names;
}

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One request and its reply over a fresh connection.
TpMessage Ask(const ServiceOptions& s, const TpBuffer& request) {
  ACE_SOCK_Stream stream;
  ACE_SOCK_Connector connector;
  ACE_INET_Addr address(s.servicePort, s.host.c_str());
  ACE_Time_Value timeout(5);
  if (connector.connect(stream, address, &timeout) != 0)
    throw RejectedInput("cannot reach the SMS service at " + s.host + ":" + std::to_string(s.servicePort));
  uint8_t reply[TP_BUFFER_SIZE];
  ACE_Time_Value replyTimeout(2);
  ssize_t got = -1;
  if (stream.send_n(request.data, request.length) == static_cast<ssize_t>(request.length))
    got = stream.recv(reply, sizeof reply, &replyTimeout);
  stream.close();
  if (got <= 0) throw RejectedInput("the SMS service did not answer");
  return DecodeTpPacket(reply, static_cast<size_t>(got));
}

TpMessage AskOpen(const ServiceOptions& s) {
  TpBuffer request;
  request.MakeModemOpen(static_cast<uint8_t>(s.com), static_cast<uint32_t>(s.baud));
  return Ask(s, request);
}

// An agent connected and waiting for the modem; false when it is not ready in time.
bool WaitReady(KestrumAgent& agent, const ServiceOptions& s, double timeout) {
  agent.SetServicePort(s.servicePort);
  agent.Connect(s.com, s.baud, s.host);
  auto start = Clock::now();
  while (!agent.ModemReady()) {
    if (SecondsSince(start) > timeout) return false;
    Sleep(0.05);
  }
  return true;
}

// 7-bit only when every character survives it unchanged; UCS2 otherwise.
int DefaultCoding(const std::string& gbk) {
  if (gbk.size() > 160) return 8;
  for (unsigned char c : gbk)
    if (c >= 0x80 || c == '@' || c == '$' || c == '_' || c == '`' || (c >= '[' && c <= '^') || c >= '{') return 8;
  return 0;
}

std::string FormatStamp(const std::string& stamp) {
  if (stamp.find_first_not_of("0123456789", 0) < 12) return stamp;  // not a stamp: shown as it came
  return StampToTimeText(stamp).value_or(stamp);
}

}  // namespace

int RunOpenCommand(const std::vector<std::string>& args) {
  CommandLine options(args, {});
  options.AllowOnly(With({"wait"}));
  ServiceOptions s = ReadServiceOptions(options);
  double wait = static_cast<double>(options.Number("wait", 0, 3600, 0));
  auto start = Clock::now();
  for (;;) {
    TpMessage reply = AskOpen(s);
    if (!reply.modemState()) throw RejectedInput("the SMS service answered with something other than a state");
    const TpModemStatus& status = *reply.modemState();
    std::cout << "state=" << int(status.state) << " port=" << int(status.port) << " baud=" << status.baud << std::endl;
    if (status.state == MODEM_READY) return 0;
    if (SecondsSince(start) >= wait) return 1;
    Sleep(1.0);
  }
}

int RunSendCommand(const std::vector<std::string>& args) {
  CommandLine options(args, {});
  options.AllowOnly(With({"centre", "to", "text", "dcs", "timeout"}));
  ServiceOptions s = ReadServiceOptions(options);
  std::string centre = CheckedNumber(options.Text("centre"), "--centre");
  std::string to = CheckedNumber(options.Text("to"), "--to");
  std::string text = TerminalToGbk(options.Text("text"));
  if (text.size() > 1023) throw UsageError("text is longer than 1023 bytes");
  int dcs = static_cast<int>(options.Number("dcs", 0, 255, DefaultCoding(text)));
  double timeout = static_cast<double>(options.Number("timeout", 1, 3600, 30));

  KestrumAgent agent(AGENT_MODE_SEND);
  if (!WaitReady(agent, s, timeout))
    throw RejectedInput("the modem did not become ready within " + std::to_string(int(timeout)) + " s");
  if (!agent.QueueSend(centre.c_str(), to.c_str(), text.c_str(), static_cast<uint8_t>(dcs)))
    throw RejectedInput("the modem is not ready");
  auto start = Clock::now();
  while (agent.AcknowledgedCount() == 0 && agent.UnacknowledgedCount() == 0 && SecondsSince(start) < timeout)
    Sleep(0.05);
  if (agent.AcknowledgedCount() == 1) {
    std::cout << "queued for sending to " << to << std::endl;
    return 0;
  }
  throw RejectedInput(agent.UnacknowledgedCount()
                          ? "the SMS service refused the message (modem not ready, queue full, or too long for one SMS)"
                          : "no answer from the SMS service");
}

int RunFetchCommand(const std::vector<std::string>& args) {
  CommandLine options(args, {});
  options.AllowOnly(With({"count", "timeout"}));
  ServiceOptions s = ReadServiceOptions(options);
  long count = options.Number("count", 1, 1000000, 0);
  double timeout = static_cast<double>(options.Number("timeout", 1, 86400, 10));

  KestrumAgent agent(AGENT_MODE_POLL);
  agent.SetServicePort(s.servicePort);
  agent.Connect(s.com, s.baud, s.host);
  auto start = Clock::now();
  long got = 0;
  while ((count == 0 || got < count) && SecondsSince(start) < timeout) {
    std::string peer, stamp, text;
    if (!agent.PopReceived(peer, stamp, text)) {
      Sleep(0.05);
      continue;
    }
    std::cout << "from=" << GbkToTerminalLine(peer) << " time=" << FormatStamp(stamp)
              << " text=" << GbkToTerminalLine(text) << std::endl;
    ++got;
  }
  if (count > 0 && got < count) {
    std::cerr << "quillonctl: " << got << " of " << count << " messages within " << int(timeout) << " s\n";
    return 1;
  }
  return 0;
}

int RunStatusCommand(const std::vector<std::string>& args) {
  CommandLine options(args, {"json"});
  options.AllowOnly(With({"json"}));
  ServiceOptions s = ReadServiceOptions(options);
  TpBuffer request;
  request.MakeStatusRequest();
  TpMessage reply;
  try {
    reply = Ask(s, request);
  } catch (const RejectedInput& e) {
    if (std::string(e.what()) != "the SMS service did not answer") throw;
    throw RejectedInput("the SMS service did not answer a status request (a version without it?)");
  }
  if (!reply.serviceStatus()) throw RejectedInput("the SMS service answered with something other than a status");
  const TpServiceStatus& status = *reply.serviceStatus();
  std::cout << (options.Has("json") ? StatusJson(status) + "\n" : StatusText(status)) << std::flush;
  // A script asking about another port learns that this is not its modem.
  if (options.Has("com") && status.port != s.com) {
    std::cerr << "quillonctl: the service drives COM" << int(status.port) << ", not COM" << s.com << "\n";
    return 4;
  }
  return status.state == MODEM_READY ? 0 : 3;
}
