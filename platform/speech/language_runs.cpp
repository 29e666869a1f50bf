#include "platform/speech/language_runs.h"

#include "platform/unicode/unicode_text.h"

namespace speech {
namespace {

bool Joins(char32_t c) { return c == U' ' || c == U'\'' || c == U'-' || c == U'.' || c == U'@'; }

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

// Which characters belong to a Latin run: letters, and the joining marks
// between two of them ("Wi-Fi", "qq.com", "Good morning").
std::vector<bool> LatinMask(const std::u32string& text) {
  std::vector<bool> latin(text.size());
  for (size_t i = 0; i < text.size(); ++i) latin[i] = unicode::IsLetter(text[i]);
  for (size_t i = 1; i < text.size(); ++i) {
    if (latin[i] || !latin[i - 1] || !Joins(text[i])) continue;
    size_t after = i;
    while (after < text.size() && !latin[after] && Joins(text[after])) ++after;
    if (after < text.size() && latin[after]) {
      for (size_t k = i; k < after; ++k) latin[k] = true;
    }
    i = after;
  }
  return latin;
}

}  // namespace

std::vector<LanguageRun> SplitLanguageRuns(std::string_view utf8Text) {
  std::u32string text = unicode::DecodeUtf8(utf8Text).text;
  std::vector<bool> latin = LatinMask(text);
  std::vector<LanguageRun> runs;
  auto flush = [&](size_t from, size_t to, bool isLatin) {
    while (from < to && IsBlank(text[from])) ++from;
    while (to > from && IsBlank(text[to - 1])) --to;
    if (from == to) return;
    std::string run = unicode::EncodeUtf8(std::u32string_view(text).substr(from, to - from));
    if (!runs.empty() && runs.back().latin == isLatin) {
      runs.back().text += " " + run;
    } else {
      runs.push_back({std::move(run), isLatin});
    }
  };
  size_t start = 0;
  for (size_t i = 1; i <= text.size(); ++i) {
    if (i == text.size() || latin[i] != latin[start]) {
      flush(start, i, latin[start]);
      start = i;
    }
  }
  return runs;
}

}  // namespace speech
