// quillonctl udev-rule: the udev rule that links a modem as
// /dev/quillon/COMn for the SMS service, keeps ModemManager off it and gives
// it to group dialout, made from what udev knows of the device.
#pragma once

#include <map>
#include <string>
#include <vector>

using UdevProperties = std::map<std::string, std::string>;

// "KEY=value" lines, as "udevadm info --query=property" prints them.
UdevProperties ParseUdevProperties(const std::string& text);

// A comment naming the device, then one rule line. A USB device is matched
// by vendor, product, serial number (when it has one) and interface, so the
// link follows the modem to any USB port; any other serial port by its
// kernel name. Throws UsageError for a device that is not a serial port, or
// whose properties hold characters a rule cannot quote.
std::string UdevRule(int com, const UdevProperties& properties);

// udev-rule --com N --device PATH: asks udevadm for PATH's properties and
// prints the rule. 0, or throws UsageError.
int RunUdevRuleCommand(const std::vector<std::string>& args);
