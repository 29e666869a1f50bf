// The GSM 03.38 default alphabet and its extension table, for the 7-bit
// messages the simulated network delivers.
#pragma once

#include <cstdint>
#include <vector>

namespace modemsim {

inline constexpr uint8_t kGsmEscape = 0x1B;

// The septets of one UTF-16 unit: one code, or the escape and a code from the
// extension table. Empty when the alphabet cannot represent it (surrogates
// included: nothing outside the basic plane is in the alphabet).
std::vector<uint8_t> GsmSeptetsOf(char16_t unit);

// Packs septets into octets, the first one starting `firstBit` bits into the
// output; the bits before it (the fill bits after a user-data header) stay 0.
std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, int firstBit);

}  // namespace modemsim
