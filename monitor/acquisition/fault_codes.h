// The terminals' fault codes as the operator sees them: a category text for
// the list and a letter for the exported legend, indexed by fault code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/acquisition/terminal_record.h"

inline constexpr size_t kNamedFaultCodes = 8;

// GBK texts of codes 0..7: 工作正常, 市电异常, 电源异常, 解码异常, 功放异常,
// 喇叭异常, 网络断开, SD卡异常.
extern const std::array<std::string, kNamedFaultCodes> FAULT_TEXTS;
inline constexpr std::array<std::string_view, kNamedFaultCodes> FAULT_LETTERS = {"O", "A", "B", "C",
                                                                                 "D", "E", "F", "G"};

// Whether the terminal counts as faulty: any code but 0, except that mains
// failure (1) and network loss (6) count only while the terminal is
// offline; an online terminal reporting them is still working.
bool ShowsFault(const TerminalRecord& record);

// FAULT_TEXTS[code] for codes 0..7. The server may report any seven-bit
// code; the ones without a category read "未知故障" (unknown fault, GBK)
// rather than nothing, so a faulty terminal never shows an empty fault
// column.
const std::string& FaultText(int32_t code);
