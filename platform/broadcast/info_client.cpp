#include "platform/broadcast/info_client.h"

#include <chrono>
#include <cstdlib>

namespace broadcast_components {
namespace {

using namespace std::chrono_literals;

// Loopback answers at once; a server that takes longer than this is as
// good as gone for a monitor that polls every few seconds.
constexpr auto kConnectTimeout = 2s;
constexpr auto kReplyTimeout = 5s;

}  // namespace

InfoEndpoint InfoEndpointFromEnvironment() {
  InfoEndpoint endpoint;
  const char* host = std::getenv("QUILLON_INFO_HOST");
  endpoint.address = ParseIpv4(host && *host ? host : "127.0.0.1").value_or(0);
  const char* port = std::getenv("QUILLON_INFO_PORT");
  if (!port || !*port) {
    endpoint.port = kDefaultInfoPort;
  } else {
    char* end = nullptr;
    long value = std::strtol(port, &end, 10);
    endpoint.port = (*end == '\0' && value > 0 && value < 65536) ? static_cast<uint16_t>(value) : 0;
  }
  return endpoint;
}

com::HRESULT InfoConnection::Open() {
  if (endpoint_.address == 0 || endpoint_.port == 0 ||
      !client_.Connect(endpoint_.address, endpoint_.port, kConnectTimeout))
    return com::RPC_S_SERVER_UNAVAILABLE_HR;
  return com::S_OK;
}

com::HRESULT InfoConnection::Call(const nlohmann::json& request, nlohmann::json* reply) {
  *reply = nlohmann::json();
  std::string line = request.dump() + "\n";
  std::string answer;
  // Every request only reads, so one that met a connection the server had
  // already dropped is simply sent again on a new one.
  for (;;) {
    bool fresh = !client_.IsOpen();
    if (fresh && com::FAILED(Open())) return com::RPC_S_SERVER_UNAVAILABLE_HR;
    if (client_.SendAll(line.data(), line.size(), kReplyTimeout) && client_.ReadLine(&answer, kReplyTimeout)) break;
    if (fresh) return com::RPC_S_SERVER_UNAVAILABLE_HR;
  }
  *reply = nlohmann::json::parse(answer, nullptr, false);
  if (reply->is_discarded() || !reply->is_object()) return com::E_FAIL;
  auto hr = reply->find("hr");
  if (hr == reply->end() || !hr->is_number_integer()) return com::E_FAIL;
  // Either sign convention for the 32 bits: -2147220468 or 2147746828.
  return static_cast<com::HRESULT>(static_cast<uint32_t>(hr->get<int64_t>()));
}

}  // namespace broadcast_components
