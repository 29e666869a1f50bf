// The terminal information components' line to the broadcast simulator's
// information port: one JSON request line, one JSON reply line, the reply's
// "hr" being the result the component method returns (PROTOCOL.md).
//
// Where the port is: $QUILLON_INFO_HOST (dotted IPv4, default 127.0.0.1)
// and $QUILLON_INFO_PORT (default 15002), read when a component is created.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/broadcast/tcp_client.h"
#include "platform/com/hresult.h"

namespace broadcast_components {

inline constexpr uint16_t kDefaultInfoPort = 15002;

struct InfoEndpoint {
  uint32_t address = 0;  // 0 when QUILLON_INFO_HOST is not an IPv4 address
  uint16_t port = 0;     // 0 when QUILLON_INFO_PORT is not a port number
};

InfoEndpoint InfoEndpointFromEnvironment();

class InfoConnection {
 public:
  explicit InfoConnection(InfoEndpoint endpoint) : endpoint_(endpoint) {}

  // Connects; RPC_S_SERVER_UNAVAILABLE_HR when the server cannot be reached.
  com::HRESULT Open();

  // Sends the request and returns the reply's "hr" with the whole reply in
  // *reply. A connection found lost is opened again; when that fails, or the
  // reply does not come, the result is RPC_S_SERVER_UNAVAILABLE_HR. A reply
  // that is not a JSON object with an integer "hr" gives E_FAIL.
  com::HRESULT Call(const nlohmann::json& request, nlohmann::json* reply);

 private:
  InfoEndpoint endpoint_;
  TcpClient client_;
};

}  // namespace broadcast_components
