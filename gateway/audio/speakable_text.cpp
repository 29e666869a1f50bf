#include "gateway/audio/speakable_text.h"

#include <array>
#include <optional>
#include <vector>

#include "gateway/audio/chinese_numbers.h"
#include "gateway/audio/speakable_characters.h"
#include "platform/unicode/unicode_text.h"

namespace {

using unicode::IsDigit;

constexpr std::u32string_view kCountedWords = U"个人位名辆台次天件张本条只种份组家项周元块斤吨岁倍";
constexpr std::array<std::u32string_view, 8> kCountedPairs{U"小时", U"分钟", U"公里", U"公斤",
                                                           U"千克", U"星期", U"礼拜", U"个月"};
// After five digits or more, these make a count rather than a telephone number.
constexpr std::u32string_view kUnitWords = U"米克里亩度℃万亿千百多余户所间平年月日号楼层栋座室秒分小公升毫%";
constexpr std::array<std::u32string_view, 13> kPhoneContext{U"电话", U"拨打", U"致电", U"热线", U"手机",
                                                            U"号码", U"联系", U"报警", U"急救", U"火警",
                                                            U"短号", U"分机", U"呼叫"};

int PauseStrength(char32_t c) {
  switch (c) {
    case U'，':
    case U'：':
    case U'、': return 1;
    case U'；': return 2;
    case U'。':
    case U'！':
    case U'？': return 3;
    default: return 0;
  }
}

// ASCII and full-width pause marks, as the Chinese mark they stand for.
char32_t PauseMark(char32_t c) {
  switch (c) {
    case U',':
    case U'，': return U'，';
    case U':': return U'：';
    case U';': return U'；';
    case U'!': return U'！';
    case U'?': return U'？';
    case U'。':
    case U'、': return c;
    case U'…':
    case U'⋯':
    case U'—': return U'，';
    default: return 0;
  }
}

std::string Ascii(std::u32string_view digits) { return std::string(digits.begin(), digits.end()); }

class Reader {
 public:
  explicit Reader(std::u32string input, int invalid) : in_(std::move(input)), dropped_(invalid) {}

  SpeakableText Run() {
    while (pos_ < in_.size()) Step();
    while (!out_.empty() && out_.back() == U' ') out_.pop_back();
    return {unicode::EncodeUtf8(out_), dropped_};
  }

 private:
  char32_t At(size_t i) const { return i < in_.size() ? in_[i] : 0; }
  bool DigitAt(size_t i) const { return IsDigit(At(i)); }
  // What was said last, not what was read: "°C" is said as 摄氏度.
  bool AfterLetter() const { return !out_.empty() && unicode::IsLetter(out_.back()); }
  size_t DigitsEnd(size_t i) const {
    while (DigitAt(i)) ++i;
    return i;
  }
  void Emit(std::u32string_view text) { out_ += text; }
  void Emit(const std::string& utf8) { out_ += unicode::DecodeUtf8(utf8).text; }

  void Step();
  void StepSymbol(char32_t c);
  void Pause(char32_t mark);
  void Space();
  void ReadNumber();
  bool ReadSigned();
  bool ReadDate();
  bool ReadTime();
  bool ReadTelephone(size_t end);
  std::optional<std::string> ReadValue(size_t& i, bool counted);
  bool TemperatureAhead(size_t i) const;
  bool CountedAt(size_t i) const;
  bool UnitAt(size_t i) const;
  bool TelephoneContextBefore() const;

