// The picture shown while the loader thread builds a scene: the loading message
// cut into ten vertical slices that stretch upwards one after another.
#pragma once

class CTexture;

class CLoadingScreen {
 public:
  // Fetches "data/texture/message/loading_message.png" from the resource cache.
  CLoadingScreen();

  void Reset() { counter = 0; }
  // Draws the ten slices (inside the sprite batch), then counts the frame.
  void Draw();

  static constexpr int kSliceCount = 10;
  static constexpr int kSliceDelay = 3;  // frames between a slice and its right neighbour
  static constexpr int kMargin = 50;     // pixels from the client area's right and bottom

  CTexture* texture;  // not owned; a picture that failed to load draws nothing
  int counter;        // frames drawn since the last Reset
};
