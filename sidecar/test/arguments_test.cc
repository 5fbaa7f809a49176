// The command line: the option walk, rects, numbers, and the failure line as
// the whole program writes it.
#include "core/arguments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "core/run_sidecar.h"
#include "test/fake_platform.h"

namespace kestrovan::sidecar {
namespace {

using Args = std::vector<std::string>;

struct BadCommandLine {
  Args arguments;
  std::string description;

  friend void PrintTo(const BadCommandLine& c, std::ostream* out) {
    *out << c.description << ": " << ::testing::PrintToString(c.arguments);
  }
};

class BadCommandLineTest : public ::testing::TestWithParam<BadCommandLine> {};

// The whole program: one write of the exact line on standard error, status 2,
// nothing on standard output, and nothing done after the reading.
TEST_P(BadCommandLineTest, WritesOneFailureLineAndExitsWithStatus2) {
  testing::FakePlatform platform;
  const int status = runSidecar(GetParam().arguments, platform);
  EXPECT_EQ(status, 2);
  ASSERT_EQ(platform.errorWrites.size(), 1u);
  EXPECT_EQ(platform.errorWrites[0],
            "[KestrovanDragDropzone] Sidecar failed: " + GetParam().description + "\n");
  EXPECT_TRUE(platform.outputWrites.empty());
  EXPECT_EQ(platform.calls, std::vector<std::string>{"writeStandardError"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadCommandLineTest,
    ::testing::Values(
        BadCommandLine{{}, "Missing --tray-frame x,y,width,height."},
        BadCommandLine{{"positional", "--unknown", "1,2,3,4"},
                       "Missing --tray-frame x,y,width,height."},
        BadCommandLine{{"--dropzone-frame", "1,2,3,4"}, "Missing --tray-frame x,y,width,height."},
        BadCommandLine{{"--tray-frame"}, "Missing value for --tray-frame."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--dropzone-frame"},
                       "Missing value for --dropzone-frame."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--dropzone-padding"},
                       "Missing value for --dropzone-padding."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--zone-size"},
                       "Missing value for --zone-size."},
        BadCommandLine{{"--tray-frame", "1,2,3"},
                       "Expected rect as x,y,width,height, received 1,2,3."},
        BadCommandLine{{"--tray-frame", "1,2,3,4,5"},
                       "Expected rect as x,y,width,height, received 1,2,3,4,5."},
        BadCommandLine{{"--tray-frame", ""}, "Expected rect as x,y,width,height, received ."},
        BadCommandLine{{"--tray-frame", ",,,"}, "Expected rect as x,y,width,height, received ,,,."},
        BadCommandLine{{"--tray-frame", "1,2,x,4"}, "Expected a number, received x."},
        BadCommandLine{{"--tray-frame", "1, 2,3,4"}, "Expected a number, received  2."},
        BadCommandLine{{"--tray-frame", "1,2,3,4 "}, "Expected a number, received 4 ."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--dropzone-frame", "a,b,c,d"},
                       "Expected a number, received a."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--dropzone-frame", "1;2;3;4"},
                       "Expected rect as x,y,width,height, received 1;2;3;4."},
        // A value is consumed whatever it looks like; the tray frame is then never read.
        BadCommandLine{{"--zone-size", "--tray-frame", "1,2,3,4"},
                       "Expected a number, received --tray-frame."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--dropzone-padding", "twenty"},
                       "Expected a number, received twenty."},
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--zone-size", ""},
                       "Expected a number, received ."},
        // The first error ends the walk, ahead of the missing tray frame and of later errors.
        BadCommandLine{{"--zone-size", "x", "--tray-frame", "1,2"},
                       "Expected a number, received x."},
        BadCommandLine{{"--dropzone-frame", "1,2", "--zone-size", "x"},
                       "Expected rect as x,y,width,height, received 1,2."},
        // The last occurrence wins, so a bad second tray frame is an error...
        BadCommandLine{{"--tray-frame", "1,2,3,4", "--tray-frame", "1,2,3"},
                       "Expected rect as x,y,width,height, received 1,2,3."},
        // ...and options are matched whole and case-sensitively.
        BadCommandLine{{"--tray-frame=1,2,3,4"}, "Missing --tray-frame x,y,width,height."},
        BadCommandLine{{"--Tray-Frame", "1,2,3,4"}, "Missing --tray-frame x,y,width,height."}));

TEST(ParseArgumentsTest, ReadsEveryOptionAndKeepsTheLastOccurrence) {
  const Args arguments{"extra",
                       "--tray-frame",
                       "9,9,9,9",
                       "--zone-size",
                       "50",
                       "--tray-frame",
                       "100,800,200,30",
                       "--dropzone-frame",
                       "400,500,300,200",
                       "--dropzone-padding",
                       "-5",
                       "--zone-size",
                       "0.5",
                       "--verbose"};
  const ArgumentsResult result = parseArguments(arguments);
  ASSERT_TRUE(std::holds_alternative<SidecarSettings>(result));
  const auto& settings = std::get<SidecarSettings>(result);
  EXPECT_EQ(settings.trayFrame, (Rect{100, 800, 200, 30}));
  EXPECT_EQ(settings.dropzoneFrame, (Rect{400, 500, 300, 200}));
  EXPECT_EQ(settings.padding, -5);  // stored unchanged; clamped by the zones
  EXPECT_EQ(settings.zoneSize, 0.5);
}

TEST(ParseArgumentsTest, DefaultsWithoutOptionalOptions) {
  const ArgumentsResult result = parseArguments(Args{"--tray-frame", "1,2,3,4"});
  ASSERT_TRUE(std::holds_alternative<SidecarSettings>(result));
  const auto& settings = std::get<SidecarSettings>(result);
  EXPECT_FALSE(settings.dropzoneFrame.has_value());
  EXPECT_EQ(settings.padding, 20.0);
  EXPECT_EQ(settings.zoneSize, 100.0);
}

TEST(ParseRectTest, DropsEmptyPiecesAndKeepsSignsAndOddSizes) {
  for (const char* text : {"1,2,3,4", "1,,2,3,4", ",1,2,3,4,", ",,1,,,2,3,,4,,"}) {
    const auto rect = parseRect(text);
    ASSERT_TRUE(std::holds_alternative<Rect>(rect)) << text;
    EXPECT_EQ(std::get<Rect>(rect), (Rect{1, 2, 3, 4})) << text;
  }
  const auto odd = parseRect("-1.5,+2e2,0,-30");
  ASSERT_TRUE(std::holds_alternative<Rect>(odd));
  EXPECT_EQ(std::get<Rect>(odd), (Rect{-1.5, 200, 0, -30}));
}

struct NumberCase {
  std::string text;
  double value;  // NaN means "expect NaN"

  friend void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.text) << " reads as " << c.value;
  }
};

class AcceptedNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(AcceptedNumberTest, IsReadAsStrtodReadsIt) {
  const std::optional<double> number = parseNumber(GetParam().text);
  ASSERT_TRUE(number.has_value()) << GetParam().text;
  if (std::isnan(GetParam().value)) {
    EXPECT_TRUE(std::isnan(*number));
  } else {
    EXPECT_EQ(*number, GetParam().value);
    EXPECT_EQ(std::signbit(*number), std::signbit(GetParam().value));
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedNumberTest,
    ::testing::Values(NumberCase{"0", 0}, NumberCase{"-0", -0.0}, NumberCase{"+7", 7},
                      NumberCase{"2.5", 2.5}, NumberCase{".5", 0.5}, NumberCase{"5.", 5},
                      NumberCase{"-1e3", -1000}, NumberCase{"1E-2", 0.01}, NumberCase{"0x1p4", 16},
                      NumberCase{"0X1.8P1", 3}, NumberCase{"inf", kInf},
                      NumberCase{"-Infinity", -kInf}, NumberCase{"nan", kNaN},
                      NumberCase{"NAN(123)", kNaN},
                      // Out of range: overflow reads as infinity, underflow as
                      // zero or a subnormal, and each counts as a number.
                      NumberCase{"1e999", kInf}, NumberCase{"-1e999", -kInf},
                      NumberCase{"1e-999", 0}, NumberCase{"-1e-999", -0.0},
                      NumberCase{"4.9406564584124654e-324", 4.9406564584124654e-324}));

// Further forms strtod takes in the C locale: hexadecimal without a binary
// exponent or without an integer part, leading zeros, signed exponents, every
// spelling of the words, NaN with a payload, and the edges of the range.
INSTANTIATE_TEST_SUITE_P(
    FurtherForms, AcceptedNumberTest,
    ::testing::Values(NumberCase{"0x1.8", 1.5}, NumberCase{"0x.8", 0.5}, NumberCase{"0xAp-1", 5},
                      NumberCase{"-0x0p0", -0.0}, NumberCase{"00012", 12},
                      NumberCase{"1e+5", 100000}, NumberCase{"1e-0", 1},
                      NumberCase{"INFINITY", kInf}, NumberCase{"+inf", kInf},
                      NumberCase{"-nan", kNaN}, NumberCase{"nan()", kNaN},
                      NumberCase{"nan(abc_1)", kNaN},
                      NumberCase{"0x1p-1074", 4.9406564584124654e-324},
                      NumberCase{"0x1p99999", kInf}, NumberCase{"1e99999999999999999999", kInf},
                      NumberCase{"1.7976931348623157e308", 1.7976931348623157e308}));

TEST(ParseNumberTest, RejectsEmptyLeadingSpaceAndTrailingText) {
  for (const char* text : {"",  " 1",  "\t1", "\n1", "\v1", "\f1", "\r1", "1 ", "1\n", "1x",
                           "x", "1,5", "--1", "0x",  "1e",  "in",  "+",   "-",  ".",   "1.2.3"}) {
    EXPECT_FALSE(parseNumber(text).has_value()) << '"' << text << '"';
  }
}

// strtod reads the longest number at the front of each of these and leaves
// the rest, so none is consumed entirely.
TEST(ParseNumberTest, RejectsWhatStrtodStopsShortOf) {
  for (const char* text :
       {"0x1p", "1e+", "infinit", "nan(", "nan(a b)", "nan(a-b)", "+-1", ".e1", "e1", "0x.p1",
        "0b101", "1d", "1f", "1 000", "1_000", "\xEF\xBC\x91" /* a full-width digit one */}) {
    EXPECT_FALSE(parseNumber(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace kestrovan::sidecar
