// What the operator dialogs share: the caption of their own message boxes,
// the digits-only rule of their number boxes and the integer range check
// their OK buttons make, with the message the operator sees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gateway/heraldo_title.h"
#include "platform/ui/message_box.h"

// True when `text` holds nothing but the digits 0-9 (an empty box counts).
bool IsDigitsOnly(std::string_view text);

// An integer field's text as the dialog framework reads it: white space
// around it, an optional sign, then digits. Nothing for anything else,
// including an empty box and a value beyond 64 bits.
std::optional<int64_t> ParseFieldInteger(std::string_view text);

// "请输入一个介于 <min> 和 <max> 之间的整数。", GBK.
std::string RangeMessage(int64_t min, int64_t max);

// The field's value when it is an integer in [min, max]; otherwise shows
// the range message (caption the application title) and answers nothing.
std::optional<int64_t> ReadFieldInRange(std::string_view text, int64_t min, int64_t max, ui::MessageBoxPort& messages);

// GBK text search that only matches at character boundaries, so that a
// letter never matches the second byte of a double-byte character.
bool GbkContains(std::string_view text, std::string_view piece);
