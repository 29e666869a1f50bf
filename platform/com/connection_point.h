// A connection point to embed in an object that raises events. It has no
// reference count of its own: its AddRef and Release are the container's,
// so a client holding the point keeps the whole object alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/connection_interfaces.h"

namespace com {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `container` must outlive the point (it is normally the point's owner).
  // maxSinks 0 means no limit.
  ConnectionPoint(IConnectionPointContainer* container, const IID& eventIid, size_t maxSinks = 0);
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  HRESULT GetConnectionInterface(IID* eventIid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  const IID& EventIid() const { return eventIid_; }

  // The subscribed sinks at this moment, as their event interface. Taken as
  // a copy so events can be raised without a lock while sinks come and go.
  template <class Event>
  std::vector<ComPtr<Event>> Sinks() const {
    std::vector<ComPtr<Event>> sinks;
    std::lock_guard lock(mutex_);
    for (const Subscription& s : subscriptions_) sinks.emplace_back(static_cast<Event*>(s.sink.Get()));
    return sinks;
  }

  // Ends every subscription, as when the object shuts down.
  void UnadviseAll();

 private:
  struct Subscription {
    uint32_t cookie;
    ComPtr<IUnknown> sink;  // the sink's event interface, held as IUnknown
  };

  IConnectionPointContainer* const container_;
  const IID eventIid_;
  const size_t maxSinks_;
  mutable std::mutex mutex_;
  std::vector<Subscription> subscriptions_;
  uint32_t nextCookie_ = 1;
};

}  // namespace com
