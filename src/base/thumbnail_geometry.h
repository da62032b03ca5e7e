// Where a cover lands on the thumbnail canvas. Covers are never scaled: one larger than the
// canvas is cropped to its middle, a smaller one sits in a white border.
#pragma once

namespace kivo {

struct Placement {
  int x;
  int y;
  int width;
  int height;
};

// The cover at its own size, centred; the offsets truncate toward zero, so an odd surplus
// leaves the extra pixel on the right or bottom.
Placement CentreOnCanvas(int canvasWidth, int canvasHeight, int coverWidth, int coverHeight);

}  // namespace kivo
