// Outgoing interfaces: an object that raises events is a connection point
// container with one connection point per event interface; a client
// subscribes its sink at the point with Advise and gets a cookie back,
// which Unadvise takes to end the subscription.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace com {

class IConnectionPoint;
// Enumerators are not provided; the Enum methods answer E_NOTIMPL.
class IEnumConnectionPoints;
class IEnumConnections;

class IConnectionPointContainer : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{B196B284-BAB4-101A-B69C-00AA00341D07}");
  using Base = IUnknown;

  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;  // slot 3
  // Slot 4. CONNECT_E_NOCONNECTION when the object raises no such events.
  virtual HRESULT FindConnectionPoint(const IID& eventIid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{B196B286-BAB4-101A-B69C-00AA00341D07}");
  using Base = IUnknown;

  virtual HRESULT GetConnectionInterface(IID* eventIid) = 0;                               // slot 3
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;  // slot 4
  // Slot 5. Keeps a reference to the sink's event interface until Unadvise;
  // the cookie is never 0. CONNECT_E_CANNOTCONNECT when the sink lacks the
  // event interface, CONNECT_E_ADVISELIMIT when the point is full.
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  // Slot 6. Releases the sink; CONNECT_E_NOCONNECTION for an unknown cookie.
  virtual HRESULT Unadvise(uint32_t cookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;  // slot 7

 protected:
  ~IConnectionPoint() = default;
};

}  // namespace com
