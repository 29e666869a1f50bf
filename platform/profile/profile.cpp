#include "platform/profile/profile.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "platform/profile/ini_document.h"
#include "platform/profile/profile_file.h"

namespace profile {
namespace {

// The system routine parses the integer from a 30-byte buffer.
constexpr std::size_t kIntBufferSize = 30;

IniDocument LoadDocument(const std::string& path) { return ParseIni(ReadWholeFile(path).value_or(std::string())); }

std::string_view DropMatchingQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view DropTrailingSpaces(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Like the system's string-to-integer conversion: overflow wraps, no error.
std::uint32_t LeadingDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::uint32_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    result = result * 10U + static_cast<std::uint32_t>(c - '0');
  }
  return negative ? 0U - result : result;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

unsigned GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                              const std::string& path) {
  const std::string text = GetPrivateProfileString(section, key, "", kIntBufferSize, path);
  if (text.empty()) return static_cast<unsigned>(defaultValue);
  return LeadingDecimal(text);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::size_t bufferSize, const std::string& path) {
  if (bufferSize == 0) return {};
  const std::optional<std::string> found = FindValue(LoadDocument(path), section, key);
  const std::string_view value = found ? DropMatchingQuotes(*found) : DropTrailingSpaces(defaultValue);
  // A cut may split a double-byte character, exactly as the byte buffer does.
  return std::string(value.substr(0, bufferSize - 1));
}

std::size_t GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::string& out, std::size_t bufferSize, const std::string& path) {
  out = GetPrivateProfileString(section, key, defaultValue, bufferSize, path);
  return out.size();
}

bool HasPrivateProfileKey(const std::string& section, const std::string& key, const std::string& path) {
  return FindValue(LoadDocument(path), section, key).has_value();
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path) {
  return SectionNames(LoadDocument(path));
}

bool WritePrivateProfileString(const std::string& section, const std::optional<std::string>& key,
                               const std::optional<std::string>& value, const std::string& path) {
  if (HasLineBreak(section) || (key && HasLineBreak(*key)) || (value && HasLineBreak(*value))) {
    return false;
  }
  const std::lock_guard<std::mutex> lock(WriteMutex());
  const std::optional<std::string> text = ReadWholeFile(path);
  std::error_code ignored;
  // Rewriting a file we could not read would throw its other settings away.
  if (!text && std::filesystem::exists(path, ignored)) return false;
  IniDocument doc = ParseIni(text.value_or(std::string()));
  bool changed = false;
  if (!key) {
    changed = DeleteSection(doc, section);
  } else if (!value) {
    changed = DeleteKey(doc, section, *key);
  } else {
    changed = SetValue(doc, section, *key, *value);
  }
  return !changed || ReplaceFileAtomically(path, RenderIni(doc));
}

}  // namespace profile
