#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

#include "platform/profile/profile_file.h"
#include "platform/service/registry.h"
#include "platform/service/registry_format.h"
#include "platform/service/win_error.h"

namespace service {
namespace {

// Holds an exclusive lock on a folder while a store in it is read, changed
// and replaced, so that two registering processes cannot lose each other's
// change.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) error_ = ErrorFromErrno(errno);
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  long error() const { return error_; }

 private:
  int fd_;
  long error_ = kErrorSuccess;
};

RegistryKeyData* FindKey(RegistryTree& tree, const std::string& key, long* error) {
  const auto folded = FoldKeyPath(key);
  if (!folded) {
    *error = kErrorInvalidParameter;
    return nullptr;
  }
  auto it = tree.find(*folded);
  *error = it == tree.end() ? kErrorFileNotFound : kErrorSuccess;
  return it == tree.end() ? nullptr : &it->second;
}

class FileRegistry : public Registry {
 public:
  explicit FileRegistry(std::string path) : path_(std::move(path)) {}

  long OpenKey(const std::string& key) const override {
    RegistryTree tree;
    long error = Load(&tree);
    if (error == kErrorSuccess) FindKey(tree, key, &error);
    return error;
  }

  long CreateKey(const std::string& key) override {
    return Update([&](RegistryTree& tree) {
      const auto folded = FoldKeyPath(key);
      if (!folded) return kErrorInvalidParameter;
      AddRegistryKey(tree, key, *folded);
      return kErrorSuccess;
    });
  }

  long QueryValue(const std::string& key, const std::string& name, std::string* data) const override {
    RegistryTree tree;
    long error = Load(&tree);
    if (error != kErrorSuccess) return error;
    const RegistryKeyData* entry = FindKey(tree, key, &error);
    if (!entry) return error;
    for (const auto& [existing, value] : entry->values) {
      if (SameName(existing, name)) {
        *data = value;
        return kErrorSuccess;
      }
    }
    return kErrorFileNotFound;
  }

  long SetValue(const std::string& key, const std::string& name, const std::string& data) override {
    return Update([&](RegistryTree& tree) {
      long error;
      RegistryKeyData* entry = FindKey(tree, key, &error);
      if (!entry) return error;
      for (auto& [existing, value] : entry->values) {
        if (SameName(existing, name)) {
          value = data;
          return kErrorSuccess;
        }
      }
      entry->values.emplace_back(name, data);
      return kErrorSuccess;
    });
  }

  long DeleteValue(const std::string& key, const std::string& name) override {
    return Update([&](RegistryTree& tree) {
      long error;
      RegistryKeyData* entry = FindKey(tree, key, &error);
      if (!entry) return error;
      for (auto it = entry->values.begin(); it != entry->values.end(); ++it) {
        if (SameName(it->first, name)) {
          entry->values.erase(it);
          return kErrorSuccess;
        }
      }
      return kErrorFileNotFound;
    });
  }

  long DeleteTree(const std::string& key) override {
    return Update([&](RegistryTree& tree) {
      const auto folded = FoldKeyPath(key);
      if (!folded) return kErrorInvalidParameter;
      if (!tree.contains(*folded)) return kErrorFileNotFound;
      // Subkeys need not sort next to their key ("q\\sub" sorts after "q2").
      const std::string prefix = *folded + '\\';
      std::erase_if(tree, [&](const auto& entry) {
        return entry.first == *folded || entry.first.compare(0, prefix.size(), prefix) == 0;
      });
      return kErrorSuccess;
    });
  }

 private:
  // A missing file is an empty store.
  long Load(RegistryTree* tree, std::string* text = nullptr) const {
    const auto content = profile::ReadWholeFile(path_);
    if (!content) {
      if (::access(path_.c_str(), F_OK) != 0 && errno == ENOENT) return kErrorSuccess;
      return kErrorAccessDenied;
    }
    auto parsed = ParseRegistry(*content);
    if (!parsed) return kErrorBadDatabase;
    *tree = std::move(*parsed);
    if (text) *text = *content;
    return kErrorSuccess;
  }

  long Update(const std::function<long(RegistryTree&)>& change) {
    const std::filesystem::path target(path_);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) return ErrorFromErrno(created.value());
    FolderLock lock(folder);
    if (lock.error() != kErrorSuccess) return lock.error();

    RegistryTree tree;
    std::string before;
    long error = Load(&tree, &before);
    if (error == kErrorSuccess) error = change(tree);
    if (error != kErrorSuccess) return error;
    const std::string after = SerializeRegistry(tree);
    if (after == before) return kErrorSuccess;
    if (::access(folder.c_str(), W_OK) != 0) return ErrorFromErrno(errno);
    return profile::ReplaceFileAtomically(path_, after) ? kErrorSuccess : kErrorCantWrite;
  }

  std::string path_;
};

}  // namespace

std::unique_ptr<Registry> OpenRegistryFile(const std::string& path) { return std::make_unique<FileRegistry>(path); }

}  // namespace service
