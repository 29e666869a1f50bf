// INI text through the in-memory layer of the profile routines: parsing,
// rendering, look-ups and edits. The file layer above it only reads and
// writes whole files.
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/profile/ini_document.h"

namespace {

using profile::IniDocument;
using profile::IniLine;

constexpr size_t kLinesChecked = 64;

// The first section line named like line `index`, searching from the top.
bool FirstOfItsName(const IniDocument& doc, size_t index) {
  for (size_t i = 0; i < index; ++i)
    if (doc.lines[i].kind == IniLine::Kind::kSection && profile::NamesEqual(doc.lines[i].name, doc.lines[index].name))
      return false;
  return true;
}

// Every key of a section that comes first under its name is found.
void CheckLookups(const IniDocument& doc) {
  bool firstSection = false;
  std::string section;
  for (size_t i = 0; i < doc.lines.size() && i < kLinesChecked; ++i) {
    const IniLine& line = doc.lines[i];
    if (line.kind == IniLine::Kind::kSection) {
      section = line.name;
      firstSection = FirstOfItsName(doc, i);
    } else if (line.kind == IniLine::Kind::kEntry && firstSection) {
      FUZZ_CHECK(profile::FindValue(doc, section, line.name).has_value());
    }
  }
}

// A value written under a section the text already has, or a new one, reads
// back from the rendered text; a deleted section is gone.
void CheckEdits(const IniDocument& doc, std::string_view section) {
  IniDocument edited = doc;
  profile::SetValue(edited, section, "FuzzKey", "fuzz value");
  IniDocument reread = profile::ParseIni(profile::RenderIni(edited));
  FUZZ_CHECK(profile::FindValue(reread, section, "FuzzKey") == std::optional<std::string>("fuzz value"));
  profile::DeleteKey(reread, section, "FuzzKey");
  profile::DeleteSection(reread, section);
  FUZZ_CHECK(!profile::FindValue(profile::ParseIni(profile::RenderIni(reread)), section, "FuzzKey"));
}

// Names a section can be written under and read back by: no line break, no
// bracket, no blanks at either end (they are trimmed).
bool Writable(std::string_view name) {
  return !name.empty() && name.find_first_of("\r\n[]") == std::string_view::npos && profile::TrimBlanks(name) == name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  IniDocument doc = profile::ParseIni(text);
  FUZZ_CHECK(profile::RenderIni(doc) == text);
  CheckLookups(doc);
  profile::SectionNames(doc);
  CheckEdits(doc, "FuzzSection");
  for (size_t i = 0; i < doc.lines.size() && i < kLinesChecked; ++i)
    if (doc.lines[i].kind == IniLine::Kind::kSection && Writable(doc.lines[i].name)) {
      CheckEdits(doc, doc.lines[i].name);
      break;
    }
  return 0;
}
