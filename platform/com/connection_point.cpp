#include "platform/com/connection_point.h"

#include <utility>

namespace com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* container, const IID& eventIid, size_t maxSinks)
    : container_(container), eventIid_(eventIid), maxSinks_(maxSinks) {}

ConnectionPoint::~ConnectionPoint() { UnadviseAll(); }

HRESULT ConnectionPoint::QueryInterface(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid != IUnknown::kIid && iid != IConnectionPoint::kIid) return E_NOINTERFACE;
  *object = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

uint32_t ConnectionPoint::AddRef() { return container_->AddRef(); }

uint32_t ConnectionPoint::Release() { return container_->Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* eventIid) {
  if (!eventIid) return E_POINTER;
  *eventIid = eventIid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  container_->AddRef();
  *container = container_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> events;
  if (FAILED(sink->QueryInterface(eventIid_, events.PutVoid())) || !events) return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  if (maxSinks_ != 0 && subscriptions_.size() >= maxSinks_) return CONNECT_E_ADVISELIMIT;
  *cookie = nextCookie_++;
  if (nextCookie_ == 0) nextCookie_ = 1;
  subscriptions_.push_back({*cookie, std::move(events)});
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
  ComPtr<IUnknown> released;  // released after the lock, in case the sink calls back
  {
    std::lock_guard lock(mutex_);
    for (auto it = subscriptions_.begin(); it != subscriptions_.end(); ++it) {
      if (it->cookie != cookie) continue;
      released = std::move(it->sink);
      subscriptions_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::UnadviseAll() {
  std::vector<Subscription> released;
  {
    std::lock_guard lock(mutex_);
    released.swap(subscriptions_);
  }
}

}  // namespace com
