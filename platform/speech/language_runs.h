// A Mandarin text cut into the stretches each voice speaks: Latin-script
// words ("B栋", "WiFi", "ABC") go to the English voice, everything else to
// the Mandarin one. Blanks at a boundary belong to neither side.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace speech {

struct LanguageRun {
  std::string text;  // UTF-8
  bool latin = false;
  friend bool operator==(const LanguageRun&, const LanguageRun&) = default;
};

// Runs in text order, none of them empty or blank. A Latin run holds
// letters of the Latin, Greek or Cyrillic scripts, with the blanks,
// apostrophes, hyphens, dots and "@" between two of them; bytes that are
// not valid UTF-8 are left out.
std::vector<LanguageRun> SplitLanguageRuns(std::string_view utf8Text);

}  // namespace speech
