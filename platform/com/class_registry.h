// Creating components by class identifier. On the original platform the
// registry maps a class to its server; here the component libraries
// register a factory function per class at start-up, and tests may register
// their own (a failing one, a fake) under the same identifier.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/unknown.h"

namespace com {

// Context values of CoCreateInstance.
inline constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr uint32_t CLSCTX_ALL = 0x17;

// The context the programs create the platform's components with: in-process
// server, in-process handler, local server and remote server.
inline constexpr uint32_t kComponentContext = 23;
static_assert(kComponentContext == CLSCTX_ALL);

// Builds a new object and stores the asked interface in *object (with the
// reference for the caller), or returns a failure with *object null.
using ClassFactory = std::function<HRESULT(const IID& iid, void** object)>;

// Thread-safe. Replaces an earlier factory of the same class.
void RegisterClass(const CLSID& clsid, ClassFactory factory);
// Thread-safe. REGDB_E_CLASSNOTREG when nothing was registered.
HRESULT UnregisterClass(const CLSID& clsid);

// Creates an object of the class and asks it for `iid`. Failures, checked in
// this order: E_POINTER (object null), CO_E_NOTINITIALIZED (the thread has
// no apartment), REGDB_E_CLASSNOTREG (unknown class, or a context without
// CLSCTX_INPROC_SERVER: every registered class is in-process),
// CLASS_E_NOAGGREGATION (outer not null), then whatever the factory returns.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid, void** object);

}  // namespace com
