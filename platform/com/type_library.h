// Registered type libraries: what a library registration puts into the
// registry on the original platform, here a process-wide table filled by
// whoever installs the components. A dispatch implementation loads its
// interface's type information from here and lets it do the member lookup
// and the call:
//
//   ComPtr<ITypeLib> lib;  LoadRegTypeLib(kLibid, 1, 0, 0, lib.Put());
//   ComPtr<ITypeInfo> info; lib->GetTypeInfoOfGuid(IMyEvents::kIid, info.Put());
//   ... Invoke(...) { return info->Invoke(static_cast<IMyEvents*>(this), member, ...); }
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/guid.h"

namespace com {

struct DispatchMember {
  std::u16string name;  // matched without regard to ASCII case
  DISPID id = 0;
  uint16_t flags = DISPATCH_METHOD;  // the kinds of call the member accepts
  uint32_t argCount = 0;             // positional arguments it requires
  // Makes the call on the interface pointer given to ITypeInfo::Invoke.
  std::function<HRESULT(void* instance, const DISPPARAMS& params, VARIANT* result)> call;
};

struct InterfaceDescription {
  IID iid;
  std::vector<DispatchMember> members;
};

// Makes a library loadable under (libid, major, minor); replaces an earlier
// registration of that version.
void RegisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, std::vector<InterfaceDescription> interfaces);
void UnregisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor);

// The registered library with this major version and the highest minor
// version not below `minor`; TYPE_E_LIBNOTREGISTERED when there is none.
HRESULT LoadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, LCID locale, ITypeLib** library);

}  // namespace com
