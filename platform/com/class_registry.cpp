#include "platform/com/class_registry.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/com/apartment.h"

namespace com {
namespace {

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unordered_map<CLSID, ClassFactory>& Registry() {
  static std::unordered_map<CLSID, ClassFactory> registry;
  return registry;
}

}  // namespace

void RegisterClass(const CLSID& clsid, ClassFactory factory) {
  std::lock_guard lock(RegistryMutex());
  Registry()[clsid] = std::move(factory);
}

HRESULT UnregisterClass(const CLSID& clsid) {
  std::lock_guard lock(RegistryMutex());
  return Registry().erase(clsid) ? S_OK : REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!Apartment::Current()) return CO_E_NOTINITIALIZED;
  ClassFactory factory;
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(clsid);
    if (it == Registry().end() || !(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    factory = it->second;  // a copy, so the factory runs without the lock
  }
  if (outer) return CLASS_E_NOAGGREGATION;
  return factory(iid, object);
}

}  // namespace com
