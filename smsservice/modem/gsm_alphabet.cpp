#include "smsservice/modem/gsm_alphabet.h"

#include <array>

namespace {

// The default alphabet, by septet.
constexpr std::array<char16_t, 128> kDefault = {
    u'@',      u'\u00A3', u'$',      u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC',  // 0x00
    u'\u00F2', u'\u00C7', u'\n',     u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5',  // 0x08
    u'\u0394', u'_',      u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8',  // 0x10
    u'\u03A3', u'\u0398', u'\u039E', u' ',      u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9',  // 0x18 (0x1B: escape)
    u' ',      u'!',      u'"',      u'#',      u'\u00A4', u'%',      u'&',      u'\'',      // 0x20
    u'(',      u')',      u'*',      u'+',      u',',      u'-',      u'.',      u'/',       // 0x28
    u'0',      u'1',      u'2',      u'3',      u'4',      u'5',      u'6',      u'7',       // 0x30
    u'8',      u'9',      u':',      u';',      u'<',      u'=',      u'>',      u'?',       // 0x38
    u'\u00A1', u'A',      u'B',      u'C',      u'D',      u'E',      u'F',      u'G',       // 0x40
    u'H',      u'I',      u'J',      u'K',      u'L',      u'M',      u'N',      u'O',       // 0x48
    u'P',      u'Q',      u'R',      u'S',      u'T',      u'U',      u'V',      u'W',       // 0x50
    u'X',      u'Y',      u'Z',      u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7',  // 0x58
    u'\u00BF', u'a',      u'b',      u'c',      u'd',      u'e',      u'f',      u'g',       // 0x60
    u'h',      u'i',      u'j',      u'k',      u'l',      u'm',      u'n',      u'o',       // 0x68
    u'p',      u'q',      u'r',      u's',      u't',      u'u',      u'v',      u'w',       // 0x70
    u'x',      u'y',      u'z',      u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0',  // 0x78
};

struct Extension {
  uint8_t septet;
  char16_t character;
};

constexpr std::array<Extension, 10> kExtension = {{
    {0x0A, u'\f'},
    {0x14, u'^'},
    {0x28, u'{'},
    {0x29, u'}'},
    {0x2F, u'\\'},
    {0x3C, u'['},
    {0x3D, u'~'},
    {0x3E, u']'},
    {0x40, u'|'},
    {0x65, u'\u20AC'},
}};

char16_t ExtensionCharacter(uint8_t septet) {
  for (const Extension& e : kExtension)
    if (e.septet == septet) return e.character;
  return kDefault[septet & 0x7F];
}

}  // namespace

std::u16string GsmSeptetsToUtf16(const uint8_t* septets, size_t count) {
  std::u16string text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint8_t septet = septets[i] & 0x7F;
    if (septet != GSM_ESCAPE) {
      text += kDefault[septet];
    } else if (i + 1 == count || (septets[i + 1] & 0x7F) == GSM_ESCAPE) {
      text += u' ';
      if (i + 1 < count) ++i;
    } else {
      text += ExtensionCharacter(septets[++i] & 0x7F);
    }
  }
  return text;
}

bool Utf16ToGsmSeptets(std::u16string_view text, std::string& septets) {
  septets.clear();
  for (char16_t c : text) {
    bool found = false;
    for (size_t septet = 0; septet < kDefault.size() && !found; ++septet) {
      if (septet == GSM_ESCAPE || kDefault[septet] != c) continue;
      septets += static_cast<char>(septet);
      found = true;
    }
    for (const Extension& e : kExtension) {
      if (found || e.character != c) continue;
      septets += static_cast<char>(GSM_ESCAPE);
      septets += static_cast<char>(e.septet);
      found = true;
    }
    if (!found) return false;
  }
  return true;
}
