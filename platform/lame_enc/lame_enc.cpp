// The BladeEnc-style entry points of liblame_enc.so over libmp3lame.
//
// A handle is the address of a Stream that the library keeps in a set, so a
// foreign or freed handle is refused instead of followed (as long as no new
// stream has taken its address). After a complete
// encoding (beDeinitStream succeeded) of a stream that reserved an
// information frame, beCloseStream keeps the encoder for beWriteInfoTag,
// which needs its counts; every other close frees it at once. Streams still
// kept when the library is unloaded are freed then.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <lame/lame.h>

#include "platform/lame_enc/encoder_config.h"
#include "platform/lame_enc/info_frame.h"
#include "platform/lame_enc/lame_enc_api.h"
#include "platform/lame_enc/mp3_frame.h"

namespace {

// This library's own version and release date (BE_VERSION).
constexpr uint8_t kLibraryMajor = 1;
constexpr uint8_t kLibraryMinor = 0;
constexpr uint8_t kReleaseDay = 7;
constexpr uint8_t kReleaseMonth = 12;
constexpr uint16_t kReleaseYear = 2026;

// The largest Layer III frame: 320 kbit/s at 32 kHz, padded.
constexpr size_t kMaxFrameLength = 1441;

struct Stream {
  lame_t lame = nullptr;
  lame_enc::StreamLayout layout;
  uint32_t samplesPerChunk = 0;  // all channels counted
  uint32_t bufferSize = 0;
  bool finished = false;  // beDeinitStream succeeded
  bool closed = false;

  ~Stream() {
    if (lame) lame_close(lame);
  }
};

class StreamTable {
 public:
  HBE_STREAM Add(std::unique_ptr<Stream> stream) {
    std::lock_guard lock(mutex_);
    return reinterpret_cast<HBE_STREAM>(*streams_.insert(stream.release()).first);
  }
  // The open stream behind a handle, or nullptr.
  Stream* FindOpen(HBE_STREAM handle) {
    Stream* stream = Find(handle);
    return stream && !stream->closed ? stream : nullptr;
  }
  Stream* Find(HBE_STREAM handle) {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(reinterpret_cast<Stream*>(handle));
    return it == streams_.end() ? nullptr : *it;
  }
  void Free(Stream* stream) {
    {
      std::lock_guard lock(mutex_);
      streams_.erase(stream);
    }
    delete stream;
  }
  ~StreamTable() {
    for (Stream* stream : streams_) delete stream;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<Stream*> streams_;
};

StreamTable streams;

// lame.h: the output of n samples per channel fits in 1.25 n + 7200 bytes,
// which also covers the flush.
uint32_t OutputBound(uint32_t samplesPerChannel) { return samplesPerChannel + samplesPerChannel / 4 + 7200; }

#ifndef LAME_ENC_WITHOUT_INFO_TAG
// Writes the encoder's information frame over the first frame of the file,
// after any ID3v2 tag; refuses a file that does not start with a frame.
BE_ERR WriteTagFrame(lame_t lame, const char* path) {
  uint8_t frame[kMaxFrameLength];
  size_t length = lame_get_lametag_frame(lame, frame, sizeof frame);
  if (length == 0 || length > sizeof frame) return BE_ERR_SUCCESSFUL;  // the encoder has none
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "r+b"), std::fclose);
  if (!file) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  uint8_t head[10];
  size_t got = std::fread(head, 1, sizeof head, file.get());
  size_t offset = lame_enc::Id3v2Length(std::span<const uint8_t>(head, got));
  uint8_t sync[4];
  if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 || std::fread(sync, 1, 4, file.get()) != 4 ||
      !lame_enc::ParseLayer3Header(sync)) {
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fwrite(frame, 1, length, file.get()) != length) {
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  return std::fflush(file.get()) == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}
#endif

}  // namespace

