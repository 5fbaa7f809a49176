#include "drag/file_name.h"

namespace kestrovan {

bool isOneFileName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFileNameBytes) return false;
  if (name == "." || name == "..") return false;
  // Each of these is one byte in UTF-8 and never part of a longer sequence.
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '/' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace kestrovan
