#include "bridge/native_log.h"

#include <gtest/gtest.h>

#include "fakes/recorded_diagnostics.h"

namespace kestrovan {
namespace {

TEST(NativeLog, WritesOneTaggedLineWithTheMessageAsGiven) {
  fake::clearDiagnosticLines();
  nativeLogLine("token=", std::string("%@"), " count=", int64_t{3});
  nativeLog("");
  ASSERT_EQ(fake::diagnosticLines().size(), 2u);
  EXPECT_EQ(fake::diagnosticLines()[0], "[KestrovanNativeFilePromise] token=%@ count=3");
  EXPECT_EQ(fake::diagnosticLines()[1], "[KestrovanNativeFilePromise] ");
}

}  // namespace
}  // namespace kestrovan
