#include "gateway/broadcast/term_list_reader.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

#include "gateway/broadcast/bc_exception.h"
#include "platform/codepage/codepage.h"

namespace {

constexpr int kMinTermFields = 7;
constexpr size_t kLineCode = 4;  // "000 "

// The list's fields: runs of TABs separate them, leading TABs are skipped.
std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == '\t') ++pos;
    if (pos >= text.size()) break;
    size_t end = text.find('\t', pos);
    if (end == std::string::npos) end = text.size();
    fields.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  if (!fields.empty() && !fields.back().empty() && fields.back().back() == '\n') fields.back().pop_back();
  if (!fields.empty() && fields.back().empty()) fields.pop_back();
  return fields;
}

// One line, its LF included; false for the end line.
bool TakeLine(const std::string& line, std::vector<TermInfo>& list) {
  if (strcasecmp(line.c_str(), "000 \n") == 0) return false;
  auto fields = SplitFields(line.size() > kLineCode ? line.substr(kLineCode) : "");
  if (static_cast<int>(fields.size()) >= kMinTermFields) {
    TermInfo info;
    info.id = std::atoi(fields[0].c_str());
    info.name = fields[1];
    info.ip = fields[2];
    info.extra = std::atoi(fields[3].c_str());
    list.push_back(std::move(info));
  }
  return true;
}

bool ReadLines(char* text, size_t capacity, size_t filled, const TermListReceive& receive,
               std::vector<TermInfo>& list) {
  size_t pos = 0;
  for (;;) {
    char* newline = static_cast<char*>(std::memchr(text + pos, '\n', filled - pos));
    if (newline == nullptr) {
      // Keep the incomplete line, then read more after it. A line that fills
      // the whole buffer, a silent server or a closed connection ends the
      // list as it stands.
      size_t partial = filled - pos;
      std::memmove(text, text + pos, partial);
      pos = 0;
      filled = partial;
      if (filled >= capacity - 1) return false;
      ssize_t got = receive(text + filled, capacity - 1 - filled);
      if (got <= 0) return false;
      filled += static_cast<size_t>(got);
      text[filled] = '\0';
      continue;
    }
    std::string line(text + pos, newline + 1);
    pos = static_cast<size_t>(newline - text) + 1;
    if (!TakeLine(line, list)) return true;
  }
}

}  // namespace

bool ReadTermList(char* buffer, size_t capacity, size_t filled, const TermListReceive& receive,
                  std::vector<TermInfo>& list) {
  try {
    return ReadLines(buffer, capacity, filled, receive, list);
  } catch (const std::bad_alloc&) {
    // The system reports a line it cannot copy with its own exception, which
    // the callers already handle; std::bad_alloc would end the program.
    throw Exception(codepage::Utf8ToGbk("内存分配失败"), BC_SOURCE("BCAgent::getTermList"));
  }
}
