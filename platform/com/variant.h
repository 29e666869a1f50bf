// The tagged value automation calls pass arguments and results in, reduced
// to the types the components and programs exchange.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"

namespace com {

class IUnknown;
class IDispatch;

using VARTYPE = uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_UNKNOWN = 13;

using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  union {
    int32_t lVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
  };
  VARIANT() : lVal(0) {}
};

void VariantInit(VARIANT* value);
// Frees what the value owns (string, interface reference) and empties it.
HRESULT VariantClear(VARIANT* value);

}  // namespace com
