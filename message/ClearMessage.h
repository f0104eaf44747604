// The clear picture of the game scene. Hidden until the first gate has finished
// opening; then it grows from the centre of the screen, blinks a yellow copy
// over itself, plays the confetti sheet over the whole screen additively, and
// Enter (pressed or held) returns to the title.
#pragma once
#include <d3d9.h>
#include <d3dx9math.h>

class CTexture;

class CClearMessage {
 public:
  // The pictures from the resource cache; hidden, gates closed.
  CClearMessage();

  // Growth by 1.1 a frame, centred, until the scale reaches 2; after that the
  // confetti steps every 3 scene frames, the yellow copy blinks and Enter leaves.
  void Update();
  // Inside the frame's sprite batch: the picture, its yellow copy and, once
  // grown, the confetti cell over the whole screen.
  void Draw();

  // The picture's current scale (the length of the transform's second row).
  float Scale() const;
  bool Grown() const;
  // The confetti sheet's columns of 640 × 480 cells, and the source rectangle
  // of `cell` on it.
  int ConfettiColumns() const;
  RECT ConfettiSource(int cell) const;

  CTexture* picture;     // "data/texture/message/clear_message.png", from the cache
  D3DXMATRIX transform;  // scale 0.1 at the screen centre at first
  CTexture* confetti;    // "data/texture/kamifubuki.png": 640 × 480 cells, rows of columns
  int cell;              // confetti cell shown, 0..35
  int alpha;             // opacity of the yellow copy, 0..255
  bool gateMayOpen;      // set when the clear camera has reached its final pose
  bool shown;            // set by the first gate that has finished opening

 private:
  void DrawConfetti() const;
};
