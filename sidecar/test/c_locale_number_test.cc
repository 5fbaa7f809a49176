// Numbers on the command line are read in the C locale whatever locale the
// process is in: run under a locale whose decimal separator is a comma
// (compiled by the test's fixture; see CMakeLists.txt), a '.' is still the
// decimal point and a ',' is still no part of a number.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "core/arguments.h"
#include "port/c_locale_number_port.h"

namespace kestrovan::sidecar {
namespace {

class CommaDecimalLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::setlocale(LC_ALL, KESTROVAN_COMMA_DECIMAL_LOCALE), nullptr)
        << "the locale " << KESTROVAN_COMMA_DECIMAL_LOCALE << " is not under LOCPATH";
    // The locale is in effect: the process's own strtod now takes the comma.
    char* end = nullptr;
    const char* text = "1,5";
    ASSERT_EQ(std::strtod(text, &end), 1.5);
    ASSERT_EQ(end, text + 3);
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(CommaDecimalLocaleTest, ReadsThePointAndRejectsTheComma) {
  EXPECT_EQ(parseNumber("1.5"), 1.5);
  EXPECT_EQ(parseNumber("-0.25e1"), -2.5);
  EXPECT_EQ(parseNumber("0x1.8p1"), 3.0);
  EXPECT_EQ(parseNumber("1,5"), std::nullopt);
  EXPECT_EQ(parseNumber("1.000,5"), std::nullopt);

  char* end = nullptr;
  const char* text = "2,5";
  EXPECT_EQ(strtodInCLocale(text, &end), 2.0);
  EXPECT_EQ(end, text + 1);
}

TEST_F(CommaDecimalLocaleTest, ReadsRectsAndTheWholeCommandLineAsInTheCLocale) {
  const auto rect = parseRect("1.5,2.25,3,4");
  ASSERT_TRUE(std::holds_alternative<Rect>(rect));
  EXPECT_EQ(std::get<Rect>(rect), (Rect{1.5, 2.25, 3, 4}));

  const std::vector<std::string> arguments{"--tray-frame", "1,2,3,4", "--zone-size", "1,5"};
  const ArgumentsResult result = parseArguments(arguments);
  ASSERT_TRUE(std::holds_alternative<ArgumentError>(result));
  EXPECT_EQ(std::get<ArgumentError>(result).description(), "Expected a number, received 1,5.");
}

}  // namespace
}  // namespace kestrovan::sidecar
