// A control connection that speaks JSON lines: one request, one reply.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

class JsonLineClient {
 public:
  explicit JsonLineClient(int port);
  ~JsonLineClient();
  JsonLineClient(const JsonLineClient&) = delete;
  JsonLineClient& operator=(const JsonLineClient&) = delete;

  // Sends the request and returns the reply; throws on a broken connection
  // or a reply that is not {"ok":true,...}.
  nlohmann::json Call(const nlohmann::json& request);
  // The same, returning the reply whatever its "ok".
  nlohmann::json CallRaw(const nlohmann::json& request);

 private:
  int fd_ = -1;
  std::string pending_;
};
