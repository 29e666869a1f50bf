// The voice catalogue: the list of installed voice tokens that the speech
// interface enumerates, kept in a text file installed beside the programs.
//
// Format (UTF-8, LF or CRLF lines):
//
//   # comment
//   description | engine voice[+variant] | rate | pitch
//
// Blank lines and lines whose first non-blank character is '#' are ignored.
// Fields are separated by '|' and trimmed of blanks. The description is the
// text that programs match voices by; the engine voice is an espeak-ng voice
// name, optionally with a variant ("cmn+f3"); rate is in words per minute
// (80 to 450, default 175) and pitch 0 to 99 (default 50). Rate and pitch may
// be left out. The order of the lines is the enumeration order, and the
// first token is the default voice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace speech {

inline constexpr int kDefaultRate = 175;
inline constexpr int kDefaultPitch = 50;

struct VoiceToken {
  std::string description;
  std::string engineVoice;
  int rate = kDefaultRate;
  int pitch = kDefaultPitch;
};

struct VoiceCatalogue {
  std::vector<VoiceToken> tokens;
  // 1-based numbers of the lines that were not tokens and were left out.
  std::vector<int> badLines;
};

VoiceCatalogue ParseVoiceCatalogue(std::string_view text);
// nullopt when the file cannot be read.
std::optional<VoiceCatalogue> ReadVoiceCatalogue(const std::string& path);

// $QUILLON_VOICE_CATALOGUE, else "voices.catalogue" in the directory of the
// running executable (empty when that cannot be found). The catalogue
// belongs to the machine like the voices themselves, so program settings
// such as $HERALDO_HOME do not move it.
std::string VoiceCataloguePath();

}  // namespace speech
