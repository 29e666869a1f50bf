#include "platform/broadcast/mp3_file.h"

#include <memory>
#include <mutex>

#include <mpg123.h>

namespace broadcast_components {
namespace {

struct HandleDelete {
  void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDelete>;

}  // namespace

std::shared_ptr<const Mp3File> Mp3File::Read(const std::string& path, std::string* error) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { mpg123_init(); });

  int status = MPG123_OK;
  Handle handle(mpg123_new(nullptr, &status));
  if (!handle) {
    *error = mpg123_plain_strerror(status);
    return nullptr;
  }
  mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
    *error = "cannot open " + path + ": " + mpg123_strerror(handle.get());
    return nullptr;
  }

  auto file = std::make_shared<Mp3File>();
  for (;;) {
    status = mpg123_framebyframe_next(handle.get());
    if (status == MPG123_DONE) break;
    if (status != MPG123_OK && status != MPG123_NEW_FORMAT) {
      // Damage after good frames ends the file there, as a player would;
      // damage before any is no MPEG audio at all.
      if (!file->frames_.empty()) break;
      *error = path + ": no MPEG audio: " + mpg123_strerror(handle.get());
      return nullptr;
    }
    unsigned long header = 0;
    unsigned char* body = nullptr;
    size_t bodySize = 0;
    mpg123_frameinfo2 info{};
    int samples = mpg123_spf(handle.get());
    if (mpg123_framedata(handle.get(), &header, &body, &bodySize) != MPG123_OK ||
        mpg123_info2(handle.get(), &info) != MPG123_OK || info.rate <= 0 || samples <= 0)
      continue;
    Frame frame;
    frame.durationUs = static_cast<uint32_t>(uint64_t{static_cast<uint32_t>(samples)} * 1000000 / info.rate);
    frame.offset = file->bytes_.size();
    frame.size = 4 + bodySize;
    for (int shift = 24; shift >= 0; shift -= 8) file->bytes_.push_back(static_cast<uint8_t>(header >> shift));
    file->bytes_.insert(file->bytes_.end(), body, body + bodySize);
    file->frames_.push_back(frame);
  }
  if (file->frames_.empty()) {
    *error = path + ": no MPEG audio frame";
    return nullptr;
  }
  return file;
}

uint64_t Mp3File::DurationUs() const {
  uint64_t total = 0;
  for (const Frame& f : frames_) total += f.durationUs;
  return total;
}

}  // namespace broadcast_components
