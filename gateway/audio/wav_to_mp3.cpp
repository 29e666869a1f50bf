#include "gateway/audio/wav_to_mp3.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include "gateway/program_directory.h"

namespace {

// The canonical RIFF header in front of the samples of the WAV files the
// gateway speaks into.
constexpr long kWavHeaderBytes = 44;

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

template <typename Entry>
void LookUp(const Library& library, const char* name, Entry* entry) {
  *entry = reinterpret_cast<Entry>(dlsym(library.get(), name));
}

void LookUpAll(const Library& library, LameEntryTable& entries) {
  LookUp(library, "beInitStream", &entries.beInitStream);
  LookUp(library, "beEncodeChunk", &entries.beEncodeChunk);
  LookUp(library, "beDeinitStream", &entries.beDeinitStream);
  LookUp(library, "beCloseStream", &entries.beCloseStream);
  LookUp(library, "beVersion", &entries.beVersion);
  LookUp(library, "beWriteVBRHeader", &entries.beWriteVBRHeader);
  LookUp(library, "beWriteInfoTag", &entries.beWriteInfoTag);
}

// Feeds the samples after the header to the encoder chunk by chunk and
// writes what it gives back, then closes the encoder stream, on failure as
// on success. The buffers live only as long as this call. True when the
// encoding was finished.
bool EncodeSamples(const LameEntryTable& entries, HBE_STREAM stream, uint32_t chunkSamples, uint32_t outputSize,
                   std::FILE* wav, std::FILE* mp3) {
  std::vector<uint8_t> output(outputSize);
  std::vector<int16_t> input(chunkSamples);
  auto fail = [&] {
    entries.beCloseStream(stream);
    return false;
  };
  std::fseek(wav, kWavHeaderBytes, SEEK_SET);
  size_t samples = std::fread(input.data(), sizeof(int16_t), input.size(), wav);
  while (samples > 0) {
    uint32_t produced = 0;
    if (entries.beEncodeChunk(stream, static_cast<uint32_t>(samples), input.data(), output.data(), &produced) !=
            BE_ERR_SUCCESSFUL ||
        std::fwrite(output.data(), 1, produced, mp3) != produced) {
      return fail();
    }
    samples = std::fread(input.data(), sizeof(int16_t), input.size(), wav);
  }
  uint32_t produced = 0;
  if (entries.beDeinitStream(stream, output.data(), &produced) != BE_ERR_SUCCESSFUL ||
      std::fwrite(output.data(), 1, produced, mp3) != produced) {
    return fail();
  }
  entries.beCloseStream(stream);
  return true;
}

}  // namespace

BE_CONFIG GatewayEncoderConfig() {
  BE_CONFIG config;
  std::memset(&config, 0, sizeof config);
  config.dwConfig = BE_CONFIG_LAME;
  auto& lame = config.format.LHV1;
  lame.dwStructVersion = 1;
  lame.dwStructSize = sizeof(BE_CONFIG);
  lame.dwSampleRate = 44100;
  lame.dwReSampleRate = 0;
  lame.nMode = BE_MP3_MODE_JSTEREO;
  lame.dwBitrate = 128;
  lame.nPreset = LQP_CBR;
  lame.dwMpegVersion = MPEG1;
  lame.bOriginal = 1;
  lame.bWriteVBRHeader = 1;
  lame.bNoRes = 1;
  return config;
}

std::string Mp3PathFor(const std::string& wavPath) {
  size_t dot = wavPath.rfind('.');
  size_t slash = wavPath.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return wavPath + ".mp3";
  return wavPath.substr(0, dot + 1) + "mp3";
}

void Wav2Mp3(const std::string& wavPath, LameEntryTable& entries) {
  if (wavPath.empty()) return;
  const std::string mp3Path = Mp3PathFor(wavPath);
  ::unlink(mp3Path.c_str());

  const std::string libraryPath = ProgramFile(kEncoderLibraryName);
  if (libraryPath.empty()) return;
  // Declared before the files so that it is released after them.
  Library library(dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!library) return;
  LookUpAll(library, entries);
  // beWriteInfoTag came later than the rest; older libraries lack it.
  if (!entries.beInitStream || !entries.beEncodeChunk || !entries.beDeinitStream || !entries.beCloseStream ||
      !entries.beVersion || !entries.beWriteVBRHeader) {
    return;
  }

  // The WAV file first: without one no MP3 file is created.
  File wav(std::fopen(wavPath.c_str(), "rb"));
  if (!wav) return;
  File mp3(std::fopen(mp3Path.c_str(), "wb"));
  if (!mp3) return;

  BE_CONFIG config = GatewayEncoderConfig();
  uint32_t chunkSamples = 0;
  uint32_t outputSize = 0;
  HBE_STREAM stream = 0;
  if (entries.beInitStream(&config, &chunkSamples, &outputSize, &stream) != BE_ERR_SUCCESSFUL) return;
  if (!EncodeSamples(entries, stream, chunkSamples, outputSize, wav.get(), mp3.get())) return;
  wav.reset();
  // A file that did not reach the disk whole gets no information frame.
  if (std::fclose(mp3.release()) != 0) return;

  // By file name, so only now that the file is complete and closed.
  if (entries.beWriteInfoTag) {
    entries.beWriteInfoTag(stream, mp3Path.c_str());
  } else {
    entries.beWriteVBRHeader(mp3Path.c_str());
  }
}
