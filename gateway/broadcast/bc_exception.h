// Failures inside the broadcast client travel as these exceptions, tagged
// with where they were raised, and become return values at its boundary.
#pragma once

#include <cstdint>
#include <string>

struct SourceInfo {
  std::string function = "unknown";
  std::string file = "unknown";  // the name only, without directories
  int32_t line = 0;

  SourceInfo() = default;
  SourceInfo(const char* function, const char* file, int32_t line);
};

// The raise site: the function's name is given, file and line are the caller's.
#define BC_SOURCE(function) SourceInfo((function), __FILE__, __LINE__)

class Exception {
 public:
  Exception(std::string message, SourceInfo source);
  virtual ~Exception() = default;
  virtual std::string message() const { return message_; }
  // "<message>, source=[<file>:<line>]"
  virtual std::string fullMessage() const;
  const SourceInfo& source() const { return source_; }

 protected:
  std::string message_;
  SourceInfo source_;
};

// With the C library's error number as it was when the exception was built:
// the message is followed by "[<errno>:<text>]".
class OsException : public Exception {
 public:
  OsException(const std::string& message, SourceInfo source);
  int errorNumber() const { return errno_; }

 private:
  int errno_;
};

// printf-style formatting cut to 1,023 characters, as every exception text is.
std::string FormatExceptionText(const char* format, ...);
