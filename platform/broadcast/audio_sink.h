// How the file stream hands audio to the component it is connected to: an
// interface of this library's own, which the network stream implements and
// IStreamControl::Connect asks the downstream component for. Called from
// the file stream's playing thread; implementations are thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/com/unknown.h"

namespace broadcast_components {

class IAudioSink : public com::IUnknown {
 public:
  static constexpr com::IID kIid = com::GuidLiteral("{5E0B7A3C-2D41-4F8E-9C6B-1A7D3E9F0B42}");
  using Base = com::IUnknown;

  // A file begins; the path is UTF-8.
  virtual com::HRESULT BeginFile(std::string_view pathUtf8) = 0;
  // One MPEG audio frame and the time it lasts.
  virtual com::HRESULT Frame(uint32_t durationUs, std::span<const uint8_t> frame) = 0;
  // The file has played to its end (not sent for a stopped file).
  virtual com::HRESULT EndFile() = 0;

 protected:
  ~IAudioSink() = default;
};

}  // namespace broadcast_components
