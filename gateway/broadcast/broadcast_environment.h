// What the broadcast client takes from the gateway's composition root: where
// the broadcast server is, and the message box that tells the operator when
// a platform component cannot be reached. Both must outlive every session.
#pragma once

#include "gateway/broadcast_server_settings.h"
#include "platform/ui/message_box.h"

struct BroadcastEnvironment {
  const BroadcastServerSettings& server;
  ui::MessageBoxPort& messages;
};
