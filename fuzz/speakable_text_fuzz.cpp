// The text a message is spoken from. Whatever arrives, what is left is
// valid UTF-8 with every digit written out and no ASCII sign the Mandarin
// voice would read in English, and making it speakable again changes
// nothing.
#include <string>

#include "fuzz/fuzz_check.h"
#include "gateway/audio/speakable_text.h"
#include "platform/speech/language_runs.h"
#include "platform/unicode/unicode_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SpeakableText spoken = MakeSpeakable(std::string_view(reinterpret_cast<const char*>(data), size));
  unicode::Decoded decoded = unicode::DecodeUtf8(spoken.text);
  FUZZ_CHECK(decoded.invalid == 0);
  FUZZ_CHECK(spoken.dropped >= 0);
  for (const speech::LanguageRun& run : speech::SplitLanguageRuns(spoken.text)) {
    if (run.latin) continue;
    for (char32_t c : unicode::DecodeUtf8(run.text).text) FUZZ_CHECK(c >= 0x80 || c == U' ');
  }
  SpeakableText again = MakeSpeakable(spoken.text);
  FUZZ_CHECK(again.text == spoken.text && again.dropped == 0);
  return 0;
}
