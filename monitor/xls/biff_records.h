// The BIFF8 record identifiers and fixed values the workbook writer uses.
//
// Every record is framed the same way, little-endian:
//   opcode  uint16
//   length  uint16   (of the body, at most kMaxRecordBody)
//   body    length bytes
// A body longer than kMaxRecordBody goes on in CONTINUE records of the same
// framing. A string cut by a CONTINUE resumes there with its option byte
// (kUncompressedText or 0 for compressed) before its remaining characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xls::biff {

inline constexpr size_t kMaxRecordBody = 8224;

inline constexpr uint16_t kBof = 0x0809;
inline constexpr uint16_t kEof = 0x000A;
inline constexpr uint16_t kContinue = 0x003C;
inline constexpr uint16_t kCodepage = 0x0042;
inline constexpr uint16_t kWindow1 = 0x003D;
inline constexpr uint16_t kFont = 0x0031;
inline constexpr uint16_t kXf = 0x00E0;
inline constexpr uint16_t kStyle = 0x0293;
inline constexpr uint16_t kBoundSheet = 0x0085;
inline constexpr uint16_t kSst = 0x00FC;
inline constexpr uint16_t kExtSst = 0x00FF;
inline constexpr uint16_t kDimensions = 0x0200;
inline constexpr uint16_t kLabelSst = 0x00FD;
inline constexpr uint16_t kNumber = 0x0203;
inline constexpr uint16_t kRk = 0x027E;
inline constexpr uint16_t kWindow2 = 0x023E;

// BOF: BIFF8, and the kind of substream that follows.
inline constexpr uint16_t kBiff8Version = 0x0600;
inline constexpr uint16_t kBofGlobals = 0x0005;
inline constexpr uint16_t kBofWorksheet = 0x0010;

// CODEPAGE of a workbook whose texts are all UTF-16.
inline constexpr uint16_t kCodepageUtf16 = 1200;

// Option byte of a string: bit 0 set when characters are two bytes.
inline constexpr uint8_t kUncompressedText = 0x01;

// XFs 0 to 14 are the built-in style XFs readers expect; XF 15, the first
// cell XF, is the one every cell of a plain sheet refers to.
inline constexpr uint16_t kStyleXfCount = 15;
inline constexpr uint16_t kCellXf = 15;

// Limits of a BIFF8 worksheet and its texts.
inline constexpr uint32_t kMaxRows = 65536;
inline constexpr uint32_t kMaxColumns = 256;
inline constexpr size_t kMaxTextLength = 32767;
inline constexpr size_t kMaxSheetNameLength = 31;

}  // namespace xls::biff
