// One client of the data port, normally a network stream component: its
// records go into the session book under their session numbers. A stream
// that breaks the record format is noted as a data error and closed.
#pragma once

#include "sim/broadcast/bcsim/data_record_parser.h"
#include "sim/broadcast/bcsim/event_loop.h"
#include "sim/broadcast/bcsim/platform_state.h"

namespace bcsim {

class DataConnection : public ConnectionHandler {
 public:
  explicit DataConnection(PlatformState& state) : state_(state), id_(++state.lastConnectionId) {}
  void OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) override;

 private:
  PlatformState& state_;
  int id_;
  DataRecordParser parser_;
};

}  // namespace bcsim
