#include "platform/broadcast/terminal_directory.h"

#include <utility>

namespace broadcast_components {
namespace {

using namespace com;

// A JSON number as the 32 bits the interface carries (ids are int32,
// addresses arrive as uint32); false when it is no integer.
bool ToInt32(const nlohmann::json& value, int32_t* out) {
  if (!value.is_number_integer()) return false;
  *out = static_cast<int32_t>(static_cast<uint32_t>(value.get<int64_t>()));
  return true;
}

}  // namespace

HRESULT TerminalDirectory::Create(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<TerminalDirectory> directory = MakeObject<TerminalDirectory>(InfoEndpointFromEnvironment());
  if (!directory) return E_OUTOFMEMORY;
  if (HRESULT hr = directory->info_.Open(); FAILED(hr)) return hr;
  return directory->QueryInterface(iid, object);
}

HRESULT TerminalDirectory::Count(const char* op, int32_t* count) {
  if (!count) return E_POINTER;
  *count = 0;
  nlohmann::json reply;
  HRESULT hr = info_.Call({{"op", op}}, &reply);
  if (FAILED(hr)) return hr;
  auto value = reply.find("count");
  if (value == reply.end() || !ToInt32(*value, count)) return E_FAIL;
  return hr;
}

HRESULT TerminalDirectory::List(nlohmann::json request, int32_t max, int32_t* ids, int32_t* got) {
  if (!ids || !got) return E_POINTER;
  *got = 0;
  if (max < 0) return E_INVALIDARG;
  nlohmann::json reply;
  HRESULT hr = info_.Call(request, &reply);
  if (FAILED(hr)) return hr;
  auto list = reply.find("ids");
  if (list == reply.end() || !list->is_array()) return E_FAIL;
  // Never more than the caller's array holds, whatever the server sends.
  for (const auto& id : *list) {
    if (*got == max) break;
    if (!ToInt32(id, &ids[*got])) return E_FAIL;
    ++*got;
  }
  return hr;
}

HRESULT TerminalDirectory::GetTerminalCount(int32_t* count) { return Count("terminal_count", count); }

HRESULT TerminalDirectory::GetTerminalIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) {
  return List({{"op", "terminal_ids"}, {"first", first}, {"max", max}}, max, ids, got);
}

HRESULT TerminalDirectory::GetAreaCount(int32_t* count) { return Count("area_count", count); }

HRESULT TerminalDirectory::GetAreaIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) {
  return List({{"op", "area_ids"}, {"first", first}, {"max", max}}, max, ids, got);
}

HRESULT TerminalDirectory::GetAreaName(int32_t area, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  nlohmann::json reply;
  HRESULT hr = info_.Call({{"op", "area_name"}, {"id", area}}, &reply);
  // Other success codes (S_FALSE: an area the server does not name) come
  // back as they are, without a name.
  if (hr != S_OK) return hr;
  auto text = reply.find("name");
  if (text == reply.end() || !text->is_string()) return E_FAIL;
  *name = BstrFromUtf8(text->get<std::string>());
  return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT TerminalDirectory::GetAreaTerminals(int32_t area, int32_t first, int32_t max, int32_t* ids, int32_t* got) {
  return List({{"op", "area_terminals"}, {"id", area}, {"first", first}, {"max", max}}, max, ids, got);
}

HRESULT TerminalDirectory::GetTerminalAddresses(int32_t count, int32_t* idsInAddressesOut) {
  if (!idsInAddressesOut) return E_POINTER;
  if (count < 0) return E_INVALIDARG;
  nlohmann::json ids = nlohmann::json::array();
  for (int32_t i = 0; i < count; ++i) ids.push_back(idsInAddressesOut[i]);
  nlohmann::json reply;
  HRESULT hr = info_.Call({{"op", "terminal_addresses"}, {"ids", std::move(ids)}}, &reply);
  if (FAILED(hr)) return hr;
  auto addresses = reply.find("addresses");
  if (addresses == reply.end() || !addresses->is_array()) return E_FAIL;
  // An address the server leaves out is unknown: 0, as for an unknown id.
  for (int32_t i = 0; i < count; ++i) {
    int32_t address = 0;
    if (static_cast<size_t>(i) < addresses->size() && !ToInt32((*addresses)[i], &address)) return E_FAIL;
    idsInAddressesOut[i] = address;
  }
  return hr;
}

}  // namespace broadcast_components
