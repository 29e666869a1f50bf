// A message text made ready for the Mandarin voice: numbers written out as
// a listener expects to hear them, full-width forms read like ASCII,
// symbols said or left out, and pauses where the text has them. A pure
// function, so that what will be said can be checked before it is said.
#pragma once

#include <string>
#include <string_view>

struct SpeakableText {
  std::string text;  // UTF-8
  // Characters that no voice can say (emoji, control characters, private
  // use), left out.
  int dropped = 0;

  // False when nothing but pauses and blanks is left: such a message must
  // not be broadcast as silence.
  bool HasSpeech() const;
};

// `utf8Text` may hold invalid bytes; each is dropped and counted.
//
// - Telephone numbers are read digit by digit, 1 as 幺: a run of 5 or more
//   digits ("13800138000", "10086"), digits after "+" or starting with 0,
//   groups joined by "-" or blanks that make 7 digits or more
//   ("400-800-1234"), and 3 or more digits after 电话, 拨打, 热线 ...
//   ("拨打110"). A round number of up to six digits (10000) or one
//   followed by a measure word ("25000人") is a count instead.
// - 14:30 -> 十四点三十分, 08:05 -> 八点零五分, 9:00 -> 九点整;
//   2026年12月8日 and 2026-12-08 -> 二零二六年十二月八日.
// - 45% -> 百分之四十五; -5度 -> 零下五度, -5 -> 负五; 3.5 -> 三点五;
//   3-5级 and 3~5级 -> 三到五级; 1,000 -> 一千; ￥50 -> 五十元.
// - Other numbers are counts: 3号楼 -> 三号楼, 120人 -> 一百二十人,
//   2人 -> 两人; digits right after a Latin letter are a code (B301 ->
//   B三零一).
// - Line breaks and ,.!?;: become the Chinese pause marks; repeated marks
//   are said once.
SpeakableText MakeSpeakable(std::string_view utf8Text);
