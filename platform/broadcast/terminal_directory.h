// The terminal directory stand-in: each ITerminalDirectory call is one
// request on the information port. The object connects when it is created,
// so CoCreateInstance fails with RPC_S_SERVER_UNAVAILABLE_HR while the
// simulator is not running, as creating the platform's server would.
// Like every object of the monitor's apartment, it is used from one thread.
#pragma once

#include "platform/broadcast/info_client.h"
#include "platform/com/com_ptr.h"
#include "platform/com/implements.h"
#include "platform/com/terminal_interfaces.h"

namespace broadcast_components {

class TerminalDirectory final : public com::Implements<com::TerminalDirectoryImplBase> {
 public:
  explicit TerminalDirectory(InfoEndpoint endpoint) : info_(endpoint) {}

  // The class factory: connect, then hand out the asked interface.
  static com::HRESULT Create(const com::IID& iid, void** object);

  com::HRESULT GetTerminalCount(int32_t* count) override;
  com::HRESULT GetTerminalIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) override;
  com::HRESULT GetAreaCount(int32_t* count) override;
  com::HRESULT GetAreaIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) override;
  com::HRESULT GetAreaName(int32_t area, com::BSTR* name) override;
  com::HRESULT GetAreaTerminals(int32_t area, int32_t first, int32_t max, int32_t* ids, int32_t* got) override;
  com::HRESULT GetTerminalAddresses(int32_t count, int32_t* idsInAddressesOut) override;

 private:
  com::HRESULT Count(const char* op, int32_t* count);
  com::HRESULT List(nlohmann::json request, int32_t max, int32_t* ids, int32_t* got);

  InfoConnection info_;
};

}  // namespace broadcast_components
