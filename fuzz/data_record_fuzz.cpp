// The byte stream of bcsim's data port. The first byte picks how the rest is
// cut into reads; the records, and where the stream goes bad, must not
// depend on the cuts.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sim/broadcast/bcsim/data_record_parser.h"

namespace {

using bcsim::DataRecord;
using bcsim::DataRecordParser;

struct Outcome {
  std::vector<DataRecord> records;
  std::string error;
};

void Drain(DataRecordParser& parser, Outcome& outcome) {
  DataRecord record;
  for (;;) {
    std::string error;
    auto result = parser.Next(record, error);
    if (result == DataRecordParser::Result::kNeedMore) return;
    if (result == DataRecordParser::Result::kBad) {
      FUZZ_CHECK(!error.empty());
      // A stream that went bad stays bad.
      std::string again;
      FUZZ_CHECK(parser.Next(record, again) == DataRecordParser::Result::kBad && again == error);
      outcome.error = error;
      return;
    }
    FUZZ_CHECK(record.type >= DataRecord::kFileStart && record.type <= DataRecord::kFileEnd);
    FUZZ_CHECK(record.payload.size() <= DataRecordParser::kMaxPayload);
    if (record.type == DataRecord::kFrame) {
      FUZZ_CHECK(record.payload.size() >= 4);
      record.DurationUs();
      FUZZ_CHECK(record.Frame().size() == record.payload.size() - 4);
    }
    outcome.records.push_back(record);
  }
}

Outcome Parse(std::string_view stream, size_t piece) {
  DataRecordParser parser;
  Outcome outcome;
  for (size_t at = 0; at < stream.size() && outcome.error.empty(); at += piece) {
    parser.Feed(stream.substr(at, piece));
    Drain(parser, outcome);
  }
  return outcome;
}

bool Same(const Outcome& a, const Outcome& b) {
  if (a.error != b.error || a.records.size() != b.records.size()) return false;
  for (size_t i = 0; i < a.records.size(); ++i)
    if (a.records[i].type != b.records[i].type || a.records[i].session != b.records[i].session ||
        a.records[i].payload != b.records[i].payload)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  FUZZ_CHECK(Same(Parse(stream, stream.size() + 1), Parse(stream, 1 + data[0] % 16)));
  return 0;
}
