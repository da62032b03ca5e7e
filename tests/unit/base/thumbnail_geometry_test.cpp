#include "base/thumbnail_geometry.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(CentreOnCanvas, CentresAtOwnSizeTruncatingTowardZero) {
  struct Case {
    int coverWidth, coverHeight;
    int x, y;
  };
  const Case cases[] = {
      {100, 100, 0, 0},    // fills the canvas exactly
      {160, 120, -30, -10},  // its middle 100 x 100 shows
      {75, 75, 12, 12},    // 12 pixels of border left and top, 13 right and bottom
      {101, 100, 0, 0},    // -1 / 2 is 0: only the rightmost column is lost
      {103, 100, -1, 0},   // -3 / 2 is -1
      {100, 99, 0, 0},     // the extra row of border goes to the bottom
      {1, 1, 49, 49},
      {0, 0, 50, 50},      // an empty cover draws nothing
      {5000, 40, -2450, 30},
  };
  for (const Case& c : cases) {
    Placement p = CentreOnCanvas(100, 100, c.coverWidth, c.coverHeight);
    EXPECT_EQ(c.x, p.x) << c.coverWidth << "x" << c.coverHeight;
    EXPECT_EQ(c.y, p.y) << c.coverWidth << "x" << c.coverHeight;
    EXPECT_EQ(c.coverWidth, p.width);
    EXPECT_EQ(c.coverHeight, p.height);
  }
}

}  // namespace
}  // namespace kivo
