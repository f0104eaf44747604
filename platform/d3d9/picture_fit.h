// Where Present puts the back buffer in a window of another size (a full-screen
// desktop): as large as fits with the picture's aspect kept, centred; black
// bars fill the rest.
#pragma once

namespace glomp::d3d9 {

struct FittedPicture {
  int x, y, width, height;  // window pixels, top-left origin
};
FittedPicture FitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight);

}  // namespace glomp::d3d9
