#include "platform/profile/profile_file.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace profile {
namespace {

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return content;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
  const std::filesystem::path target(path);
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  const std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');

  const int fd = ::mkstemp(tempName.data());
  if (fd < 0) return false;
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
  // fsync before rename: otherwise a crash could leave an empty file behind
  // the new name.
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(tempName.data(), path.c_str()) == 0;
  if (!ok) ::unlink(tempName.data());
  return ok;
}

}  // namespace profile
