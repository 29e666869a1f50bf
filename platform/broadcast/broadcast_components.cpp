#include "platform/broadcast/broadcast_components.h"

#include "platform/broadcast/file_stream.h"
#include "platform/broadcast/network_stream.h"
#include "platform/broadcast/terminal_directory.h"
#include "platform/broadcast/terminal_item.h"
#include "platform/com/class_registry.h"
#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"
#include "platform/com/terminal_interfaces.h"
#include "platform/com/type_library.h"

namespace broadcast_components {

using namespace com;

void RegisterBroadcastComponents() {
  RegisterClass(kClsidFileStream, &FileStream::Create);
  RegisterClass(kClsidNetworkStream,
                [](const IID& iid, void** object) { return CreateObjectFor<NetworkStream>(iid, object); });
  RegisterClass(kClsidTerminalDirectory, &TerminalDirectory::Create);
  RegisterClass(kClsidTerminalItem, &TerminalItem::Create);

  DispatchMember fileEof;
  fileEof.name = kFileEofName;
  fileEof.id = kDispidFileEof;
  fileEof.call = [](void* instance, const DISPPARAMS&, VARIANT*) {
    return static_cast<IDB_FileEofEvent*>(instance)->FileEof();
  };
  RegisterTypeLib(kRTimeLibId, kRTimeLibMajor, kRTimeLibMinor, {{IDB_FileEofEvent::kIid, {fileEof}}});
}

void UnregisterBroadcastComponents() {
  UnregisterClass(kClsidFileStream);
  UnregisterClass(kClsidNetworkStream);
  UnregisterClass(kClsidTerminalDirectory);
  UnregisterClass(kClsidTerminalItem);
  UnregisterTypeLib(kRTimeLibId, kRTimeLibMajor, kRTimeLibMinor);
}

}  // namespace broadcast_components
