#include "platform/profile/ini_document.h"

#include <cstddef>

namespace profile {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

IniLine ClassifyLine(std::string text, std::string eol, bool inSection) {
  IniLine line{IniLine::Kind::kOther, std::move(text), std::move(eol), {}, {}};
  const std::string_view body = TrimBlanks(line.text);
  if (body.empty() || body.front() == ';') return line;
  if (body.front() == '[') {
    // The last ']' closes the name: a GBK trail byte may itself be 0x5D.
    const std::size_t close = body.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = IniLine::Kind::kSection;
      line.name = TrimBlanks(body.substr(1, close - 1));
    }
    return line;
  }
  // '=' is never a GBK trail byte, so the first one splits key from value.
  const std::size_t equals = body.find('=');
  if (inSection && equals != std::string_view::npos) {
    line.kind = IniLine::Kind::kEntry;
    line.name = TrimBlanks(body.substr(0, equals));
    line.value = TrimBlanks(body.substr(equals + 1));
  }
  return line;
}

// A section runs from its header line up to, not including, the next header.
struct SectionSpan {
  std::size_t header;
  std::size_t end;
};

std::size_t NextHeader(const IniDocument& doc, std::size_t from) {
  while (from < doc.lines.size() && doc.lines[from].kind != IniLine::Kind::kSection) ++from;
  return from;
}

std::optional<SectionSpan> FindSection(const IniDocument& doc, std::string_view section) {
  const std::string_view wanted = TrimBlanks(section);
  for (std::size_t i = NextHeader(doc, 0); i < doc.lines.size(); i = NextHeader(doc, i + 1)) {
    if (NamesEqual(doc.lines[i].name, wanted)) return SectionSpan{i, NextHeader(doc, i + 1)};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindEntry(const IniDocument& doc, const SectionSpan& span, std::string_view key) {
  const std::string_view wanted = TrimBlanks(key);
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const IniLine& line = doc.lines[i];
    if (line.kind == IniLine::Kind::kEntry && NamesEqual(line.name, wanted)) return i;
  }
  return std::nullopt;
}

IniLine MakeEntry(std::string_view key, std::string_view value) {
  std::string text;
  text.append(key).append("=").append(value);
  return IniLine{IniLine::Kind::kEntry, std::move(text), std::string(kCrLf), std::string(key),
                 std::string(TrimBlanks(value))};
}

// A line inserted after an unterminated last line must not join it.
void TerminateLastLine(IniDocument& doc) {
  if (!doc.lines.empty() && doc.lines.back().eol.empty()) doc.lines.back().eol = kCrLf;
}

}  // namespace

IniDocument ParseIni(std::string_view text) {
  IniDocument doc;
  bool inSection = false;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view body = text.substr(0, newline);
    std::string_view eol;
    if (newline == std::string_view::npos) {
      text = {};
    } else {
      eol = body.ends_with('\r') ? kCrLf : "\n";
      body.remove_suffix(eol.size() - 1);
      text.remove_prefix(newline + 1);
    }
    doc.lines.push_back(ClassifyLine(std::string(body), std::string(eol), inSection));
    inSection = inSection || doc.lines.back().kind == IniLine::Kind::kSection;
  }
  return doc;
}

std::string RenderIni(const IniDocument& doc) {
  std::string out;
  for (const IniLine& line : doc.lines) out.append(line.text).append(line.eol);
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (IsGbkLeadByte(ca) && i + 1 < a.size()) {
      if (ca != cb || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(ca) != FoldAscii(cb)) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> FindValue(const IniDocument& doc, std::string_view section, std::string_view key) {
  const auto span = FindSection(doc, section);
  if (!span) return std::nullopt;
  const auto entry = FindEntry(doc, *span, key);
  if (!entry) return std::nullopt;
  return doc.lines[*entry].value;
}

std::vector<std::string> SectionNames(const IniDocument& doc) {
  std::vector<std::string> names;
  for (const IniLine& line : doc.lines) {
    // A nameless "[]" would end the system's double-NUL list early; leave it out.
    if (line.kind == IniLine::Kind::kSection && !line.name.empty()) names.push_back(line.name);
  }
  return names;
}

bool SetValue(IniDocument& doc, std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view keyName = TrimBlanks(key);
  const auto span = FindSection(doc, section);
  if (!span) {
    TerminateLastLine(doc);
    if (!doc.lines.empty() && !TrimBlanks(doc.lines.back().text).empty()) {
      doc.lines.push_back(IniLine{IniLine::Kind::kOther, "", std::string(kCrLf), {}, {}});
    }
    const std::string_view sectionName = TrimBlanks(section);
    doc.lines.push_back(IniLine{IniLine::Kind::kSection,
                                "[" + std::string(sectionName) + "]",
                                std::string(kCrLf),
                                std::string(sectionName),
                                {}});
    doc.lines.push_back(MakeEntry(keyName, value));
    return true;
  }
  if (const auto entry = FindEntry(doc, *span, keyName)) {
    IniLine& line = doc.lines[*entry];
    // An unchanged value keeps the line as the user formatted it.
    if (line.value == value) return false;
    IniLine replaced = MakeEntry(line.name, value);
    if (!line.eol.empty()) replaced.eol = line.eol;
    line = std::move(replaced);
    return true;
  }
  std::size_t insertAt = span->end;
  while (insertAt > span->header + 1 && TrimBlanks(doc.lines[insertAt - 1].text).empty()) {
    --insertAt;
  }
  if (insertAt == doc.lines.size()) TerminateLastLine(doc);
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt), MakeEntry(keyName, value));
  return true;
}

bool DeleteKey(IniDocument& doc, std::string_view section, std::string_view key) {
  const auto span = FindSection(doc, section);
  if (!span) return false;
  const auto entry = FindEntry(doc, *span, key);
  if (!entry) return false;
  doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*entry));
  return true;
}

bool DeleteSection(IniDocument& doc, std::string_view section) {
  bool changed = false;
  while (const auto span = FindSection(doc, section)) {
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(span->header),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(span->end));
    changed = true;
  }
  return changed;
}

}  // namespace profile
