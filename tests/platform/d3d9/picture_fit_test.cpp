// The back buffer in a window of another shape: scaled to fit, aspect kept,
// centred between bars.
#include <gtest/gtest.h>

#include "platform/d3d9/picture_fit.h"

namespace glomp::d3d9 {
namespace {

void ExpectFit(FittedPicture fit, int x, int y, int width, int height) {
  EXPECT_EQ(fit.x, x);
  EXPECT_EQ(fit.y, y);
  EXPECT_EQ(fit.width, width);
  EXPECT_EQ(fit.height, height);
}

TEST(PictureFit, WideAndTallDesktopsGetBarsOnTheNarrowSidesOnly) {
  ExpectFit(FitPicture(1280, 720, 1280, 720), 0, 0, 1280, 720);     // same size
  ExpectFit(FitPicture(1280, 720, 1920, 1080), 0, 0, 1920, 1080);   // same shape, larger
  ExpectFit(FitPicture(1280, 720, 1920, 1200), 0, 60, 1920, 1080);  // 16:10: bars above and below
  ExpectFit(FitPicture(1280, 720, 2560, 1080), 320, 0, 1920, 1080); // ultra-wide: bars at the sides
  ExpectFit(FitPicture(1280, 720, 1024, 768), 0, 96, 1024, 576);
}

TEST(PictureFit, EmptySizesFillTheWindowWithoutDividingByZero) {
  ExpectFit(FitPicture(0, 720, 800, 600), 0, 0, 800, 600);
  ExpectFit(FitPicture(1280, 0, 800, 600), 0, 0, 800, 600);
  ExpectFit(FitPicture(1280, 720, 0, 0), 0, 0, 0, 0);
}

}  // namespace
}  // namespace glomp::d3d9
