#include "bridge/log_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kestrovan::log_line_detail {

namespace {

// Whether any of the eight bytes of `word` is a control character (below 0x20,
// or 0x7F). Bytes from 0x80 up (UTF-8 sequences) never count.
bool hasControlByte(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  const uint64_t below0x20 = (word - kOnes * 0x20) & ~word & kHighBits;
  const uint64_t del = word ^ (kOnes * 0x7F);
  const uint64_t is0x7F = (del - kOnes) & ~del & kHighBits;
  return (below0x20 | is0x7F) != 0;
}

}  // namespace

void appendValue(std::string& out, std::string_view text) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  // Control characters are single bytes in UTF-8 and never part of a longer
  // sequence, so the text is scanned byte by byte, after skipping eight bytes
  // at a time while none is one.
  size_t plain = 0;  // the start of the run of bytes written unchanged
  size_t clean = 0;
  for (uint64_t word; clean + 8 <= text.size(); clean += 8) {
    std::memcpy(&word, text.data() + clean, 8);
    if (hasControlByte(word)) break;
  }
  for (size_t at = clean; at < text.size(); ++at) {
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
