// The application object: the window, the main loop with its 16 ms frame pace,
// the quit question, and the start-up and tear-down order of everything else.
#pragma once
#include <windows.h>

#include "render/BlurShader.h"
#include "render/EdgeShader.h"
#include "render/EnvironmentMap.h"
#include "render/ShadowMap.h"
#include "render/StencilClip.h"
#include "render/ToonShader.h"

class CApplication {
 public:
  // The one application object, built on first use (also from the scene loader thread).
  static CApplication& GetInstance();

  bool Init(HINSTANCE instance, int width, int height);
  // The main loop; returns 0 once the user has confirmed quitting.
  int Run();
  void Shutdown();
  // Resizes the window, keeping its top-left corner, so that its client area is width x height.
  void FitClientArea(HWND window, int width, int height);
  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  int clientWidth = 0;   // written only on WM_SIZE
  int clientHeight = 0;  // written only on WM_SIZE
  bool quitRequested = false;  // close box or the title's Escape; cleared when the user says No
  bool quit = false;           // the user confirmed; ends the main loop

  // The effect objects, made at the end of Init and released by Shutdown.
  CShadowMap shadowMap;
  CToonShader toonShader;
  CBlurShader blurShader;
  CEdgeShader edgeShader;
  CEnvironmentMap environmentMap;
  StencilClip stencilClip;

 private:
  CApplication() = default;
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  void RunFrame();
};

// The program's entry point: Init, then Run and Shutdown when Init succeeded. Always 0.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
