#include "bridge/utf8.h"

#include <gtest/gtest.h>

namespace kestrovan {
namespace {

TEST(SanitizeUtf8, RepairsEachMaximalIllFormedSubpart) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"plain ascii", "plain ascii"},
      {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80", "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"},  // well-formed
      {"a\x80"
       "b",
       "a" + fffd + "b"},         // lone continuation byte
      {"\xC0\xAF", fffd + fffd},  // overlong lead is never valid
      {"\xE2\x82", fffd},         // truncated 3-byte sequence: one subpart
      {"\xE2\x82"
       "x",
       fffd + "x"},
      {"\xED\xA0\x80", fffd + fffd + fffd},             // encoded surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
      {"\xF0\x9F\x98", fffd},                           // truncated 4-byte sequence
      {"\xFF", fffd},
  };
  for (const auto& c : cases) EXPECT_EQ(sanitizeUtf8(c.in), c.out) << testing::PrintToString(c.in);
}

}  // namespace
}  // namespace kestrovan
