// The per-terminal stand-in: SetId selects a terminal, and the first getter
// after it asks the information port for that terminal ("terminal"
// request); the other getters answer from the same reply, so one query of
// name, tag, state and fault is one request. A terminal the server does not
// know makes every getter fail with E_TERMINAL_GONE. Like the directory, the
// object connects when created and cannot be created while the simulator is
// down.
#pragma once

#include <optional>

#include "platform/broadcast/info_client.h"
#include "platform/com/com_ptr.h"
#include "platform/com/implements.h"
#include "platform/com/terminal_interfaces.h"

namespace broadcast_components {

class TerminalItem final : public com::Implements<com::TerminalItemImplBase> {
 public:
  explicit TerminalItem(InfoEndpoint endpoint) : info_(endpoint) {}

  static com::HRESULT Create(const com::IID& iid, void** object);

  com::HRESULT GetTag(com::BSTR* tag) override;
  com::HRESULT GetName(com::BSTR* name) override;
  com::HRESULT GetState(int32_t* state) override;
  com::HRESULT SetId(int32_t terminal) override;
  com::HRESULT GetFaultCode(int32_t* fault) override;

 private:
  // The reply for the selected terminal, asked for when first needed. A
  // failure to reach the server is not kept, so the next getter tries again.
  com::HRESULT Query(const nlohmann::json** reply);
  com::HRESULT GetText(const char* field, com::BSTR* text);
  com::HRESULT GetNumber(const char* field, int32_t* value);

  InfoConnection info_;
  std::optional<int32_t> terminal_;
  std::optional<com::HRESULT> answer_;
  nlohmann::json reply_;
};

}  // namespace broadcast_components
