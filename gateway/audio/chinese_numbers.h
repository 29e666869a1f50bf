// Numbers as a Mandarin speaker reads them.
#pragma once

#include <string>
#include <string_view>

// A count: "120" -> "一百二十", "10000" -> "一万", "15" -> "十五",
// "2000" -> "两千". `counted` says a measure word follows, so that a lone
// 2 is "两" (两人) rather than "二" (二号). Leading zeros are ignored; an
// all-zero string is "零"; past 16 digits the digits are read one by one.
// `digits` holds ASCII digits only.
std::string ChineseQuantity(std::string_view digits, bool counted = false);

// One character per digit: "2026" -> "二零二六". A telephone number says 1
// as "幺", so that it cannot be heard as 7: "110" -> "幺幺零".
std::string ChineseDigits(std::string_view digits, bool telephone = false);
