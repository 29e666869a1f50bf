#include "platform/broadcast/network_stream.h"

#include "platform/broadcast/data_record.h"

namespace broadcast_components {
namespace {

using namespace std::chrono_literals;
using namespace com;

constexpr auto kConnectTimeout = 1s;
// A server that reads nothing for this long is dropped rather than let it
// hold up the playing thread.
constexpr auto kSendTimeout = 2s;
constexpr auto kRetryAfter = 1s;

}  // namespace

HRESULT NetworkStream::Connect(IStreamControl*) { return E_NOTIMPL; }

HRESULT NetworkStream::Start() { return S_OK; }

HRESULT NetworkStream::Stop() {
  std::lock_guard lock(mutex_);
  client_.Close();
  nextAttempt_ = {};
  return S_OK;
}

HRESULT NetworkStream::SetSession(int32_t session) {
  std::lock_guard lock(mutex_);
  session_ = session;
  records_ = lost_ = 0;
  return S_OK;
}

HRESULT NetworkStream::GetDelivery(int32_t* records, int32_t* lost) {
  if (!records || !lost) return E_POINTER;
  std::lock_guard lock(mutex_);
  *records = records_;
  *lost = lost_;
  return S_OK;
}

HRESULT NetworkStream::SetServer(uint32_t address, int32_t port) {
  bool valid = address != 0 && address != 0xFFFFFFFF && port > 0 && port < 65536;
  uint32_t newAddress = valid ? address : 0;
  uint16_t newPort = valid ? static_cast<uint16_t>(port) : 0;
  std::lock_guard lock(mutex_);
  if (newAddress != address_ || newPort != port_) {
    client_.Close();
    nextAttempt_ = {};
    address_ = newAddress;
    port_ = newPort;
  }
  return valid ? S_OK : E_INVALIDARG;
}

HRESULT NetworkStream::Send(const std::vector<uint8_t>& record) {
  // Called with the lock held.
  ++records_;
  HRESULT sent = Deliver(record);
  if (FAILED(sent)) ++lost_;
  return sent;
}

HRESULT NetworkStream::Deliver(const std::vector<uint8_t>& record) {
  if (port_ == 0) return RPC_S_SERVER_UNAVAILABLE_HR;
  if (!client_.IsOpen()) {
    auto now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) return RPC_S_SERVER_UNAVAILABLE_HR;
    if (!client_.Connect(address_, port_, kConnectTimeout)) {
      nextAttempt_ = now + kRetryAfter;
      return RPC_S_SERVER_UNAVAILABLE_HR;
    }
  }
  if (!client_.SendAll(record.data(), record.size(), kSendTimeout)) return RPC_S_SERVER_UNAVAILABLE_HR;
  return S_OK;
}

HRESULT NetworkStream::BeginFile(std::string_view pathUtf8) {
  std::lock_guard lock(mutex_);
  return Send(EncodeFileStart(session_, pathUtf8));
}

HRESULT NetworkStream::Frame(uint32_t durationUs, std::span<const uint8_t> frame) {
  std::lock_guard lock(mutex_);
  return Send(EncodeAudioFrame(session_, durationUs, frame));
}

HRESULT NetworkStream::EndFile() {
  std::lock_guard lock(mutex_);
  return Send(EncodeFileEnd(session_));
}

}  // namespace broadcast_components
