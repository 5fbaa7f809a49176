#include "drops/drop_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kestrovan::drops {

namespace fs = std::filesystem;

MadeFolder makeDropFolder(const std::string& destination) {
  std::string pattern = destination;
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += "drop-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    return {{},
            "could not make a folder for the drop in " + destination + ": " + std::strerror(errno)};
  }
  return {buffer.data(), {}};
}

MadeFolder makeItemFolder(const std::string& dropFolder, size_t itemIndex) {
  std::string path = dropFolder + "/" + std::to_string(itemIndex + 1);
  if (mkdir(path.c_str(), 0700) != 0) {
    return {{},
            "could not make a folder for the item in " + dropFolder + ": " + std::strerror(errno)};
  }
  return {path, {}};
}

bool isReallyInside(const std::string& path, const std::string& folder) {
  if (path.empty() || path.front() != '/') return false;
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  if (error) return false;
  const fs::path base = fs::canonical(folder, error);
  if (error) return false;
  auto realPart = real.begin();
  for (auto basePart = base.begin(); basePart != base.end(); ++basePart, ++realPart) {
    if (realPart == real.end() || *realPart != *basePart) return false;
  }
  // Strictly inside: at least one component more than the folder.
  return realPart != real.end();
}

bool entryExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

void removeEntry(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

void removeTree(const std::string& folder) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

void removeIfEmpty(const std::string& folder) {
  std::error_code error;
  if (fs::is_directory(fs::symlink_status(folder, error)) && fs::is_empty(folder, error) &&
      !error) {
    fs::remove(folder, error);
  }
}

}  // namespace kestrovan::drops
