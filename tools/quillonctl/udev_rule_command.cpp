#include "tools/quillonctl/udev_rule_command.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/quillonctl/command_line.h"

extern char** environ;

namespace {

// What the rule matches on, in this order, when the device has it.
constexpr const char* kUsbKeys[] = {"ID_VENDOR_ID", "ID_MODEL_ID", "ID_SERIAL_SHORT", "ID_USB_INTERFACE_NUM"};

std::string Property(const UdevProperties& properties, const std::string& key) {
  const auto found = properties.find(key);
  return found == properties.end() ? "" : found->second;
}

// udev sanitises the values it makes; anything else could not sit between
// the rule's double quotes.
std::string Quoted(const std::string& key, const std::string& value) {
  for (unsigned char c : value) {
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      throw UsageError("udev property " + key + " holds a character a rule cannot match: " + value);
    }
  }
  return "\"" + value + "\"";
}

// udevadm's standard output, its standard error left on ours. Throws
// UsageError when it cannot run or fails.
std::string RunUdevadm(const std::string& device) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw UsageError("cannot run udevadm: no pipe");
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::vector<std::string> args = {"udevadm", "info", "--query=property", "--name=" + device};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = ::posix_spawnp(&pid, "udevadm", &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  if (spawned != 0) {
    ::close(pipeEnds[0]);
    throw UsageError("cannot run udevadm (package udev): " + std::string(std::strerror(spawned)));
  }
  std::string output;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    output.append(buffer, static_cast<size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw UsageError("udevadm knows no device " + device);
  return output;
}

}  // namespace

UdevProperties ParseUdevProperties(const std::string& text) {
  UdevProperties properties;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos && equals > 0) properties[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return properties;
}

std::string UdevRule(int com, const UdevProperties& properties) {
  const std::string devname = Property(properties, "DEVNAME");
  const std::string subsystem = Property(properties, "SUBSYSTEM");
  if (subsystem != "tty") {
    throw UsageError((devname.empty() ? "the device" : devname) + " is not a serial port (subsystem \"" + subsystem +
                     "\")");
  }
  const std::string link = "quillon/COM" + std::to_string(com);
  std::string comment = "# COM" + std::to_string(com) + ": " + devname;
  std::string match = "SUBSYSTEM==\"tty\"";
  if (Property(properties, "ID_BUS") == "usb" && !Property(properties, "ID_VENDOR_ID").empty() &&
      !Property(properties, "ID_MODEL_ID").empty()) {
    const std::string vendor = Property(properties, "ID_VENDOR"), model = Property(properties, "ID_MODEL");
    if (!vendor.empty() || !model.empty()) comment += ", " + vendor + (vendor.empty() ? "" : " ") + model;
    const std::string serial = Property(properties, "ID_SERIAL_SHORT");
    if (serial.empty()) comment += " (no serial number: any modem of this model matches)";
    for (const char* key : kUsbKeys) {
      const std::string value = Property(properties, key);
      if (!value.empty()) match += ", ENV{" + std::string(key) + "}==" + Quoted(key, value);
    }
  } else {
    const size_t slash = devname.rfind('/');
    const std::string kernel = slash == std::string::npos ? devname : devname.substr(slash + 1);
    if (kernel.empty()) throw UsageError("udev gives the device no name (DEVNAME)");
    match += ", KERNEL==" + Quoted("DEVNAME", kernel);
  }
  return comment + "\n" + match + ", SYMLINK+=\"" + link +
         "\", GROUP=\"dialout\", MODE=\"0660\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";
}

int RunUdevRuleCommand(const std::vector<std::string>& args) {
  const CommandLine options(args, {});
  options.AllowOnly({"com", "device"});
  if (!options.Positional().empty()) throw UsageError("unexpected argument: " + options.Positional().front());
  const int com = static_cast<int>(options.Number("com", 1, 255));
  const std::string device = options.Text("device");
  if (device.empty()) throw UsageError("--device needs a path");
  std::cout << UdevRule(com, ParseUdevProperties(RunUdevadm(device)));
  return 0;
}
