// Options of one quillonctl command: "--name value" pairs and bare flags.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Bad input from the operator: reported on one line, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Input that was well-formed but rejected (a packet that fails its checks):
// exit status 1.
class RejectedInput : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CommandLine {
 public:
  // `flags` are the options that take no value; anything else not starting
  // with "--" is a positional argument.
  CommandLine(const std::vector<std::string>& args, const std::set<std::string>& flags);

  bool Has(const std::string& name) const { return values_.count(name) > 0; }
  std::string Text(const std::string& name) const;
  std::string Text(const std::string& name, const std::string& fallback) const;
  // A decimal integer within [low, high].
  long Number(const std::string& name, long low, long high) const;
  long Number(const std::string& name, long low, long high, long fallback) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  void AllowOnly(const std::set<std::string>& names) const;

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
};

long ParseNumber(const std::string& text, const std::string& what, long low, long high);
// Upper- or lower-case hex without separators; blanks are ignored.
std::string NormalizeHex(const std::string& text);
