// The network stream stand-in: sends what the file stream plays to the
// broadcast simulator's data port as records of the session set with
// SetSession (data_record.h). It connects when the first record is due,
// and again after SetServer names another server or a send fails; while the
// server cannot be reached, records are dropped (one connection attempt per
// second at most) and playing goes on.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/broadcast/audio_sink.h"
#include "platform/broadcast/tcp_client.h"
#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"

namespace broadcast_components {

class NetworkStream final : public com::Implements<com::StreamControlImplBase, com::NetworkStreamImplBase, IAudioSink,
                                                   com::INetworkDelivery> {
 public:
  NetworkStream() = default;

  // IStreamControl: the network stream has no downstream (Connect answers
  // E_NOTIMPL) and sends whatever arrives; Start does nothing, Stop closes
  // the connection.
  com::HRESULT Connect(com::IStreamControl* downstream) override;
  com::HRESULT Start() override;
  com::HRESULT Stop() override;

  // INetworkStream. SetServer answers E_INVALIDARG (and sends nothing
  // until a valid one) for address 0xFFFFFFFF or 0 or a port outside 1..65535.
  com::HRESULT SetSession(int32_t session) override;
  com::HRESULT SetServer(uint32_t address, int32_t port) override;

  // IAudioSink. A record that cannot be sent gives RPC_S_SERVER_UNAVAILABLE_HR.
  com::HRESULT BeginFile(std::string_view pathUtf8) override;
  com::HRESULT Frame(uint32_t durationUs, std::span<const uint8_t> frame) override;
  com::HRESULT EndFile() override;

  // INetworkDelivery: counted from the last SetSession.
  com::HRESULT GetDelivery(int32_t* records, int32_t* lost) override;

 private:
  // Counts the record, then delivers it.
  com::HRESULT Send(const std::vector<uint8_t>& record);
  com::HRESULT Deliver(const std::vector<uint8_t>& record);

  std::mutex mutex_;
  int32_t session_ = -1;
  uint32_t address_ = 0;
  uint16_t port_ = 0;
  TcpClient client_;
  std::chrono::steady_clock::time_point nextAttempt_{};
  int32_t records_ = 0;
  int32_t lost_ = 0;
};

}  // namespace broadcast_components
