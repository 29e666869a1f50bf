// IDispatch answered from registered type information, the way event sinks
// are built: derive with the event interface and write only the events.
//
//   class Sink final : public com::TypeInfoDispatch<IDB_FileEofEvent> {
//     HRESULT FileEof() override { ... }
//   };
#pragma once

#include <utility>

#include "platform/com/dispatch.h"
#include "platform/com/implements.h"

namespace com {

template <class Interface>
class TypeInfoDispatch : public Implements<Interface> {
 public:
  explicit TypeInfoDispatch(ComPtr<ITypeInfo> info) : info_(std::move(info)) {}

  HRESULT GetTypeInfoCount(uint32_t* count) override { return *count = 1, S_OK; }
  HRESULT GetTypeInfo(uint32_t index, LCID, ITypeInfo** info) override {
    if (index != 0) return DISP_E_BADINDEX;
    info_->AddRef();
    *info = info_.Get();
    return S_OK;
  }
  HRESULT GetIDsOfNames(const IID&, char16_t** names, uint32_t count, LCID, DISPID* ids) override {
    return info_->GetIDsOfNames(names, count, ids);
  }
  HRESULT Invoke(DISPID member, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, uint32_t* argError) override {
    return info_->Invoke(static_cast<Interface*>(this), member, flags, params, result, exception, argError);
  }

 private:
  ComPtr<ITypeInfo> info_;
};

}  // namespace com
