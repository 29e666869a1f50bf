#include "platform/com/type_library.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "platform/com/com_ptr.h"
#include "platform/com/implements.h"

namespace com {
namespace {

struct Library {
  std::vector<InterfaceDescription> interfaces;
};

using LibraryKey = std::tuple<Guid, uint16_t, uint16_t>;

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<LibraryKey, std::shared_ptr<const Library>>& Table() {
  static std::map<LibraryKey, std::shared_ptr<const Library>> table;
  return table;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

class TypeInfo final : public Implements<ITypeInfo> {
 public:
  // Holds the library so the description outlives an unregistration.
  TypeInfo(std::shared_ptr<const Library> library, const InterfaceDescription* description)
      : library_(std::move(library)), description_(description) {}

  HRESULT GetIDsOfNames(char16_t** names, uint32_t count, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (const DispatchMember& m : description_->members)
        if (names[i] && SameName(names[i], m.name)) ids[i] = m.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT Invoke(void* instance, DISPID member, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                 uint32_t*) override {
    if (!instance || !params) return E_POINTER;
    for (const DispatchMember& m : description_->members) {
      if (m.id != member) continue;
      if (!(flags & m.flags)) return DISP_E_MEMBERNOTFOUND;
      if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
      if (params->cArgs != m.argCount) return DISP_E_BADPARAMCOUNT;
      if (result) VariantInit(result);
      return m.call(instance, *params, result);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::shared_ptr<const Library> library_;
  const InterfaceDescription* description_;
};

class TypeLib final : public Implements<ITypeLib> {
 public:
  explicit TypeLib(std::shared_ptr<const Library> library) : library_(std::move(library)) {}

  HRESULT GetTypeInfoOfGuid(const Guid& iid, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    for (const InterfaceDescription& d : library_->interfaces)
      if (d.iid == iid) return CreateObjectFor<TypeInfo>(ITypeInfo::kIid, reinterpret_cast<void**>(info), library_, &d);
    return TYPE_E_ELEMENTNOTFOUND;
  }

 private:
  std::shared_ptr<const Library> library_;
};

}  // namespace

void RegisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, std::vector<InterfaceDescription> interfaces) {
  auto library = std::make_shared<Library>(Library{std::move(interfaces)});
  std::lock_guard lock(TableMutex());
  Table()[{libid, major, minor}] = std::move(library);
}

void UnregisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor) {
  std::lock_guard lock(TableMutex());
  Table().erase({libid, major, minor});
}

HRESULT LoadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, LCID, ITypeLib** library) {
  if (!library) return E_POINTER;
  *library = nullptr;
  std::shared_ptr<const Library> found;
  {
    std::lock_guard lock(TableMutex());
    auto& table = Table();
    // Minor versions are compatible upwards: take the newest at or above.
    for (auto it = table.lower_bound({libid, major, minor}); it != table.end(); ++it) {
      auto& [id, itMajor, itMinor] = it->first;
      if (id != libid || itMajor != major) break;
      found = it->second;
    }
  }
  if (!found) return TYPE_E_LIBNOTREGISTERED;
  return CreateObjectFor<TypeLib>(ITypeLib::kIid, reinterpret_cast<void**>(library), std::move(found));
}

}  // namespace com
