#include "sim/broadcast/bcsim/data_connection.h"

#include <string>

namespace bcsim {

void DataConnection::OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) {
  if (out.closeWhenWritten()) return;
  parser_.Feed(bytes);
  DataRecord record;
  std::string error;
  for (;;) {
    switch (parser_.Next(record, error)) {
      case DataRecordParser::Result::kNeedMore: return;
      case DataRecordParser::Result::kBad:
        state_.sessions.DataError("connection " + std::to_string(id_) + ": " + error, nowMs);
        out.CloseWhenWritten();
        return;
      case DataRecordParser::Result::kRecord: break;
    }
    switch (record.type) {
      case DataRecord::kFileStart: state_.sessions.FileStart(record.session, record.payload, nowMs); break;
      case DataRecord::kFrame: state_.sessions.Frame(record.session, record.DurationUs(), record.Frame(), nowMs); break;
      case DataRecord::kFileEnd: state_.sessions.FileEnd(record.session, nowMs); break;
    }
  }
}

}  // namespace bcsim
