#include "gateway/broadcast/file_end_handler.h"

#include "gateway/broadcast/bc_sess_source.h"
#include "gateway/broadcast/session_mgr.h"
#include "platform/com/type_library.h"

com::HRESULT FileEnd_Handler::TypeInfo(com::ITypeInfo** info) {
  com::ComPtr<com::ITypeLib> library;
  com::HRESULT hr = com::LoadRegTypeLib(com::kRTimeLibId, com::kRTimeLibMajor, com::kRTimeLibMinor, 0, library.Put());
  if (com::FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(com::IDB_FileEofEvent::kIid, info);
}

com::HRESULT FileEnd_Handler::GetTypeInfoCount(uint32_t* count) {
  if (!count) return com::E_POINTER;
  *count = 1;
  return com::S_OK;
}

com::HRESULT FileEnd_Handler::GetTypeInfo(uint32_t index, com::LCID, com::ITypeInfo** info) {
  if (!info) return com::E_POINTER;
  *info = nullptr;
  if (index != 0) return com::DISP_E_BADINDEX;
  return TypeInfo(info);
}

com::HRESULT FileEnd_Handler::GetIDsOfNames(const com::IID&, char16_t** names, uint32_t count, com::LCID,
                                            com::DISPID* ids) {
  com::ComPtr<com::ITypeInfo> info;
  com::HRESULT hr = TypeInfo(info.Put());
  return com::FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
}

com::HRESULT FileEnd_Handler::Invoke(com::DISPID member, const com::IID&, com::LCID, uint16_t flags,
                                     com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* exception,
                                     uint32_t* argError) {
  com::ComPtr<com::ITypeInfo> info;
  com::HRESULT hr = TypeInfo(info.Put());
  if (com::FAILED(hr)) return hr;
  return info->Invoke(static_cast<com::IDB_FileEofEvent*>(this), member, flags, params, result, exception, argError);
}

com::HRESULT FileEnd_Handler::FileEof() {
  if (owner_ == nullptr) return com::S_OK;
  if (owner_->playNext()) return com::S_OK;
  owner_->Finished();
  return com::S_OK;
}
