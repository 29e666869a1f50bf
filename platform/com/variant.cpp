#include "platform/com/variant.h"

#include "platform/com/dispatch.h"

namespace com {

void VariantInit(VARIANT* value) {
  value->vt = VT_EMPTY;
  value->lVal = 0;
}

HRESULT VariantClear(VARIANT* value) {
  if (!value) return E_POINTER;
  switch (value->vt) {
    case VT_BSTR: SysFreeString(value->bstrVal); break;
    case VT_UNKNOWN:
      if (value->punkVal) value->punkVal->Release();
      break;
    case VT_DISPATCH:
      if (value->pdispVal) value->pdispVal->Release();
      break;
    default: break;
  }
  VariantInit(value);
  return S_OK;
}

}  // namespace com
