#include "bridge/log_line.h"

#include <cstdio>

namespace kestrovan::log_line_detail {

void appendValue(std::string& out, std::string_view text) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  // Control characters are single bytes in UTF-8 and never part of a longer
  // sequence, so the text is scanned byte by byte.
  size_t plain = 0;  // the start of the run of bytes written unchanged
  for (size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte != 0x7F) continue;
    out.append(text.data() + plain, at - plain);
    plain = at + 1;
    if (byte == '\n') {
      out.append("\\n");
    } else if (byte == '\r') {
      out.append("\\r");
    } else if (byte == '\t') {
      out.append("\\t");
    } else {
      const char escape[] = {'\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
      out.append(escape, sizeof escape);
    }
  }
  out.append(text.data() + plain, text.size() - plain);
}

void append(std::string& out, OneDecimal value) {
  char buffer[64];
  int length = std::snprintf(buffer, sizeof buffer, "%.1f", value.value);
  if (length > 0) {
    out.append(buffer, static_cast<size_t>(length) < sizeof buffer ? static_cast<size_t>(length)
                                                                   : sizeof buffer - 1);
  }
}

}  // namespace kestrovan::log_line_detail
