// A picture that stretches up and down about a horizontal line with the scene's
// pulse: the "press enter" request of the title and of the start band.
#pragma once
#include <d3dx9math.h>

class CTexture;

class CPulsingPicture {
 public:
  // The picture from the resource cache, unstretched, anchored at (0, 0).
  explicit CPulsingPicture(const char* fileName);

  // Height scale: 1.5 × sin(0.08 × scene frame), never below 1.
  void Update();
  // Inside the frame's sprite batch: stretched vertically about the line y.
  void Draw();

  // Width and height of the picture in pixels; 0 without a picture.
  int Width() const;
  int Height() const;

  CTexture* texture;  // from the resource cache, not owned
  D3DXMATRIX transform;
  float scaleY;
  float x, y;  // left edge and vertical centre, in pixels
  float z;
};
