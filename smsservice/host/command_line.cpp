#include "smsservice/host/command_line.h"

#include <charconv>
#include <cstdlib>
#include <utility>

#include "platform/metrics/metrics_endpoint.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr std::pair<const char*, HostVerb> kRegistrationVerbs[] = {
    {"UnregServer", HostVerb::kUnregServer},
    {"RegServer", HostVerb::kRegServer},
    {"UnregServerPerUser", HostVerb::kUnregServerPerUser},
    {"RegServerPerUser", HostVerb::kRegServerPerUser},
};

}  // namespace

const char* const kHostUsage =
    "Usage: Quillon [--listen ADDR] [--port N] [--state-dir DIR | --no-journal] [--keep-stored]\n"
    "               [--indications] [--metrics HOST:PORT]\n"
    "       Quillon -RegServer | -UnregServer | -RegServerPerUser | -UnregServerPerUser | -Service\n"
    "\n"
    "Runs the SMS service: as a service when registered with -Service and started by\n"
    "systemd, else as a plain program until SIGINT or SIGTERM.\n"
    "\n"
    "  --listen ADDR  address the request server listens on (default 127.0.0.1;\n"
    "                 another address lets other machines send SMS through the modem)\n"
    "  --port N       TCP port of the request server (default 8200)\n"
    "  --state-dir DIR  folder of the journal that keeps every SMS until a client\n"
    "                 has it or the modem has sent it (default $QUILLON_STATE_DIR,\n"
    "                 else /var/lib/quillon)\n"
    "  --no-journal   keep messages in memory only: a crash or a restart loses those\n"
    "                 not yet fetched or sent\n"
    "  --keep-stored  hand the SMS the modem stored while the service was away to\n"
    "                 clients, instead of discarding them at start-up\n"
    "  --indications  have the modem announce each new SMS (AT+CNMI) and fetch it\n"
    "                 at once, instead of after 5 s without traffic\n"
    "  --metrics HOST:PORT  serve Prometheus metrics at /metrics and a status page\n"
    "                 at / on that address (off unless given)\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "\n"
    "  -RegServer     register to run as a plain program (removes the service)\n"
    "  -Service       register and install the systemd service, started at boot\n"
    "  -UnregServer   remove the registration and the service\n"
    "  ...PerUser     the same in the per-user registry\n"
    "\n"
    "Environment: QUILLON_REGISTRY (default /var/lib/quillon/registry),\n"
    "QUILLON_USER_REGISTRY (default $XDG_CONFIG_HOME/quillon/registry, else\n"
    "~/.config/quillon/registry), QUILLON_UNIT_DIR (default /etc/systemd/system).\n";

bool TokenNamesVerb(std::string_view token, std::string_view verb) {
  if (token.empty() || (token[0] != '-' && token[0] != '/')) return false;
  const std::string_view word = token.substr(1, token.find_first_of(" \t", 1) - 1);
  if (word.size() != verb.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(word[i]) != Lower(verb[i])) return false;
  }
  return true;
}

HostVerb FindVerb(const std::vector<std::string>& args) {
  for (const std::string& token : args) {
    for (const auto& [verb, which] : kRegistrationVerbs) {
      if (TokenNamesVerb(token, verb)) return which;
    }
  }
  for (const std::string& token : args) {
    if (TokenNamesVerb(token, "Service")) return HostVerb::kService;
  }
  return HostVerb::kNone;
}

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args, std::string* error) {
  HostOptions options;
  const char* fromEnvironment = std::getenv("QUILLON_STATE_DIR");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') options.stateDir = fromEnvironment;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    const size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help") {
      options.help = true;
      continue;
    }
    if (name == "--keep-stored") {
      options.keepStored = true;
      continue;
    }
    if (name == "--no-journal") {
      options.noJournal = true;
      continue;
    }
    if (name == "--indications") {
      options.indications = true;
      continue;
    }
    if (name != "--listen" && name != "--port" && name != "--state-dir" && name != "--metrics") continue;
    if (!inlineValue) {
      if (i + 1 == args.size()) {
        *error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (name == "--metrics") {
      if (!metrics::ValidAddress(value)) {
        *error = "--metrics needs HOST:PORT, such as 127.0.0.1:9813, not \"" + value + "\"";
        return std::nullopt;
      }
      options.metrics = value;
      continue;
    }
    if (name == "--listen" || name == "--state-dir") {
      if (value.empty()) {
        *error = name + (name == "--listen" ? " needs an address" : " needs a folder");
        return std::nullopt;
      }
      (name == "--listen" ? options.listenAddress : options.stateDir) = value;
      continue;
    }
    unsigned port = 0;
    const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (failure != std::errc() || end != value.data() + value.size() || port == 0 || port > 65535) {
      *error = "--port needs a number from 1 to 65535, not \"" + value + "\"";
      return std::nullopt;
    }
    options.port = static_cast<unsigned short>(port);
  }
  return options;
}
