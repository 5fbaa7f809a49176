#include "bridge/log_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kestrovan {
namespace {

TEST(LogLine, ConcatenatesTextsIntegersAndBooleans) {
  std::optional<std::string> absent;
  EXPECT_EQ(logLine("a=", int64_t{-42}, " b=", size_t{7}, " c=", true, " d=", false, " e=", absent,
                    " f=", std::optional<std::string>("x")),
            "a=-42 b=7 c=YES d=NO e= f=x");
}

TEST(LogLine, AControlCharacterIsEscapedWhereverItStandsInALongValue) {
  // Long values are scanned eight bytes at a time: every position, every
  // kind of control character, and neighbours that are not ones (0x20, 0x7E,
  // 0x80, 0xFF) around it.
  const std::pair<char, const char*> controls[] = {
      {'\0', "\\u0000"}, {'\n', "\\n"}, {'\x1F', "\\u001F"}, {'\x7F', "\\u007F"}};
  const std::string around = std::string(" ~\x80\xFF", 4);
  for (size_t at = 0; at < 24; ++at) {
    for (const auto& [control, escaped] : controls) {
      std::string value;
      for (size_t i = 0; i < 24; ++i) value.push_back(around[i % around.size()]);
      std::string expected = value.substr(0, at) + escaped + value.substr(at + 1);
      value[at] = control;
      EXPECT_EQ(logLine(value), expected) << "at " << at << " escaped " << escaped;
    }
  }
}

TEST(LogLine, KeepsFormatCharactersAsText) {
  // Messages are never formats: percent signs pass through.
  EXPECT_EQ(logLine("%@ %s %d", std::string("%n")), "%@ %s %d%n");
}

TEST(LogLine, ValuesAreOneLineWithTheirControlCharactersEscaped) {
  struct Case {
    std::string value;
    const char* written;
  } cases[] = {
      {"a\n[KestrovanNativeFilePromise] forged line",
       "a\\n[KestrovanNativeFilePromise] forged line"},
      {"crlf\r\n", "crlf\\r\\n"},
      {"\t", "\\t"},
      {std::string("nul\0", 4), "nul\\u0000"},
      {"\x01\x1B[31m\x1F\x7F", "\\u0001\\u001B[31m\\u001F\\u007F"},
      // Everything else as given: a backslash, percent signs, other scripts,
      // C1 controls and the Unicode line separators are not control characters here.
      {"C:\\dir\\n %@ \xC3\xA9\xF0\x9F\x98\x80 \xC2\x85 \xE2\x80\xA8",
       "C:\\dir\\n %@ \xC3\xA9\xF0\x9F\x98\x80 \xC2\x85 \xE2\x80\xA8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.value));
    EXPECT_EQ(logLine("v=", c.value), std::string("v=") + c.written);
    EXPECT_EQ(logLine("v=", std::optional<std::string>(c.value)), std::string("v=") + c.written);
    EXPECT_EQ(logLine("v=", std::string_view(c.value)), std::string("v=") + c.written);
  }
  const char* pointer = "p\nq";
  EXPECT_EQ(logLine(pointer), "p\\nq");
}

TEST(LogLine, FixedTextsAreWrittenAsTheyAre) {
  // Only the literals of the call are fixed texts; they are not escaped.
  EXPECT_EQ(logLine("fixed\t", std::string("\t"), "\n"), "fixed\t\\t\n");
}

TEST(LogLine, OneDecimalMatchesPrintf) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {120.5, "120.5"},
      {300, "300.0"},
      {-0.04, "-0.0"},
      {0.25, "0.2"},  // round half to even as printf
      {1e21, "1000000000000000000000.0"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {std::nan(""), "nan"},
  };
  for (const auto& c : cases) EXPECT_EQ(logLine(oneDecimal(c.value)), c.text) << c.value;
}

TEST(LogLine, Int64Extremes) {
  EXPECT_EQ(logLine(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(logLine(std::numeric_limits<uint64_t>::max()), "18446744073709551615");
}

}  // namespace
}  // namespace kestrovan
