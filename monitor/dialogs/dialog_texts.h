// What the monitor's dialogs share: trimming and integer boxes as the
// dialog framework reads them, and the boxes they show. Texts are GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/message_box.h"

// `text` without white space at either end.
std::string TrimBlanks(std::string_view text);

// True when `text` holds nothing but the digits 0-9 (an empty box counts).
bool IsDigitsOnly(std::string_view text);

// An integer box's value: optional blanks and sign around decimal digits
// that fit 32 bits. Otherwise shows "请输入一个整数。" and answers nothing,
// as the framework does before the dialog's own checks run.
std::optional<int32_t> ReadIntegerField(std::string_view text, ui::MessageBoxPort& messages);

// An error box with the given texts (UTF-8), OK only.
void ShowDialogError(ui::MessageBoxPort& messages, std::string_view textUtf8, std::string_view captionUtf8);

// "确定要删除 “<name>” 吗？" under the caption "删除"; true on OK.
bool ConfirmDelete(ui::MessageBoxPort& messages, const std::string& nameGbk);
