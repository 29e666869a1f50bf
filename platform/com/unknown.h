// The root interface every component interface derives from.
//
// Interfaces here are pure abstract classes whose virtual functions sit in
// the function table in declaration order, base first, so slot N of an
// interface is the N-th function counting QueryInterface as 0. They have no
// virtual destructor, which would take slots of its own: objects are
// destroyed by their final Release, never through an interface pointer.
//
// Each interface names its identifier `kIid` and its direct base `Base`;
// `Implements` (implements.h) walks that chain to answer QueryInterface.
#pragma once

#include <cstdint>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace com {

class IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{00000000-0000-0000-C000-000000000046}");

  // Slot 0. Stores an added reference to the asked interface in *object, or
  // nullptr with E_NOINTERFACE; E_POINTER when object is null.
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  // Slot 1. Thread-safe; the result is the new count, for diagnostics only.
  virtual uint32_t AddRef() = 0;
  // Slot 2. The last Release destroys the object, on whatever thread makes it.
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace com
