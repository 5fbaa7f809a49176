#include "drag/file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrovan {
namespace {

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

TEST(FileName, RefusesWhatIsNotOneName) {
  const std::string refused[] = {
      "",
      ".",
      "..",
      "a/b.txt",
      "../../../tmp/escaped.txt",
      "/",
      "dir/",
      "/abs",
      std::string("a\0b", 3),
      "line\nbreak",
      "carriage\rreturn",
      "tab\there",
      "escape\x1B[31m",
      "unit\x1Fseparator",
      "delete\x7F",
      repeat("a", 256),
      repeat("\xC3\xA9", 128),                  // é: 256 bytes
      repeat("\xF0\x9F\x98\x80", 64),           // 😀: 256 bytes
      repeat("\xEF\xBF\xBD", 86),               // U+FFFD (a lone surrogate's reading): 258 bytes
      repeat("\xF0\x9F\x98\x80", 63) + "abcd",  // 256 bytes
  };
  for (const std::string& name : refused) EXPECT_FALSE(isOneFileName(name)) << name;
}

TEST(FileName, KeepsEveryNameTheFinderAccepts) {
  const std::string accepted[] = {
      "a",
      "report.pdf",
      "with spaces .txt",
      " leading and trailing ",
      "colon:name.txt",
      ".hidden",
      "...",
      ".. ",
      "..a",
      "a..b",
      "back\\slash",
      "%@ %s %n",
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt",          // 日本語.txt
      "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A",                  // عربي
      "\xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",  // emoji with a modifier
      "\xC2\x85 next line, \xE2\x80\xA8 line separator",   // not C0 controls
      repeat("a", 255),
      repeat("\xC3\xA9", 127) + "a",           // 255 bytes
      repeat("\xF0\x9F\x98\x80", 63) + "abc",  // 255 bytes
      repeat("\xEF\xBF\xBD", 85),              // 255 bytes
  };
  for (const std::string& name : accepted) EXPECT_TRUE(isOneFileName(name)) << name;
}

}  // namespace
}  // namespace kestrovan
