#include <string>

#include "drag/path_extension.h"

namespace kestrovan {

std::string pathExtension(const std::string& path) {
  // The last path component, ignoring trailing slashes.
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "";
  size_t start = path.find_last_of('/', end);
  start = start == std::string::npos ? 0 : start + 1;
  // (Positions in `path`: only the extension is copied.)
  size_t dot = path.find_last_of('.', end);
  // A name that only starts with a period (".profile") has no extension.
  if (dot == std::string::npos || dot <= start) return "";
  return path.substr(dot + 1, end - dot);
}

}  // namespace kestrovan
