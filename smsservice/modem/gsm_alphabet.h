// The GSM 7-bit default alphabet of 3GPP TS 23.038 and its extension table
// (reached through the escape septet 0x1B): the characters a 7-bit SMS, and
// an alphanumeric sender, are written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint8_t GSM_ESCAPE = 0x1B;

// The text of `count` septets (each 0-127). An escape followed by a code
// the extension table lacks stands for that code's default character, as
// the standard asks of a receiver; an escape at the end, or a doubled one,
// is a space.
std::u16string GsmSeptetsToUtf16(const uint8_t* septets, size_t count);

// The septets that write `text` (extension characters take two), or false
// when a character has no GSM form.
bool Utf16ToGsmSeptets(std::u16string_view text, std::string& septets);
