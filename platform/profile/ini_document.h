// The text of an INI file as a list of lines, with the lookups and edits the
// private-profile routines need. Pure functions over memory: no file access,
// so every parsing quirk can be tested on literal text.
//
// Bytes are never transcoded. Names are compared with ASCII case folding,
// and the two bytes of a GBK double-byte character are compared exactly, so
// a trail byte that happens to be a letter is never folded.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// One physical line. text and eol together are the line's bytes as read, so
// lines nobody edits are written back exactly as they were.
struct IniLine {
  enum class Kind {
    kOther,    // blank, comment (';'), or anything that is not the two below
    kSection,  // "[name]"; name is the trimmed text up to the last ']'
    kEntry,    // "key=value" inside a section; name and value trimmed
  };
  Kind kind = Kind::kOther;
  std::string text;  // the line without its terminator
  std::string eol;   // "\r\n", "\n", or "" for a last line without one
  std::string name;
  std::string value;  // kEntry only: still quoted, as written
};

struct IniDocument {
  std::vector<IniLine> lines;
};

// Accepts CRLF and LF-only text, and a last line without terminator.
IniDocument ParseIni(std::string_view text);

// Exactly the bytes ParseIni read, plus whatever the edits changed.
std::string RenderIni(const IniDocument& doc);

// Blanks are the ASCII white-space bytes and the DOS end-of-file mark 0x1A.
std::string_view TrimBlanks(std::string_view text);

bool NamesEqual(std::string_view a, std::string_view b);

// Value of the first such key in the first such section; names are trimmed
// before comparing. nullopt when the section or the key is missing.
std::optional<std::string> FindValue(const IniDocument& doc, std::string_view section, std::string_view key);

// Named sections in file order, duplicates included; "[]" is not listed.
std::vector<std::string> SectionNames(const IniDocument& doc);

// The edits return whether the document changed.
//
// SetValue replaces the value of an existing key in place, keeping the key's
// spelling from the file (an equal value leaves the line untouched); a new key goes after the last non-blank line of
// the section; a new section goes at the end, after a blank line unless the file is empty or already ends in one. New
// and replaced lines end in CRLF.
bool SetValue(IniDocument& doc, std::string_view section, std::string_view key, std::string_view value);
bool DeleteKey(IniDocument& doc, std::string_view section, std::string_view key);
// Removes every section of that name: its header and all lines up to the
// next header, comments and blank lines included.
bool DeleteSection(IniDocument& doc, std::string_view section);

}  // namespace profile
