// Which espeak-ng voice speaks what. Debian's "cmn" voice turns each Han
// character into pinyin and then reads that pinyin as English ("nee three
// how three"); "cmn-latn-pinyin" reads the same pinyin as Mandarin. So a
// catalogue token naming a Mandarin voice is spoken with the pinyin voice,
// and the Latin words inside a Mandarin text with the English one, each
// keeping the token's variant.
#pragma once

#include <string>
#include <string_view>

namespace speech {

// "cmn", "cmn+f3", "zh", "zh-cmn", "cmn-latn-pinyin+f2", in any letter case.
bool IsMandarinVoice(std::string_view engineVoice);
// "cmn+f3" -> "cmn-latn-pinyin+f3"; "cmn" -> "cmn-latn-pinyin".
std::string MandarinEngineVoice(std::string_view engineVoice);
// "cmn+f3" -> "en+f3": Latin words in a Mandarin text, in the same voice.
std::string LatinEngineVoice(std::string_view engineVoice);

}  // namespace speech
