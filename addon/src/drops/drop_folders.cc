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

EntryNames entryNamesOf(const std::string& path) {
  EntryNames names;
  if (path.empty() || path.front() != '/') return names;
  std::error_code error;
  const fs::path lexical = fs::path(path).lexically_normal();
  const fs::path real = fs::canonical(lexical, error);
  if (!error) names.real = real.string();
  const fs::path parent = fs::canonical(lexical.parent_path(), error);
  if (!error && !lexical.filename().empty()) names.entry = (parent / lexical.filename()).string();
  return names;
}

namespace {

// True when `ancestor` is `path` or one of the folders leading to it.
bool leadsTo(const fs::path& ancestor, const std::string& path) {
  if (path.empty()) return false;
  const fs::path target(path);
  auto part = target.begin();
  for (const auto& component : ancestor) {
    if (part == target.end() || *part != component) return false;
    ++part;
  }
  return true;
}

void sweep(const fs::path& folder, const std::vector<EntryNames>& keep) {
  // Listed first: nothing is removed while the folder is being read.
  std::vector<fs::path> entries;
  std::error_code error;
  for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    entries.push_back(it->path());
  }
  for (const fs::path& entry : entries) {
    const std::string name = entry.string();
    bool kept = false;
    bool leads = false;
    for (const EntryNames& names : keep) {
      if (name == names.real || name == names.entry) kept = true;
      if (leadsTo(entry, names.real) || leadsTo(entry, names.entry)) leads = true;
    }
    if (kept) continue;
    std::error_code ignored;
    if (leads && fs::is_directory(fs::symlink_status(entry, ignored))) {
      sweep(entry, keep);
    } else {
      fs::remove_all(entry, ignored);
    }
  }
}

}  // namespace

void removeAllBut(const std::string& folder, const std::vector<EntryNames>& keep) {
  std::error_code error;
  const fs::path base = fs::canonical(folder, error);
  if (error) return;
  sweep(base, keep);
  removeIfEmpty(folder);
}

void removeIfEmpty(const std::string& folder) {
  std::error_code error;
  if (fs::is_directory(fs::symlink_status(folder, error)) && fs::is_empty(folder, error) &&
      !error) {
    fs::remove(folder, error);
  }
}

}  // namespace kestrovan::drops
