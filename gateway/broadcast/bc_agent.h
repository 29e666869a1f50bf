// The client side of the broadcast server's text command protocol. One
// agent serves one task on a connection of its own: connect, log on, a few
// commands, "quit", close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <ace/SOCK_Stream.h>

#include "gateway/broadcast_server_settings.h"

// One terminal of the server's list.
struct TermInfo {
  int32_t id = 0;
  std::string name;
  std::string ip;
  int32_t extra = 0;  // the list's fourth field; kept, not used
};

inline constexpr int SESSION_KIND = 65794;  // 0x10102
inline constexpr size_t COMMAND_BUFFER_SIZE = 65536;
inline constexpr size_t COMMAND_WHOLE_MAX = 1024;

class BCAgent {
 public:
  // Talks to the server `server` names; it must outlive the agent.
  explicit BCAgent(const BroadcastServerSettings& server) : server_(server) {}
  ~BCAgent();  // disconnect
  BCAgent(const BCAgent&) = delete;
  BCAgent& operator=(const BCAgent&) = delete;

  // Connects to the configured server and logs on; true when logged on.
  bool LoginServer();
  // The server's session number, -1 when no session could be created or it
  // was not started (then it is removed again).
  // Throws Exception "添加终端失败" when the terminals could not be added.
  int createSession(const std::string& name, int kind, int sessionPriority, int userPriority,
                    const std::vector<int>& terminalIds);
  // Stops and removes a server session; never fails visibly.
  void removeSession(int number);
  // Empties `list`, then fills it from the server (empty or partial on failure).
  // Throws Exception "内存分配失败" when memory for a line runs out.
  void getTermList(std::vector<TermInfo>& list);
  // Sends the NUL-terminated command in `buffer` (COMMAND_BUFFER_SIZE bytes);
  // true when a reply came and begins with "000". A reply replaces the
  // command in the buffer; without one the command stays there.
  bool sendCommand(char* buffer);
  void disconnect();

  bool connected() const { return connected_; }
  bool loggedOn() const { return loggedOn_; }

 private:
  bool SendChunked(const char* command, size_t length);
  // One receive of up to `capacity` - 1 bytes (2 s), NUL-terminated; bytes or <= 0.
  // When nothing came the buffer is left as it was.
  ssize_t Receive(char* buffer, size_t capacity);

  const BroadcastServerSettings& server_;
  ACE_SOCK_Stream stream_;
  bool connected_ = false;
  bool loggedOn_ = false;
};

std::unique_ptr<char[]> NewCommandBuffer();
