#include "tools/quillonctl/terminal_text.h"

#include "platform/codepage/codepage.h"
#include "tools/quillonctl/command_line.h"

std::string TerminalToGbk(std::string_view utf8) {
  auto gbk = codepage::Utf8ToGbkStrict(utf8);
  if (!gbk) throw UsageError("text is not UTF-8 or holds a character GBK cannot carry");
  return *gbk;
}

std::string GbkToTerminalLine(std::string_view gbk) {
  std::string line;
  for (char c : codepage::GbkToUtf8(gbk)) {
    if (c == '\\') line += "\\\\";
    else if (c == '\r') line += "\\r";
    else if (c == '\n') line += "\\n";
    else line += c;
  }
  return line;
}

std::string CheckedNumber(const std::string& text, const std::string& what, bool mayBeEmpty) {
  bool digits = text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || text.size() > 15 || (text.empty() && !mayBeEmpty)) throw UsageError(what + " must be 1 to 15 digits");
  return text;
}
