// Where the broadcast server is: section Config of SMServer.ini.
#pragma once

#include <cstdint>
#include <string>

struct BroadcastServerSettings {
  std::string serverAddress = "127.0.0.1";  // ZarnSvrAddr
  int32_t cmdPort = 8000;                   // ZarnCmdPort
  int32_t dataPort = 15001;                 // ZarnDataPort, loaded but unused
  int32_t connNum = 3;                      // ZarnConnNum, loaded but unused
  int32_t connTimeout = 3;                  // ZarnConnTimeout, loaded but unused
  int32_t sessionPriority = 500;
  int32_t userPriority = 10;

  // The process-wide settings the broadcast client reads.
  static BroadcastServerSettings& Instance();
};

// Reads the seven keys of SMServer.ini at `path`, defaults for what is missing.
void LoadBroadcastServerSettings(const std::string& path, BroadcastServerSettings& settings);
// SMServer.ini in the program directory; empty when that is unknown.
std::string BroadcastServerSettingsPath();
// Writes ZarnSvrAddr, the one value of that file the gateway changes.
bool StoreServerAddress(const std::string& path, const std::string& address);
