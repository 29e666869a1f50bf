// Heraldo --speak: one text as a message would be spoken, for an operator
// to check before it goes out.
#pragma once

#include <optional>
#include <string>

struct SpeakRequest {
  std::string utf8Text;
  std::optional<std::string> wavPath;  // --out: write the WAV and MP3 files
  bool print = false;                  // --print: the text as spoken, and its phonemes
};

// "--speak TEXT [--out FILE.wav] [--print]" in any order after TEXT;
// nothing when the arguments are not that, or ask for neither output.
std::optional<SpeakRequest> ParseSpeakRequest(int argc, char** argv);

// --print writes "text: ..." and "phonemes: ..."; --out the files, then
// the result code, both paths and the loudness. 0 when all asked for was
// done, 1 when the text holds nothing to speak or a step failed.
int SpeakOnce(const SpeakRequest& request);
