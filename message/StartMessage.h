// The start band of the game scene: once the start camera has settled over the
// stage, a half-transparent black band opens across the middle of the screen,
// shows the stage-start picture and a pulsing prompt for the Enter key, and on
// a fresh Enter closes again and sends the start camera back.
#pragma once
#include <d3dx9math.h>

class CPulsingPicture;
class CTexture;

class CStartMessage {
 public:
  // The pictures from the resource cache, placed for the client area; inactive.
  CStartMessage();
  ~CStartMessage();
  CStartMessage(const CStartMessage&) = delete;
  CStartMessage& operator=(const CStartMessage&) = delete;

  // Opening: the band grows fourfold a frame until it covers the screen height,
  // then the prompt pulses and Enter (pressed this frame) starts the closing.
  // Closing: the band shrinks fourfold a frame back to a sliver, then the
  // message ends for good and the start camera is sent back.
  void Update();
  // Inside the frame's sprite batch: the band, and the picture and prompt only
  // while the band covers the whole screen height.
  void Draw();

  // The band's vertical scale (the length of its matrix's second row).
  float BandScale() const;
  // Whether the band reaches the top of the screen (picture and prompt shown).
  bool BandCoversScreen() const;

  CTexture* picture;      // "data/texture/message/start_message.png", from the cache
  D3DXMATRIX transform;   // the picture at 1.5 times its size, centred
  CTexture* bandTexture;  // "data/texture/white.png", from the cache
  D3DXMATRIX band;        // full width; a sliver at mid-height at first
  CPulsingPicture* prompt;  // owned: the "press enter" picture near the bottom
  bool active;   // raised by the start camera
  bool closing;  // Enter has been pressed

 private:
  // Width and height of the white picture; 1 for a missing one, so the band
  // still opens and closes (and draws nothing).
  float BandPictureWidth() const;
  float BandPictureHeight() const;
  // Scales the band vertically by `factor` and centres it on the screen again.
  void ScaleBand(float factor);
};
