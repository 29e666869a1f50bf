// The broadcast platform's audio components, declared in the slot order the
// gateway calls them by: the file stream component plays a sound file and
// raises IDB_FileEofEvent when it ends, the network stream component sends
// the audio to the broadcast server for one session. Both are created with
// CoCreateInstance(clsid, nullptr, kComponentContext, IStreamControl::kIid, ...)
// (class_registry.h).
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/unknown.h"

namespace com {

inline constexpr CLSID kClsidFileStream = GuidLiteral("{1C5B8693-5955-4920-BDC6-303B240FE8D3}");
inline constexpr CLSID kClsidNetworkStream = GuidLiteral("{0B0157DD-A8D8-485F-A482-C9A5C9282B97}");

// The type library that describes IDB_FileEofEvent to a sink's IDispatch.
inline constexpr Guid kRTimeLibId = GuidLiteral("{11C6EC2D-ABD3-4F27-9AF4-B8761B492440}");
inline constexpr uint16_t kRTimeLibMajor = 1;
inline constexpr uint16_t kRTimeLibMinor = 0;

// Both audio components. Slots 3 to 6 are the platform's automation
// slots; the programs call 7, 10 and 11 only.
class IStreamControl : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{7B5506B2-40A9-4708-A0BA-63CA4F83C430}");
  using Base = IUnknown;

  virtual HRESULT Reserved3() = 0;  // slot 3, not used by the programs
  virtual HRESULT Reserved4() = 0;  // slot 4, not used by the programs
  virtual HRESULT Reserved5() = 0;  // slot 5, not used by the programs
  virtual HRESULT Reserved6() = 0;  // slot 6, not used by the programs
  // On the file stream: sends this stream's output into `downstream`, the
  // network stream's stream control. E_POINTER for null, E_NOINTERFACE when
  // `downstream` cannot take audio. Replaces an earlier connection.
  virtual HRESULT Connect(IStreamControl* downstream) = 0;  // slot 7
  virtual HRESULT Reserved8() = 0;                          // slot 8, not used by the programs
  virtual HRESULT Reserved9() = 0;                          // slot 9, not used by the programs
  // Begins playing. The file stream fails (E_UNEXPECTED) with no file open;
  // S_FALSE when it is already playing.
  virtual HRESULT Start() = 0;  // slot 10
  // Stops playing at once; a file stopped this way raises no file-end
  // event, not even one already on its way to the apartment.
  virtual HRESULT Stop() = 0;  // slot 11

 protected:
  ~IStreamControl() = default;
};

// IStreamControl with every unused slot answering E_NOTIMPL, for implementations
// and test doubles that only fill the slots the programs call.
class StreamControlImplBase : public IStreamControl {
 public:
  HRESULT Reserved3() override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved5() override { return E_NOTIMPL; }
  HRESULT Reserved6() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }

 protected:
  ~StreamControlImplBase() = default;
};

// The file stream component's file side. The object is also the connection
// point container for IDB_FileEofEvent.
class IFilePlayback : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{0F931A8A-2264-4A91-863E-B4D16DE37520}");
  using Base = IUnknown;

  virtual HRESULT Reserved3() = 0;  // slot 3, not used by the programs
  virtual HRESULT Reserved4() = 0;  // slot 4, not used by the programs
  virtual HRESULT Reserved5() = 0;  // slot 5, not used by the programs
  virtual HRESULT Reserved6() = 0;  // slot 6, not used by the programs
  // Makes `path` (a full path) the current file; stops what was playing.
  // A failure when the file cannot be read or holds no MPEG audio frames.
  virtual HRESULT OpenFile(BSTR path) = 0;  // slot 7

 protected:
  ~IFilePlayback() = default;
};

// IFilePlayback with every unused slot answering E_NOTIMPL, for implementations
// and test doubles that only fill the slots the programs call.
class FilePlaybackImplBase : public IFilePlayback {
 public:
  HRESULT Reserved3() override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved5() override { return E_NOTIMPL; }
  HRESULT Reserved6() override { return E_NOTIMPL; }

 protected:
  ~FilePlaybackImplBase() = default;
};

// The network stream component's network side.
class INetworkStream : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{51E336A6-C77E-436F-BAC8-A9F8C8E56A64}");
  using Base = IUnknown;

  virtual HRESULT Reserved3() = 0;  // slot 3, not used by the programs
  virtual HRESULT Reserved4() = 0;  // slot 4, not used by the programs
  virtual HRESULT Reserved5() = 0;  // slot 5, not used by the programs
  virtual HRESULT Reserved6() = 0;  // slot 6, not used by the programs
  // The broadcast server session the audio is sent for.
  virtual HRESULT SetSession(int32_t session) = 0;  // slot 7
  // Where the audio goes: IPv4 address with the first octet in the most
  // significant byte (0xFFFFFFFF: none), and TCP port.
  virtual HRESULT SetServer(uint32_t address, int32_t port) = 0;  // slot 8

 protected:
  ~INetworkStream() = default;
};

// INetworkStream with every unused slot answering E_NOTIMPL, for implementations
// and test doubles that only fill the slots the programs call.
class NetworkStreamImplBase : public INetworkStream {
 public:
  HRESULT Reserved3() override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved5() override { return E_NOTIMPL; }
  HRESULT Reserved6() override { return E_NOTIMPL; }

 protected:
  ~NetworkStreamImplBase() = default;
};

// What the network stream delivered of the current session: an interface of
// this port, beside the platform's own, so that a broadcast whose audio never
// reached the server is not taken for one that played. A gateway that cannot
// get it (another component) counts nothing as lost.
class INetworkDelivery : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{301F2007-25BD-407D-9BE1-756DABE832C5}");
  using Base = IUnknown;

  // Records sent for the session named last with SetSession, and how many of
  // them the server did not take.
  virtual HRESULT GetDelivery(int32_t* records, int32_t* lost) = 0;

 protected:
  ~INetworkDelivery() = default;
};

// The file-end event. The component raises it through the sink's
// IDispatch::Invoke (member kDispidFileEof, DISPATCH_METHOD, no arguments)
// on the thread that created the component; a sink normally forwards Invoke
// to the type information of kRTimeLibId, which calls FileEof.
class IDB_FileEofEvent : public IDispatch {
 public:
  static constexpr IID kIid = GuidLiteral("{6CD9B02F-FB6D-4F7C-89B1-EE077FC69C47}");
  using Base = IDispatch;

  // The current file has finished playing.
  virtual HRESULT FileEof() = 0;  // slot 7

 protected:
  ~IDB_FileEofEvent() = default;
};

inline constexpr DISPID kDispidFileEof = 1;
inline constexpr char16_t kFileEofName[] = u"FileEof";

}  // namespace com
