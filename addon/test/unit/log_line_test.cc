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

TEST(LogLine, KeepsFormatCharactersAsText) {
  // Messages are never formats: percent signs pass through.
  EXPECT_EQ(logLine("%@ %s %d", std::string("%n")), "%@ %s %d%n");
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
