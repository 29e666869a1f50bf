#include "tools/quillonctl/packet_commands.h"

#include <cstring>
#include <iostream>

#include "common/tp_packet.h"
#include "smsservice/modem/pdu_codec.h"
#include "tools/quillonctl/command_line.h"
#include "tools/quillonctl/terminal_text.h"

namespace {

std::string Hex(const TpBuffer& buffer) {
  std::string hex(buffer.length * 2 + 1, '\0');
  BytesToHex(buffer.data, static_cast<int>(buffer.length), hex.data());
  hex.pop_back();
  return hex;
}

template <size_t N>
void CopyNumber(char (&field)[N], const std::string& text) {
  std::memcpy(field, text.data(), text.size());
}

// The text bytes go in as GBK and must leave room in the packet.
template <size_t N>
uint32_t CopyText(char (&field)[N], const std::string& utf8, size_t room) {
  std::string gbk = TerminalToGbk(utf8);
  if (gbk.size() > room) throw UsageError("text is longer than a packet carries (" + std::to_string(room) + " bytes)");
  std::memcpy(field, gbk.data(), gbk.size());
  return static_cast<uint32_t>(gbk.size());
}

TpBuffer Encode(const std::string& kind, const CommandLine& options) {
  TpBuffer buffer;
  if (kind == "open") {
    options.AllowOnly({"com", "baud"});
    buffer.MakeModemOpen(static_cast<uint8_t>(options.Number("com", 1, 255)),
                         static_cast<uint32_t>(options.Number("baud", 1, 4000000)));
  } else if (kind == "state") {
    options.AllowOnly({"com", "baud", "state", "query"});
    TpModemStatus status;
    status.port = static_cast<uint8_t>(options.Number("com", 1, 255));
    status.baud = static_cast<uint32_t>(options.Number("baud", 1, 4000000));
    status.state = static_cast<uint8_t>(options.Number("state", 0, 255));
    buffer.MakeModemState(status, options.Has("query"));
  } else if (kind == "fetch") {
    options.AllowOnly({});
    buffer.MakeSmsFetch(0, 0);
  } else if (kind == "deliver") {
    options.AllowOnly({"sender", "timestamp", "text"});
    TpSmsDeliver deliver;
    CopyNumber(deliver.sender, CheckedNumber(options.Text("sender"), "--sender"));
    std::string stamp = options.Text("timestamp");
    if (stamp.size() > 15) throw UsageError("--timestamp must be at most 15 characters");
    CopyNumber(deliver.timestamp, stamp);
    deliver.textLength = CopyText(deliver.text, options.Text("text"), TP_MAX_PAYLOAD - TP_SMS_DELIVER_FIXED);
    buffer.MakeSmsDeliver(deliver);
  } else if (kind == "submit") {
    options.AllowOnly({"smsc", "to", "dcs", "text"});
    TpSmsSubmit submit;
    CopyNumber(submit.smsc, CheckedNumber(options.Text("smsc"), "--smsc", true));
    CopyNumber(submit.destination, CheckedNumber(options.Text("to"), "--to"));
    submit.coding = static_cast<uint8_t>(options.Number("dcs", 0, 255));
    submit.textLength = CopyText(submit.text, options.Text("text"), TP_MAX_PAYLOAD - TP_SMS_SUBMIT_FIXED);
    buffer.MakeSmsSubmit(submit);
  } else if (kind == "ack") {
    options.AllowOnly({"result"});
    buffer.MakeSubmitAck(static_cast<uint8_t>(options.Number("result", 0, 255)));
  } else {
    throw UsageError("unknown packet kind: " + kind + " (open, state, fetch, deliver, submit, ack)");
  }
  return buffer;
}

void PrintMessage(const TpMessage& message) {
  const char* name = TpCommandName(message.command);
  std::cout << "command=" << (name ? name : "unknown(" + std::to_string(message.command) + ")") << "\n";
  auto printStatus = [](const TpModemStatus& s) {
    std::cout << "com=" << int(s.port) << "\nbaud=" << s.baud << "\nstate=" << int(s.state) << "\n";
  };
  if (message.modemOpen())
    std::cout << "com=" << int(message.modemOpen()->port) << "\nbaud=" << message.modemOpen()->baud << "\n";
  if (message.modemQuery())
    std::cout << "com=" << int(message.modemQuery()->port) << "\nbaud=" << message.modemQuery()->baud << "\n";
  if (message.modemState()) printStatus(*message.modemState());
  if (message.modemQueryAck()) printStatus(*message.modemQueryAck());
  if (const auto& d = message.smsDeliver()) {
    std::cout << "sender=" << d->sender << "\ntimestamp=" << d->timestamp << "\nlength=" << d->textLength
              << "\ntext=" << GbkToTerminalLine({d->text, d->textLength}) << "\n";
  }
  if (const auto& s = message.smsSubmit()) {
    std::cout << "smsc=" << s->smsc << "\nto=" << s->destination << "\ndcs=" << int(s->coding)
              << "\nlength=" << s->textLength << "\ntext=" << GbkToTerminalLine({s->text, s->textLength}) << "\n";
  }
  if (message.submitAck()) std::cout << "result=" << int(message.submitAck()->result) << "\n";
}

int Decode(const CommandLine& options) {
  options.AllowOnly({});
  if (options.Positional().size() != 1) throw UsageError("usage: quillonctl packet decode HEX");
  std::string hex = NormalizeHex(options.Positional()[0]);
  std::vector<uint8_t> bytes(hex.size() / 2);
  HexToBytes(hex.data(), static_cast<int>(hex.size()), bytes.data());
  try {
    PrintMessage(DecodeTpPacket(bytes.data(), bytes.size()));
  } catch (const TpPacketError& e) {
    if (std::strcmp(e.what(), TP_CHECKSUM_ERROR) == 0) throw RejectedInput(e.what());
    throw UsageError(e.what());
  }
  return 0;
}

}  // namespace

int RunPacketCommand(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("usage: quillonctl packet encode KIND ... | decode HEX");
  if (args[0] == "decode") return Decode(CommandLine({args.begin() + 1, args.end()}, {}));
  if (args[0] == "encode") {
    if (args.size() < 2) throw UsageError("usage: quillonctl packet encode open|state|fetch|deliver|submit|ack ...");
    TpBuffer buffer = Encode(args[1], CommandLine({args.begin() + 2, args.end()}, {"query"}));
    std::cout << Hex(buffer) << "\n";
    return 0;
  }
  throw UsageError("unknown packet command: " + args[0]);
}
