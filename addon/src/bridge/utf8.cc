#include "bridge/utf8.h"

namespace kestrovan {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `bytes[0]`, or the length of
// its maximal ill-formed subpart negated (at least 1) when it is ill-formed.
int sequenceLength(const unsigned char* bytes, size_t available) {
  unsigned char lead = bytes[0];
  if (lead < 0x80) return 1;
  int needed;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  int consumed = 1;
  for (int i = 0; i < needed; ++i) {
    if (static_cast<size_t>(consumed) >= available) return -consumed;
    unsigned char next = bytes[consumed];
    unsigned char lo = i == 0 ? low : 0x80;
    unsigned char hi = i == 0 ? high : 0xBF;
    if (next < lo || next > hi) return -consumed;
    ++consumed;
  }
  return consumed;
}

}  // namespace

std::string sanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    int length = sequenceLength(bytes + i, text.size() - i);
    if (length > 0) {
      out.append(text.substr(i, static_cast<size_t>(length)));
      i += static_cast<size_t>(length);
    } else {
      out.append(kReplacement);
      i += static_cast<size_t>(-length);
    }
  }
  return out;
}

}  // namespace kestrovan
