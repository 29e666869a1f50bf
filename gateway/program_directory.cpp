#include "gateway/program_directory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The working directory the program started in, taken at the first build:
// every later build has made the program directory current, so a relative
// $HERALDO_HOME read against it would name a directory inside itself.
const fs::path& StartDirectory() {
  static const fs::path directory = [] {
    std::error_code error;
    fs::path current = fs::current_path(error);
    return error ? fs::path() : current;
  }();
  return directory;
}

// Absolute, without "." or ".." steps or a trailing "/", so that the names
// built from it are the same from any working directory.
fs::path Normalised(const fs::path& directory) {
  fs::path normal = (StartDirectory() / directory).lexically_normal();
  return normal.has_filename() || normal == normal.root_path() ? normal : normal.parent_path();
}

}  // namespace

std::string ProgramDirectory() {
  std::error_code error;
  fs::path directory;
  const char* home = std::getenv("HERALDO_HOME");
  if (home != nullptr && *home != '\0') {
    directory = home;
  } else {
    auto executable = fs::read_symlink("/proc/self/exe", error);
    if (error) return "";
    directory = executable.parent_path();
  }
  directory = Normalised(directory);
  if (!directory.is_absolute() || chdir(directory.c_str()) != 0) return "";
  return directory.string();
}

std::string ProgramFile(const std::string& name) {
  std::string directory = ProgramDirectory();
  return directory.empty() ? "" : directory + "/" + name;
}
