#include "platform/broadcast/terminal_item.h"

#include <string>

namespace broadcast_components {

using namespace com;

HRESULT TerminalItem::Create(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<TerminalItem> item = MakeObject<TerminalItem>(InfoEndpointFromEnvironment());
  if (!item) return E_OUTOFMEMORY;
  if (HRESULT hr = item->info_.Open(); FAILED(hr)) return hr;
  return item->QueryInterface(iid, object);
}

HRESULT TerminalItem::SetId(int32_t terminal) {
  terminal_ = terminal;
  answer_.reset();
  return S_OK;
}

HRESULT TerminalItem::Query(const nlohmann::json** reply) {
  if (!terminal_) return E_UNEXPECTED;  // no terminal selected
  if (!answer_) {
    HRESULT hr = info_.Call({{"op", "terminal"}, {"id", *terminal_}}, &reply_);
    if (hr == RPC_S_SERVER_UNAVAILABLE_HR) return hr;
    answer_ = hr;
  }
  *reply = &reply_;
  return *answer_;
}

HRESULT TerminalItem::GetText(const char* field, BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  const nlohmann::json* reply = nullptr;
  HRESULT hr = Query(&reply);
  if (FAILED(hr)) return hr;
  auto value = reply->find(field);
  if (value == reply->end() || !value->is_string()) return E_FAIL;
  *text = BstrFromUtf8(value->get<std::string>());
  return *text ? hr : E_OUTOFMEMORY;
}

HRESULT TerminalItem::GetNumber(const char* field, int32_t* number) {
  if (!number) return E_POINTER;
  *number = 0;
  const nlohmann::json* reply = nullptr;
  HRESULT hr = Query(&reply);
  if (FAILED(hr)) return hr;
  auto value = reply->find(field);
  if (value == reply->end() || !value->is_number_integer()) return E_FAIL;
  *number = static_cast<int32_t>(static_cast<uint32_t>(value->get<int64_t>()));
  return hr;
}

HRESULT TerminalItem::GetTag(BSTR* tag) { return GetText("tag", tag); }

HRESULT TerminalItem::GetName(BSTR* name) { return GetText("name", name); }

HRESULT TerminalItem::GetState(int32_t* state) { return GetNumber("state", state); }

HRESULT TerminalItem::GetFaultCode(int32_t* fault) { return GetNumber("fault", fault); }

}  // namespace broadcast_components
