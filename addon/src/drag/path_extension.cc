#include <string>

#include "drag/path_extension.h"

namespace kestrovan {

std::string pathExtension(const std::string& path) {
  // The last path component, ignoring trailing slashes.
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "";
  size_t start = path.find_last_of('/', end);
  start = start == std::string::npos ? 0 : start + 1;
  std::string component = path.substr(start, end - start + 1);
  size_t dot = component.find_last_of('.');
  // A name that only starts with a period (".profile") has no extension.
  if (dot == std::string::npos || dot == 0) return "";
  return component.substr(dot + 1);
}

}  // namespace kestrovan
