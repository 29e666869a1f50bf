// The sink of the file stream component's file-end event: each event moves
// its source to the next file, or marks the session finished.
#pragma once

#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"

class bcSessSource;

class FileEnd_Handler final : public com::Implements<com::IDB_FileEofEvent> {
 public:
  FileEnd_Handler() = default;

  void setOwner(bcSessSource* owner) { owner_ = owner; }

  // IDispatch, answered from the registered type library's description.
  com::HRESULT GetTypeInfoCount(uint32_t* count) override;
  com::HRESULT GetTypeInfo(uint32_t index, com::LCID locale, com::ITypeInfo** info) override;
  com::HRESULT GetIDsOfNames(const com::IID& iid, char16_t** names, uint32_t count, com::LCID locale,
                             com::DISPID* ids) override;
  com::HRESULT Invoke(com::DISPID member, const com::IID& iid, com::LCID locale, uint16_t flags,
                      com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* exception,
                      uint32_t* argError) override;

  // The event: always S_OK.
  com::HRESULT FileEof() override;

 private:
  com::HRESULT TypeInfo(com::ITypeInfo** info);

  bcSessSource* owner_ = nullptr;
};
