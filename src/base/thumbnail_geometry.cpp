#include "base/thumbnail_geometry.h"

namespace kivo {

Placement CentreOnCanvas(int canvasWidth, int canvasHeight, int coverWidth, int coverHeight) {
  // C++ division truncates toward zero, which is the rule for a cover wider than the canvas:
  // (100 - 101) / 2 is 0, not -1.
  return Placement{(canvasWidth - coverWidth) / 2, (canvasHeight - coverHeight) / 2, coverWidth,
                   coverHeight};
}

}  // namespace kivo
