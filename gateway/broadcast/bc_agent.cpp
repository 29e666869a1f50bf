#include "gateway/broadcast/bc_agent.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>

#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast/term_list_reader.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"

namespace {

const ACE_Time_Value kTimeout(2);
constexpr size_t kPieceBuffer = 1025;
constexpr size_t kPiecePayload = COMMAND_WHOLE_MAX - 4;
constexpr int kLogonNumber = 10;
constexpr const char* kUser = "admin";
constexpr const char* kPassword = "vexil";
constexpr size_t kBatch = 100;

bool StartsWith000(const char* text) { return std::strncmp(text, "000", 3) == 0; }

// Texts of the log and of exceptions are GBK, as every 8-bit text of the programs.
std::string Gbk(const char* utf8) { return codepage::Utf8ToGbk(utf8); }

}  // namespace

std::unique_ptr<char[]> NewCommandBuffer() {
  return std::unique_ptr<char[]>(new (std::nothrow) char[COMMAND_BUFFER_SIZE]());
}

BCAgent::~BCAgent() { disconnect(); }

bool BCAgent::LoginServer() {
  try {
    const BroadcastServerSettings& settings = server_;
    ACE_INET_Addr server;
    ACE_SOCK_Connector connector;
    if (server.set(static_cast<unsigned short>(settings.cmdPort), settings.serverAddress.c_str()) != 0 ||
        connector.connect(stream_, server, &kTimeout) != 0)
      throw OsException(Gbk("连接服务器失败"), BC_SOURCE("BCAgent::LoginServer"));
    connected_ = true;
    auto buffer = NewCommandBuffer();
    if (!buffer) {
      disconnect();
      return false;
    }
    std::snprintf(buffer.get(), COMMAND_BUFFER_SIZE, "logon %d\t%s\t%s", kLogonNumber, kUser, kPassword);
    if (!sendCommand(buffer.get())) throw Exception(Gbk("登录服务器失败"), BC_SOURCE("BCAgent::LoginServer"));
    loggedOn_ = true;
    return true;
  } catch (const Exception&) {
    disconnect();
    return false;
  }
}

bool BCAgent::sendCommand(char* buffer) {
  size_t length = strnlen(buffer, COMMAND_BUFFER_SIZE - 1);
  if (length <= COMMAND_WHOLE_MAX) {
    if (stream_.send(buffer, length) != static_cast<ssize_t>(length)) return false;
  } else if (!SendChunked(buffer, length)) {
    return false;
  }
  return Receive(buffer, COMMAND_BUFFER_SIZE) > 0 && StartsWith000(buffer);
}

bool BCAgent::SendChunked(const char* command, size_t length) {
  char piece[kPieceBuffer];
  size_t sent = 0;
  for (int k = 0; sent < length; ++k) {
    size_t take = std::min(length - sent, kPiecePayload);
    std::snprintf(piece, sizeof piece, "%03d ", k % 1000);
    std::memcpy(piece + 4, command + sent, take);
    if (stream_.send(piece, take + 4) != static_cast<ssize_t>(take + 4)) return false;
    char reply[COMMAND_WHOLE_MAX + 1];
    if (Receive(reply, sizeof reply) <= 0 || !StartsWith000(reply)) return false;
    sent += take;
  }
  return stream_.send("999", 3) == 3;
}

ssize_t BCAgent::Receive(char* buffer, size_t capacity) {
  ssize_t got = stream_.recv(buffer, capacity - 1, &kTimeout);
  // With no reply the buffer keeps the command, which the failure's log line shows.
  if (got > 0) buffer[got] = '\0';
  return got;
}

int BCAgent::createSession(const std::string& name, int kind, int sessionPriority, int userPriority,
                           const std::vector<int>& terminalIds) {
  if (!LoginServer()) return -1;
  auto buffer = NewCommandBuffer();
  if (!buffer) return -1;
  char* text = buffer.get();
  std::snprintf(text, COMMAND_BUFFER_SIZE, "session new %s\t%d\t%d\t%d", name.c_str(), kind, sessionPriority,
                userPriority);
  if (!sendCommand(text)) {
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, Gbk("创建会话失败,(%s)").c_str(), text);
    disconnect();
    return -1;
  }
  int number = std::atoi(text + std::min<size_t>(4, std::strlen(text)));

  for (size_t first = 0; first < terminalIds.size(); first += kBatch) {
    std::string ids;
    for (size_t i = first; i < std::min(first + kBatch, terminalIds.size()); ++i)
      ids += std::to_string(terminalIds[i]) + ",";
    std::snprintf(text, COMMAND_BUFFER_SIZE, "session add_term %d,%s", number, ids.c_str());
    if (!sendCommand(text)) {
      WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, Gbk("添加终端失败, (%s)").c_str(), text);
      // The caller never learns the number, so the session would stay at the
      // server for ever: it is removed here, before the failure is raised.
      removeSession(number);
      throw Exception(Gbk("添加终端失败"), BC_SOURCE("BCAgent::createSession"));
    }
  }

  std::snprintf(text, COMMAND_BUFFER_SIZE, "session set %d\tSTAT=%d", number, 1);
  if (!sendCommand(text)) {
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, Gbk("启动会话失败, (%s)").c_str(), text);
    disconnect();
    // A session the server did not say it started may play nowhere: it is
    // removed, and the message fails rather than being shown as played.
    removeSession(number);
    return -1;
  }
  return number;
}

void BCAgent::removeSession(int number) {
  if (number == -1 || !LoginServer()) return;
  auto buffer = NewCommandBuffer();
  if (!buffer) return;
  char* text = buffer.get();
  std::snprintf(text, COMMAND_BUFFER_SIZE, "session set %d\tSTAT=%d", number, 0);
  sendCommand(text);  // a refused stop changes nothing: the removal follows anyway
  std::snprintf(text, COMMAND_BUFFER_SIZE, "session rm %d", number);
  if (!sendCommand(text)) {
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, Gbk("删除会话失败, (%s)").c_str(), text);
    disconnect();
  }
}

void BCAgent::getTermList(std::vector<TermInfo>& list) {
  list.clear();
  auto buffer = NewCommandBuffer();
  if (!buffer || !LoginServer()) return;
  char* text = buffer.get();
  std::strcpy(text, "term list");
  if (!sendCommand(text)) {
    disconnect();
    return;
  }
  // The reply is in the buffer; the reader receives the rest after it.
  auto receive = [this](char* into, size_t room) { return stream_.recv(into, room, &kTimeout); };
  if (!ReadTermList(text, COMMAND_BUFFER_SIZE, std::strlen(text), receive, list)) disconnect();
}

void BCAgent::disconnect() {
  if (loggedOn_) stream_.send("quit", 4);
  if (connected_) stream_.close();
  loggedOn_ = false;
  connected_ = false;
}
