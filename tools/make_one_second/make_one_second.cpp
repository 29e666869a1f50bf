// Build step: makes the lead-in "OneSecond.mp3", one second of silence,
// with the gateway's own encoding path (Wav2Mp3 and the encoder library in
// the program directory), so that it matches the messages it precedes.
//
//   make_one_second <dir>/OneSecond.mp3
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "gateway/audio/wav_to_mp3.h"
#include "platform/speech/wav_file_stream.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_one_second <file>.mp3\n");
    return 2;
  }
  const std::string mp3Path = argv[1];
  const std::string wavPath = mp3Path.substr(0, mp3Path.rfind('.')) + ".wav";
  if (Mp3PathFor(wavPath) != mp3Path) {
    std::fprintf(stderr, "make_one_second: %s does not end in .mp3\n", mp3Path.c_str());
    return 2;
  }

  const speech::WaveFormat format{2, 44100, 16};
  std::unique_ptr<speech::AudioStream> wav = speech::MakeWavFileStream();
  std::vector<int16_t> silence(static_cast<size_t>(format.samplesPerSecond) * format.channels, 0);
  if (!wav->BindToFile(wavPath, format) || !wav->Write(silence) || !wav->Close()) {
    std::fprintf(stderr, "make_one_second: cannot write %s\n", wavPath.c_str());
    return 1;
  }
  LameEntryTable entries{};
  Wav2Mp3(wavPath, entries);
  ::unlink(wavPath.c_str());
  if (::access(mp3Path.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "make_one_second: no %s (is %s in the program directory?)\n", mp3Path.c_str(),
                 kEncoderLibraryName);
    return 1;
  }
  return 0;
}
