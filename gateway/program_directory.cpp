#include "gateway/program_directory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

std::string ProgramDirectory() {
  std::error_code error;
  std::filesystem::path directory;
  if (const char* home = std::getenv("HERALDO_HOME")) {
    directory = home;
  } else {
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "";
    directory = executable.parent_path();
  }
  if (chdir(directory.c_str()) != 0) return "";
  return directory.string();
}

std::string ProgramFile(const std::string& name) {
  std::string directory = ProgramDirectory();
  return directory.empty() ? "" : directory + "/" + name;
}
