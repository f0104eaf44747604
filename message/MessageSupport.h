// What the two screen messages share: their pictures from the resource cache,
// the client-area size they are laid out in, the Enter key, the button sound
// and the scene's clock.
#pragma once

class CTexture;

namespace message_support {

// The picture from the resource cache; null without a cache or a file.
CTexture* CachedTexture(const char* fileName);
// The client area's width and height in pixels.
float ClientWidth();
float ClientHeight();
// Enter went down this frame / is down (pressed or held).
bool EnterPressed();
bool EnterDown();
// "button_derection.wav", restarted.
void PlayButtonSound();
// The running scene's frame counter; 0 without a scene.
int SceneFrame();

}  // namespace message_support
