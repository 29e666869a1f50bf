// quillonctl: the operator's tool for the SMS service, its packets and PDUs.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "common/tp_packet.h"
#include "quillon_version.h"
#include "tools/quillonctl/client_commands.h"
#include "tools/quillonctl/command_line.h"
#include "tools/quillonctl/journal_command.h"
#include "tools/quillonctl/packet_commands.h"
#include "tools/quillonctl/pdu_commands.h"
#include "tools/quillonctl/udev_rule_command.h"

namespace {

constexpr const char* kUsage =
    "usage: quillonctl COMMAND ...\n"
    "  pdu encode --smsc DIGITS --to DIGITS [--dcs N] --text TEXT\n"
    "  pdu decode HEX\n"
    "  pdu listing FILE|-\n"
    "  packet encode open|state|fetch|deliver|submit|ack [options]\n"
    "  packet decode HEX\n"
    "  open [--com P] [--baud B] [--wait SECONDS]\n"
    "  send [--com P] [--baud B] --centre DIGITS --to DIGITS --text TEXT [--dcs N] [--timeout S]\n"
    "  fetch [--com P] [--baud B] [--count N] [--timeout SECONDS]\n"
    "  status [--com P] [--json]        the modem as the service sees it: state, network, signal,\n"
    "                                   storage, queues; exit 0 when ready, 3 when not\n"
    "  journal [--state-dir DIR]        what the service's journal holds: received SMS no client\n"
    "                                   has had yet, SMS waiting to be sent, SMS given up\n"
    "  udev-rule --com P --device PATH   a udev rule linking PATH's modem as /dev/quillon/COMP\n"
    "  --version\n"
    "Client commands also take --host ADDR (127.0.0.1) and --service-port N\n"
    "(8200, or $QUILLON_SERVICE_PORT); --com defaults to 1, --baud to 19200.\n"
    "Texts are UTF-8 on the terminal; newlines in printed texts appear as \\n.\n";

int Run(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "quillonctl " << kQuillonVersion << "\n";
    return 0;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "pdu") return RunPduCommand(rest);
  if (args[0] == "packet") return RunPacketCommand(rest);
  if (args[0] == "open") return RunOpenCommand(rest);
  if (args[0] == "send") return RunSendCommand(rest);
  if (args[0] == "fetch") return RunFetchCommand(rest);
  if (args[0] == "status") return RunStatusCommand(rest);
  if (args[0] == "journal") return RunJournalCommand(rest);
  if (args[0] == "udev-rule") return RunUdevRuleCommand(rest);
  throw UsageError("unknown command: " + args[0] + " (see quillonctl --help)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run({argv + 1, argv + argc});
  } catch (const RejectedInput& e) {
    std::cerr << (std::string(e.what()) == TP_CHECKSUM_ERROR ? "" : "quillonctl: ") << e.what() << "\n";
    return 1;
  } catch (const UsageError& e) {
    std::cerr << "quillonctl: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "quillonctl: " << e.what() << "\n";
    return 2;
  }
}
