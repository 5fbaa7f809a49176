// Reading a text/uri-list answer for file: URIs (the X11 file-URL test).
#include <gtest/gtest.h>

#include "x11/selection_x11.h"

namespace kestrovan::sidecar {
namespace {

TEST(UriListHasFileURITest, FindsFileURIsOnAnyLineSkippingComments) {
  EXPECT_TRUE(uriListHasFileURI("file:///tmp/a.txt\r\n"));
  EXPECT_TRUE(uriListHasFileURI("file:///tmp/a.txt"));  // no line end
  EXPECT_TRUE(uriListHasFileURI("https://example.com/\r\nFILE:///tmp/b\r\n"));
  EXPECT_TRUE(uriListHasFileURI("# comment\r\nfile://host/share/c\r\n"));
  EXPECT_FALSE(uriListHasFileURI(""));
  EXPECT_FALSE(uriListHasFileURI("https://example.com/file:///x\r\n"));
  EXPECT_FALSE(uriListHasFileURI("# file:///commented/out\r\n"));
  EXPECT_FALSE(uriListHasFileURI(" file:///leading/space\r\n"));
  EXPECT_FALSE(uriListHasFileURI("file\r\nfil"));
}

}  // namespace
}  // namespace kestrovan::sidecar