extern "C" {

BE_API BE_ERR beInitStream(PBE_CONFIG pbeConfig, uint32_t* dwSamples, uint32_t* dwBufferSize, PHBE_STREAM phbeStream) {
  if (!pbeConfig || !dwSamples || !dwBufferSize || !phbeStream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  auto stream = std::make_unique<Stream>();
  stream->lame = lame_init();
  if (!stream->lame) return BE_ERR_NO_MORE_HANDLES;
  BE_ERR result = lame_enc::ConfigureEncoder(*pbeConfig, stream->lame, &stream->layout);
  if (result != BE_ERR_SUCCESSFUL) return result;
  uint32_t frameSamples = static_cast<uint32_t>(lame_get_framesize(stream->lame));
  stream->samplesPerChunk = frameSamples * static_cast<uint32_t>(stream->layout.inputChannels);
  stream->bufferSize = OutputBound(frameSamples);
  *dwSamples = stream->samplesPerChunk;
  *dwBufferSize = stream->bufferSize;
  *phbeStream = streams.Add(std::move(stream));
  return BE_ERR_SUCCESSFUL;
}

BE_API BE_ERR beEncodeChunk(HBE_STREAM hbeStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                            uint32_t* pdwOutput) {
  Stream* stream = streams.FindOpen(hbeStream);
  if (!stream || stream->finished) return BE_ERR_INVALID_HANDLE;
  if (!pOutput || !pdwOutput || (nSamples > 0 && !pSamples)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // The caller's buffer is sized for one chunk; more could overrun it.
  if (nSamples > stream->samplesPerChunk) return BE_ERR_BUFFER_TOO_SMALL;
  int perChannel = static_cast<int>(nSamples) / stream->layout.inputChannels;
  int written = stream->layout.inputChannels == 2
                    ? lame_encode_buffer_interleaved(stream->lame, pSamples, perChannel, pOutput,
                                                     static_cast<int>(stream->bufferSize))
                    : lame_encode_buffer(stream->lame, pSamples, pSamples, perChannel, pOutput,
                                         static_cast<int>(stream->bufferSize));
  if (written < 0) {
    *pdwOutput = 0;
    return written == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  *pdwOutput = static_cast<uint32_t>(written);
  return BE_ERR_SUCCESSFUL;
}

BE_API BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput) {
  Stream* stream = streams.FindOpen(hbeStream);
  if (!stream || stream->finished) return BE_ERR_INVALID_HANDLE;
  if (!pOutput || !pdwOutput) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  int written = lame_encode_flush(stream->lame, pOutput, static_cast<int>(stream->bufferSize));
  if (written < 0) {
    *pdwOutput = 0;
    return written == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  *pdwOutput = static_cast<uint32_t>(written);
  stream->finished = true;
  return BE_ERR_SUCCESSFUL;
}

BE_API BE_ERR beCloseStream(HBE_STREAM hbeStream) {
  Stream* stream = streams.FindOpen(hbeStream);
  if (!stream) return BE_ERR_INVALID_HANDLE;
#ifndef LAME_ENC_WITHOUT_INFO_TAG
  if (stream->finished && stream->layout.writeInfoFrame) {
    stream->closed = true;  // beWriteInfoTag frees it
    return BE_ERR_SUCCESSFUL;
  }
#endif
  streams.Free(stream);
  return BE_ERR_SUCCESSFUL;
}

BE_API void beVersion(PBE_VERSION pbeVersion) {
  if (!pbeVersion) return;
  std::memset(pbeVersion, 0, sizeof *pbeVersion);
  lame_version_t engine;
  get_lame_version_numerical(&engine);
  pbeVersion->byDLLMajorVersion = kLibraryMajor;
  pbeVersion->byDLLMinorVersion = kLibraryMinor;
  pbeVersion->byMajorVersion = static_cast<uint8_t>(engine.major);
  pbeVersion->byMinorVersion = static_cast<uint8_t>(engine.minor);
  pbeVersion->byDay = kReleaseDay;
  pbeVersion->byMonth = kReleaseMonth;
  pbeVersion->wYear = kReleaseYear;
  std::snprintf(pbeVersion->zHomepage, sizeof pbeVersion->zHomepage, "%s", get_lame_url());
  pbeVersion->byAlphaLevel = static_cast<uint8_t>(engine.alpha);
  pbeVersion->byBetaLevel = static_cast<uint8_t>(engine.beta);
}

// Without the stream: see info_frame.h for what the file alone can give.
BE_API BE_ERR beWriteVBRHeader(const char* lpszFileName) {
  if (!lpszFileName) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(lpszFileName, "r+b"), std::fclose);
  if (!file) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.insert(bytes.end(), block, block + got);
  if (std::ferror(file.get())) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::optional<lame_enc::InfoFrame> info = lame_enc::BuildInfoFrame(bytes);
  if (!info) return BE_ERR_INVALID_FORMAT;
  if (std::fseek(file.get(), static_cast<long>(info->offset), SEEK_SET) != 0 ||
      std::fwrite(info->bytes.data(), 1, info->bytes.size(), file.get()) != info->bytes.size() ||
      std::fflush(file.get()) != 0) {
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  return BE_ERR_SUCCESSFUL;
}

#ifndef LAME_ENC_WITHOUT_INFO_TAG
// Writes the information frame of a finished stream that reserved one (a
// stream that did not is only freed) and frees the stream, whatever the
// outcome with the file.
BE_API BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, const char* lpszFileName) {
  Stream* stream = streams.Find(hbeStream);
  if (!stream) return BE_ERR_INVALID_HANDLE;
  BE_ERR result = BE_ERR_SUCCESSFUL;
  if (stream->finished && stream->layout.writeInfoFrame) {
    result = lpszFileName ? WriteTagFrame(stream->lame, lpszFileName) : BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  streams.Free(stream);
  return result;
}
#endif

}  // extern "C"
