// Text helpers for the programs' status pages: what a person may see of a
// telephone number or a message, made safe inside HTML.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

// "*********0001": a number with all but its last four digits hidden.
std::string MaskedNumber(const std::string& number);
// The first `count` characters of UTF-8 `text`, "…" after them when cut.
std::string FirstCharacters(const std::string& text, size_t count);
// Text made safe inside HTML.
std::string HtmlEscaped(const std::string& text);
// `when` in local time as a page shows it: "09:37:44" on the day of `now`,
// "12-08 17:02" before.
std::string ClockText(std::time_t when, std::time_t now);
