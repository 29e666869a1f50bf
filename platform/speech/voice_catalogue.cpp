#include "platform/speech/voice_catalogue.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace speech {
namespace {

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t bar = line.find('|', start);
    fields.push_back(Trim(line.substr(start, bar == std::string_view::npos ? bar : bar - start)));
    if (bar == std::string_view::npos) return fields;
    start = bar + 1;
  }
}

// An empty field keeps the default; anything but a whole number in range fails.
bool ParseNumber(std::string_view field, int low, int high, int* value) {
  if (field.empty()) return true;
  int parsed = 0;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), parsed);
  if (error != std::errc() || end != field.data() + field.size() || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

std::optional<VoiceToken> ParseToken(std::string_view line) {
  std::vector<std::string_view> fields = SplitFields(line);
  if (fields.size() < 2 || fields.size() > 4 || fields[1].empty()) return std::nullopt;
  VoiceToken token{std::string(fields[0]), std::string(fields[1])};
  if (fields.size() > 2 && !ParseNumber(fields[2], 80, 450, &token.rate)) return std::nullopt;
  if (fields.size() > 3 && !ParseNumber(fields[3], 0, 99, &token.pitch)) return std::nullopt;
  return token;
}

}  // namespace

VoiceCatalogue ParseVoiceCatalogue(std::string_view text) {
  VoiceCatalogue catalogue;
  int number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (auto token = ParseToken(line)) {
      catalogue.tokens.push_back(std::move(*token));
    } else {
      catalogue.badLines.push_back(number);
    }
  }
  return catalogue;
}

std::optional<VoiceCatalogue> ReadVoiceCatalogue(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return ParseVoiceCatalogue(text.str());
}

std::string VoiceCataloguePath() {
  if (const char* path = std::getenv("QUILLON_VOICE_CATALOGUE")) return path;
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "";
  return (executable.parent_path() / "voices.catalogue").string();
}

}  // namespace speech
