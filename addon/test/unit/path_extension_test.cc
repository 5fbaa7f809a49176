#include <gtest/gtest.h>

#include "drag/path_extension.h"

namespace kestrovan {
namespace {

TEST(PathExtension, TextAfterTheLastPeriodOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* extension;
  } cases[] = {
      {"report.pdf", "pdf"},
      {"archive.tar.gz", "gz"},
      {"README", ""},
      {"name.", ""},
      {".profile", ""},  // a leading period starts a hidden name, not an extension
      {".hidden.txt", "txt"},
      {"dir.d/file", ""},
      {"dir/file.TXT", "TXT"},
      {"photos.zip/", "zip"},
      {"", ""},
      {"/", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(pathExtension(c.path), c.extension) << c.path;
}

}  // namespace
}  // namespace kestrovan
