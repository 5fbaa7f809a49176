#include "core/failure_line.h"

namespace kestrovan::sidecar {

std::string escapeControlCharacters(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\u00";
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 0xF]);
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::string failureLine(std::string_view reason) {
  std::string line(failureLinePrefix);
  line += escapeControlCharacters(reason);
  line.push_back('\n');
  return line;
}

}  // namespace kestrovan::sidecar
