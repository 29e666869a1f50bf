// Late-bound calls: IDispatch, through which events reach their sinks, and
// the type information a dispatch implementation looks its members up in
// (type_library.h registers and loads it).
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace com {

using DISPID = int32_t;
using LCID = uint32_t;

inline constexpr DISPID DISPID_UNKNOWN = -1;

// Invoke flags.
inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

// Arguments of an Invoke, positional ones in reverse order as the platform
// passes them (args[0] is the last argument).
struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  uint32_t cArgs = 0;
  uint32_t cNamedArgs = 0;
};

// What a member reports when it fails with DISP_E_EXCEPTION.
struct EXCEPINFO {
  uint16_t wCode = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  HRESULT scode = S_OK;
};

class ITypeInfo;

class IDispatch : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{00020400-0000-0000-C000-000000000046}");
  using Base = IUnknown;

  // Slot 3. 1 when GetTypeInfo can give type information, else 0.
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  // Slot 4. Index 0 only; DISP_E_BADINDEX otherwise.
  virtual HRESULT GetTypeInfo(uint32_t index, LCID locale, ITypeInfo** info) = 0;
  // Slot 5. `iid` must be the null identifier. Unknown names get
  // DISPID_UNKNOWN and the result DISP_E_UNKNOWNNAME.
  virtual HRESULT GetIDsOfNames(const IID& iid, char16_t** names, uint32_t count, LCID locale, DISPID* ids) = 0;
  // Slot 6. Calls member `member`; `result`, `exception` and `argError` may
  // be null.
  virtual HRESULT Invoke(DISPID member, const IID& iid, LCID locale, uint16_t flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, uint32_t* argError) = 0;

 protected:
  ~IDispatch() = default;
};

// The member table of one interface.
class ITypeInfo : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{00020401-0000-0000-C000-000000000046}");
  using Base = IUnknown;

  virtual HRESULT GetIDsOfNames(char16_t** names, uint32_t count, DISPID* ids) = 0;
  // Calls the member on `instance`, a pointer to the described interface.
  virtual HRESULT Invoke(void* instance, DISPID member, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, uint32_t* argError) = 0;

 protected:
  ~ITypeInfo() = default;
};

class ITypeLib : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{00020402-0000-0000-C000-000000000046}");
  using Base = IUnknown;

  // TYPE_E_ELEMENTNOTFOUND for an interface the library does not describe.
  virtual HRESULT GetTypeInfoOfGuid(const Guid& iid, ITypeInfo** info) = 0;

 protected:
  ~ITypeLib() = default;
};

}  // namespace com
