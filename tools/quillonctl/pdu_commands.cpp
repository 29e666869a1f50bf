#include "tools/quillonctl/pdu_commands.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"
#include "tools/quillonctl/command_line.h"
#include "tools/quillonctl/terminal_text.h"

namespace {

void PrintRecord(const ModemSms& sms) {
  std::cout << "smsc=" << sms.smsc << "\n"
            << "number=" << GbkToTerminalLine(sms.number) << "\n"
            << "pid=" << int(sms.pid) << "\n"
            << "dcs=" << int(sms.dcs) << "\n"
            << "timestamp=" << sms.timestamp << "\n"
            << "part=" << sms.part << "\n"
            << "text=" << GbkToTerminalLine(sms.text) << "\n";
}

int Encode(const CommandLine& options) {
  options.AllowOnly({"smsc", "to", "dcs", "text"});
  ModemSms sms;
  std::string smsc = CheckedNumber(options.Text("smsc"), "--smsc", true);
  std::string to = CheckedNumber(options.Text("to"), "--to");
  std::strcpy(sms.smsc, smsc.c_str());
  std::strcpy(sms.number, to.c_str());
  sms.dcs = static_cast<uint8_t>(options.Number("dcs", 0, 255, 0));
  std::string text = TerminalToGbk(options.Text("text"));
  if (text.size() >= sizeof sms.text) throw UsageError("text is longer than one SMS");
  std::memcpy(sms.text, text.data(), text.size());
  if (const char* refusal = SubmitPduRefusal(sms)) throw UsageError(refusal);

  char pdu[SUBMIT_PDU_HEX_MAX];
  int length = EncodeSubmitPdu(sms, pdu);
  std::cout << pdu << "\nlength=" << SubmitPduCommandLength(pdu, length) << "\n";
  return 0;
}

int Decode(const CommandLine& options) {
  options.AllowOnly({});
  if (options.Positional().size() != 1) throw UsageError("usage: quillonctl pdu decode HEX");
  std::string hex = NormalizeHex(options.Positional()[0]);
  DecodedSms decoded = DecodeListedPdu(hex, 0);
  if (decoded.withheld == Withheld::Undecodable) throw UsageError("the PDU is broken: it ends before its data does");
  PrintRecord(decoded.record);
  // What the service would not hand a client, and why.
  if (decoded.withheld != Withheld::None) std::cout << "withheld=" << WithheldReason(decoded.withheld) << "\n";
  return 0;
}

std::string ReadAll(const std::string& path) {
  if (path == "-") return {std::istreambuf_iterator<char>(std::cin), {}};
  std::ifstream file(path, std::ios::binary);
  if (!file) throw UsageError("cannot read " + path);
  return {std::istreambuf_iterator<char>(file), {}};
}

// A listing pasted from a terminal has LF line ends; the modem's have CR LF.
std::string WithCrLf(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  return lines;
}

int Listing(const CommandLine& options) {
  options.AllowOnly({});
  if (options.Positional().size() != 1) throw UsageError("usage: quillonctl pdu listing FILE|-");
  std::string reply = WithCrLf(ReadAll(options.Positional()[0]));
  std::vector<DecodedSms> entries = ParseListing(reply);
  if (entries.empty()) throw UsageError("no \"+CMGL:\" entry in " + options.Positional()[0]);
  // Parts are joined as the service joins them: the part that completes a
  // message shows the whole of it.
  PartialTable partials(SystemClock());
  std::vector<ModemSms> records = partials.Join(std::move(entries));
  for (size_t i = 0; i < records.size(); ++i) {
    if (i > 0) std::cout << "\n";
    std::cout << "index=" << records[i].index << "\n";
    PrintRecord(records[i]);
  }
  return 0;
}

}  // namespace

int RunPduCommand(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("usage: quillonctl pdu encode|decode|listing ...");
  CommandLine options({args.begin() + 1, args.end()}, {});
  if (args[0] == "encode") return Encode(options);
  if (args[0] == "decode") return Decode(options);
  if (args[0] == "listing") return Listing(options);
  throw UsageError("unknown pdu command: " + args[0]);
}
