#include "gateway/broadcast/bc_exception.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kMaxText = 1023;

std::string BaseName(const char* path) {
  if (path == nullptr) return "unknown";
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

std::string Cut(std::string text) {
  if (text.size() > kMaxText) text.resize(kMaxText);
  return text;
}

}  // namespace

SourceInfo::SourceInfo(const char* functionName, const char* fileName, int32_t lineNumber)
    : function(functionName ? functionName : "unknown"), file(BaseName(fileName)), line(lineNumber) {}

Exception::Exception(std::string message, SourceInfo source)
    : message_(Cut(std::move(message))), source_(std::move(source)) {}

std::string Exception::fullMessage() const {
  return FormatExceptionText("%s, source=[%s:%d]", message_.c_str(), source_.file.c_str(), source_.line);
}

OsException::OsException(const std::string& message, SourceInfo source)
    : Exception(message, std::move(source)), errno_(errno) {
  message_ = Cut(message + FormatExceptionText("[%d:%s]", errno_, std::strerror(errno_)));
}

std::string FormatExceptionText(const char* format, ...) {
  char text[kMaxText + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}
