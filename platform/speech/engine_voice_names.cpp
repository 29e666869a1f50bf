#include "platform/speech/engine_voice_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace speech {
namespace {

constexpr const char* kMandarin = "cmn-latn-pinyin";
constexpr const char* kLatin = "en";

std::string_view BaseName(std::string_view engineVoice) { return engineVoice.substr(0, engineVoice.find('+')); }

std::string_view Variant(std::string_view engineVoice) {
  size_t plus = engineVoice.find('+');
  return plus == std::string_view::npos ? std::string_view() : engineVoice.substr(plus);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

}  // namespace

bool IsMandarinVoice(std::string_view engineVoice) {
  static constexpr std::array<std::string_view, 5> kNames{"cmn", "zh", "zh-cmn", "cmn-latn-pinyin", "sit/cmn"};
  std::string base = Lower(BaseName(engineVoice));
  return std::find(kNames.begin(), kNames.end(), base) != kNames.end();
}

std::string MandarinEngineVoice(std::string_view engineVoice) { return kMandarin + std::string(Variant(engineVoice)); }

std::string LatinEngineVoice(std::string_view engineVoice) { return kLatin + std::string(Variant(engineVoice)); }

}  // namespace speech
