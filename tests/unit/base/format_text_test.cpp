#include "base/format_text.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(FillPlaceholders, ReplacesNumberedArgumentsAndKeepsOtherPercents) {
  EXPECT_EQ("a.exe from host", FillPlaceholders("%1 from %2", {"a.exe", "host"}));
  EXPECT_EQ("42% of a.exe Completed", FillPlaceholders("%1% of %2 Completed", {"42", "a.exe"}));
  EXPECT_EQ("x %2 y", FillPlaceholders("x %2 y", {"only one"}));
  EXPECT_EQ("100%", FillPlaceholders("100%", {}));
  EXPECT_EQ("%%1", FillPlaceholders("%%1", {}));
  EXPECT_EQ("b a", FillPlaceholders("%2 %1", {"a", "b"}));
}

TEST(FillPlaceholders, ArgumentsAreNotScannedAgain) {
  EXPECT_EQ("%2 and x", FillPlaceholders("%1 and %2", {"%2", "x"}));
}

}  // namespace
}  // namespace kivo
