// The terminal speaks UTF-8; texts inside the system are GBK.
#pragma once

#include <string>
#include <string_view>

// UTF-8 from the command line to GBK; UsageError when a character has no GBK form.
std::string TerminalToGbk(std::string_view utf8);
// GBK to one printable UTF-8 line: backslash, CR and LF are escaped.
std::string GbkToTerminalLine(std::string_view gbk);
// Digits only, at most 15 of them (empty allowed when `mayBeEmpty`).
std::string CheckedNumber(const std::string& text, const std::string& what, bool mayBeEmpty = false);