  std::u32string in_;
  size_t pos_ = 0;
  std::u32string out_;
  int dropped_;
};

void Reader::Step() {
  char32_t c = in_[pos_];
  // A hyphen after a word joins, it does not negate: "A-3".
  auto IsSign = [&](char32_t sign) {
    if (sign == U'-') return !((pos_ > 0 && IsDigit(in_[pos_ - 1])) || AfterLetter());
    return sign == U'+' || sign == U'¥' || sign == U'$';
  };
  bool betweenDigits = pos_ > 0 && IsDigit(in_[pos_ - 1]) && DigitAt(pos_ + 1);
  if ((c == U'-' || c == U'~') && betweenDigits) {
    Emit(U"到");
    ++pos_;
  } else if (IsDigit(c) || (IsSign(c) && DigitAt(pos_ + 1))) {
    ReadNumber();
  } else {
    StepSymbol(c);
    ++pos_;
  }
}

void Reader::StepSymbol(char32_t c) {
  bool letterBefore = AfterLetter();
  bool letterAfter = unicode::IsLetter(At(pos_ + 1));
  if (unicode::IsHan(c) || unicode::IsLetter(c)) {
    out_ += c;
  } else if (c == U'\n' || c == U'\r') {
    Pause(U'。');
  } else if (c == U' ' || c == U'\t') {
    Space();
  } else if ((c == U'.' || c == U'-' || c == U'\'' || c == U'@') && letterBefore && letterAfter) {
    out_ += c;  // inside a word: "qq.com", "Wi-Fi", "it's"
  } else if (c == U'.') {
    Pause(U'。');
  } else if (char32_t mark = PauseMark(c)) {
    Pause(mark);
  } else if (c == U'/' && unicode::IsHan(At(pos_ + 1)) && pos_ > 0 && unicode::IsHan(in_[pos_ - 1])) {
    Emit(U"每");  // 50元/天
  } else if (c == U'℃' || (c == U'°' && (At(pos_ + 1) == U'C' || At(pos_ + 1) == U'c'))) {
    Emit(U"摄氏度");
    if (c == U'°') ++pos_;
  } else if ((c == U'#' || c == U'*') && At(pos_ + 1) == U'号') {
    Emit(c == U'#' ? U"井" : U"星");  // "#号键" is the key, not "井号号键"
  } else if (c == U'@') {
    Space();
    Emit(U"at");  // an address outside a word: the English voice says it
    Space();
  } else if (auto word = speakable::SymbolWord(c)) {
    Emit(*word);
  } else if (speakable::IsUnspeakable(c)) {
    ++dropped_;
  }
  // Anything else is punctuation no one reads aloud (brackets, quotes).
}

void Reader::Pause(char32_t mark) {
  while (!out_.empty() && out_.back() == U' ') out_.pop_back();
  if (out_.empty()) return;  // nothing to pause after
  int previous = PauseStrength(out_.back());
  if (previous == 0) {
    out_ += mark;
  } else if (PauseStrength(mark) > previous) {
    out_.back() = mark;
  }
}

void Reader::Space() {
  if (!out_.empty() && out_.back() != U' ' && PauseStrength(out_.back()) == 0) out_ += U' ';
}

void Reader::ReadNumber() {
  if (ReadSigned() || ReadDate() || ReadTime()) return;
  size_t start = pos_, end = DigitsEnd(pos_);
  std::u32string_view digits = std::u32string_view(in_).substr(start, end - start);
  if (AfterLetter()) {  // a code: B301, G7, PM2.5
    std::string code = ChineseDigits(Ascii(digits));
    if (At(end) == U'.' && DigitAt(end + 1)) {
      size_t fractionEnd = DigitsEnd(end + 1);
      code += "点" + ChineseDigits(Ascii(in_.substr(end + 1, fractionEnd - end - 1)));
      end = fractionEnd;
    }
    Emit(code);
    pos_ = end;
    return;
  }
  if (digits.size() == 4 && At(end) == U'年') {
    Emit(ChineseDigits(Ascii(digits)));
    pos_ = end;
    return;
  }
  bool plainInteger = At(end) != U'.' && !(At(end) == U',' && DigitAt(end + 1));
  if (plainInteger && At(end) != U'%' && ReadTelephone(end)) return;
  size_t i = start;
  std::string value = *ReadValue(i, false);
  if (At(i) == U'%') {
    Emit("百分之" + value);
    pos_ = i + 1;
    return;
  }
  // 两人, but 第二名.
  bool ordinal = !out_.empty() && out_.back() == U'第';
  if (plainInteger && !ordinal && CountedAt(i)) value = ChineseQuantity(Ascii(digits), true);
  Emit(value);
  pos_ = i;
}

// "+86 138...", "-5度", "-5", "¥50", "$3".
bool Reader::ReadSigned() {
  char32_t sign = in_[pos_];
  if (IsDigit(sign)) return false;
  size_t i = pos_ + 1;
  if (sign == U'+') {
    pos_ = i;
    Emit(U"加");
    size_t end = DigitsEnd(i);
    if (!ReadTelephone(end)) {
      Emit(ChineseDigits(Ascii(in_.substr(i, end - i)), true));
      pos_ = end;
    }
    return true;
  }
  std::string value = *ReadValue(i, false);
  if (sign == U'-') {
    Emit((TemperatureAhead(i) ? "零下" : "负") + value);
  } else {
    Emit(value + (sign == U'$' ? "美元" : "元"));
    if (At(i) == U'元') ++i;
  }
  pos_ = i;
  return true;
}

// 2026-12-08, 2026/12/8, 2026.12.08.
bool Reader::ReadDate() {
  size_t yearEnd = DigitsEnd(pos_);
  if (yearEnd - pos_ != 4) return false;
  char32_t separator = At(yearEnd);
  if (separator != U'-' && separator != U'/' && separator != U'.') return false;
  size_t monthEnd = DigitsEnd(yearEnd + 1);
  if (monthEnd - yearEnd - 1 < 1 || monthEnd - yearEnd - 1 > 2 || At(monthEnd) != separator) return false;
  size_t dayEnd = DigitsEnd(monthEnd + 1);
  if (dayEnd - monthEnd - 1 < 1 || dayEnd - monthEnd - 1 > 2) return false;
  int month = std::stoi(Ascii(in_.substr(yearEnd + 1, monthEnd - yearEnd - 1)));
  int day = std::stoi(Ascii(in_.substr(monthEnd + 1, dayEnd - monthEnd - 1)));
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  Emit(ChineseDigits(Ascii(in_.substr(pos_, 4))) + "年" + ChineseQuantity(std::to_string(month)) + "月" +
       ChineseQuantity(std::to_string(day)) + "日");
  pos_ = dayEnd;
  return true;
}

// 14:30, 8:05, 14:30:15.
bool Reader::ReadTime() {
  size_t hourEnd = DigitsEnd(pos_);
  if (hourEnd - pos_ > 2 || At(hourEnd) != U':' || DigitsEnd(hourEnd + 1) != hourEnd + 3) return false;
  int hour = std::stoi(Ascii(in_.substr(pos_, hourEnd - pos_)));
  int minute = std::stoi(Ascii(in_.substr(hourEnd + 1, 2)));
  size_t end = hourEnd + 3;
  std::optional<int> second;
  if (At(end) == U':' && DigitsEnd(end + 1) == end + 3) {
    second = std::stoi(Ascii(in_.substr(end + 1, 2)));
    end += 3;
  }
  if (hour > 24 || minute > 59 || (second && *second > 59)) return false;
  std::string text = (hour == 2 ? std::string("两") : ChineseQuantity(std::to_string(hour))) + "点";
  if (minute == 0 && !second) {
    text += "整";
  } else {
    text +=
        (minute < 10 ? "零" + ChineseDigits(std::to_string(minute)) : ChineseQuantity(std::to_string(minute))) + "分";
  }
  if (second) text += ChineseQuantity(std::to_string(*second)) + "秒";
  Emit(text);
  pos_ = end;
  return true;
}

// The digit group at pos_ (ending at `end`), with the groups joined to it by
// single "-" or blanks, when they make a telephone number.
bool Reader::ReadTelephone(size_t end) {
  std::vector<std::string> groups{Ascii(in_.substr(pos_, end - pos_))};
  size_t chainEnd = end;
  size_t total = groups[0].size();
  while ((At(chainEnd) == U'-' || At(chainEnd) == U' ') && DigitAt(chainEnd + 1)) {
    size_t next = DigitsEnd(chainEnd + 1);
    groups.push_back(Ascii(in_.substr(chainEnd + 1, next - chainEnd - 1)));
    total += groups.back().size();
    chainEnd = next;
  }
  const std::string& first = groups[0];
  bool chained = (total >= 3 && (TelephoneContextBefore() || first[0] == '0')) || (groups.size() > 1 && total >= 7);
  if (!chained) {
    bool round = (first.size() <= 6 && first.ends_with("000")) || (first.size() <= 9 && first.ends_with("0000"));
    bool single = first.size() >= 5 && !round && !UnitAt(end);
    if (!single && !(first[0] == '0' && first.size() >= 2)) return false;
    Emit(ChineseDigits(first, first.size() >= 3));
    pos_ = end;
    return true;
  }
  for (size_t g = 0; g < groups.size(); ++g) Emit((g ? " " : "") + ChineseDigits(groups[g], true));
  pos_ = chainEnd;
  return true;
}

// An integer, with thousands separators ("1,000") or a fraction ("3.5"),
// as words; `i` moves past it.
std::optional<std::string> Reader::ReadValue(size_t& i, bool counted) {
  size_t end = DigitsEnd(i);
  if (end == i) return std::nullopt;
  std::string digits = Ascii(in_.substr(i, end - i));
  while (digits.size() <= 3 && At(end) == U',' && DigitsEnd(end + 1) == end + 4 && !DigitAt(end + 4)) {
    digits += Ascii(in_.substr(end + 1, 3));
    end += 4;
  }
  std::string words = ChineseQuantity(digits, counted);
  if (At(end) == U'.' && DigitAt(end + 1)) {
    size_t fractionEnd = DigitsEnd(end + 1);
    words += "点" + ChineseDigits(Ascii(in_.substr(end + 1, fractionEnd - end - 1)));
    end = fractionEnd;
  }
  i = end;
  return words;
}

bool Reader::TemperatureAhead(size_t i) const {
  while (i < in_.size() &&
         (IsDigit(in_[i]) || std::u32string_view(U".~-到至 ").find(in_[i]) != std::u32string_view::npos))
    ++i;
  return At(i) == U'度' || At(i) == U'℃' || At(i) == U'°';
}

bool Reader::CountedAt(size_t i) const {
  while (At(i) == U' ') ++i;
  if (At(i) != 0 && kCountedWords.find(At(i)) != std::u32string_view::npos) return true;
  std::u32string_view rest = std::u32string_view(in_).substr(std::min(i, in_.size()));
  for (auto pair : kCountedPairs)
    if (rest.starts_with(pair)) return true;
  return false;
}

bool Reader::UnitAt(size_t i) const {
  while (At(i) == U' ') ++i;
  return CountedAt(i) || (At(i) != 0 && kUnitWords.find(At(i)) != std::u32string_view::npos);
}

bool Reader::TelephoneContextBefore() const {
  std::u32string_view before(out_);
  while (!before.empty() && (before.back() == U' ' || before.back() == U'：' || before.back() == U'，'))
    before.remove_suffix(1);
  for (auto word : kPhoneContext)
    if (before.ends_with(word)) return true;
  return false;
}

}  // namespace

bool SpeakableText::HasSpeech() const {
  for (char32_t c : unicode::DecodeUtf8(text).text)
    if (unicode::IsHan(c) || unicode::IsLetter(c)) return true;
  return false;
}

SpeakableText MakeSpeakable(std::string_view utf8Text) {
  unicode::Decoded decoded = unicode::DecodeUtf8(utf8Text);
  return Reader(speakable::FoldForms(decoded.text), decoded.invalid).Run();
}
