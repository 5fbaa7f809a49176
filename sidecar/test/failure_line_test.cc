// The failure line on standard error: control characters in the reason are
// escaped so that it stays exactly one line; everything else is unchanged.
#include "core/failure_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "core/run_sidecar.h"
#include "test/fake_platform.h"

namespace kestrovan::sidecar {
namespace {

struct EscapeCase {
  std::string text;
  std::string escaped;

  friend void PrintTo(const EscapeCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.text);
  }
};

class EscapeControlCharactersTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeControlCharactersTest, WritesControlCharactersAsEscapes) {
  EXPECT_EQ(escapeControlCharacters(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Table, EscapeControlCharactersTest,
                         ::testing::Values(EscapeCase{"", ""}, EscapeCase{"1,2,x,4", "1,2,x,4"},
                                           EscapeCase{"a\nb", "a\\nb"},
                                           EscapeCase{"\r\n", "\\r\\n"}, EscapeCase{"\tx", "\\tx"},
                                           EscapeCase{std::string("a\0b", 3), "a\\u0000b"},
                                           EscapeCase{"\x01\x1B\x1F", "\\u0001\\u001B\\u001F"},
                                           EscapeCase{"\x0B\x0C", "\\u000B\\u000C"},
                                           EscapeCase{"\x7F", "\\u007F"},
                                           // Not control characters: space, backslash, tilde, UTF-8
                                           // (also C1 code points, which are two bytes of UTF-8).
                                           EscapeCase{" \\~", " \\~"},
                                           EscapeCase{"\xC3\xA9\xC2\x85", "\xC3\xA9\xC2\x85"},
                                           EscapeCase{"\\n", "\\n"}));

TEST(FailureLineTest, IsThePrefixTheEscapedReasonAndOneLineFeed) {
  EXPECT_EQ(failureLine("Expected a number, received 2\n."),
            "[KestrovanDragDropzone] Sidecar failed: Expected a number, received 2\\n.\n");
}

TEST(FailureLineTest, ACommandLineValueWithLineBreaksGivesExactlyOneLine) {
  testing::FakePlatform platform;
  const std::vector<std::string> arguments{"--tray-frame", "1,2,3,4\nDRAG_ENTER\n"};
  EXPECT_EQ(runSidecar(arguments, platform), kExitBadCommandLine);
  ASSERT_EQ(platform.errorWrites.size(), 1u);
  const std::string& line = platform.errorWrites.front();
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
  EXPECT_EQ(line,
            "[KestrovanDragDropzone] Sidecar failed: Expected a number, received "
            "4\\nDRAG_ENTER\\n.\n");
  EXPECT_TRUE(platform.outputWrites.empty());
}

TEST(FailureLineTest, AWindowServerReasonIsEscapedToo) {
  testing::FakePlatform platform;
  platform.connectFailure = "Cannot open the X display \":1\n2\".";
  const std::vector<std::string> arguments{"--tray-frame", "1,2,3,4"};
  EXPECT_EQ(runSidecar(arguments, platform), kExitNoWindowServer);
  EXPECT_EQ(platform.errorWrites,
            std::vector<std::string>{
                "[KestrovanDragDropzone] Sidecar failed: Cannot open the X display \":1\\n2\".\n"});
}

}  // namespace
}  // namespace kestrovan::sidecar
