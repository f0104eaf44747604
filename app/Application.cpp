#include "app/Application.h"

#include <cstdlib>

#include <d3d9.h>
#include <mmsystem.h>

#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/Mouse.h"
#include "app/SoundManager.h"
#include "render/ResourceCache.h"
#include "scene/LoadFlag.h"
#include "scene/SceneManager.h"

namespace {

constexpr char kClassName[] = "Window";
constexpr char kTitle[] = "glomp! ver1.0.2";
constexpr char kIconFile[] = "data/icon/ICON.ico";
constexpr DWORD kFrameMilliseconds = 16;

// Shift-JIS texts of the message boxes.
constexpr char kFullScreenQuestion[] =  // "フルスクリーンにしますか？"
    "\x83\x74\x83\x8B\x83\x58\x83\x4E\x83\x8A\x81\x5B\x83\x93\x82\xC9\x82\xB5\x82\xDC\x82\xB7"
    "\x82\xA9\x81\x48";
constexpr char kFullScreenCaption[] = "glomp!";
constexpr char kDeviceError[] = "Direct3D\x8F\x89\x8A\xFA\x89\xBB\x83\x7E\x83\x58";  // "Direct3D初期化ミス"
constexpr char kQuitQuestion[] =  // "終了しますか？"
    "\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
constexpr char kQuitCaption[] = "\x8F\x49\x97\xB9\x8A\x6D\x94\x46";  // "終了確認"

template <typename T>
void DeleteAndClear(T*& object) {
  delete object;
  object = nullptr;
}

}  // namespace

CApplication& CApplication::GetInstance() {
  static CApplication application;
  return application;
}

bool CApplication::Init(HINSTANCE instanceHandle, int width, int height) {
  instance = instanceHandle;

  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = WndProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  const UINT iconLoad = LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_SHARED;
  windowClass.hIcon = static_cast<HICON>(LoadImageA(nullptr, kIconFile, IMAGE_ICON, 0, 0, iconLoad));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageA(nullptr, kIconFile, IMAGE_ICON, 0, 0, iconLoad));
  if (RegisterClassExA(&windowClass) == 0) return false;

  // No sizing border: the client area stays 1280 x 720.
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  window = CreateWindowExA(0, kClassName, kTitle, style, 0, 0, width, height, nullptr, nullptr,
                           instance, nullptr);
  FitClientArea(window, width, height);  // its WM_SIZE stores the client size
  timeBeginPeriod(1);

  const bool fullScreen =
      MessageBoxA(window, kFullScreenQuestion, kFullScreenCaption,
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;

  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (!graphics.Create(window, clientWidth, clientHeight, D3DFMT_X8R8G8B8, fullScreen)) {
    MessageBoxA(window, kDeviceError, "", MB_OK);
    // Whatever the failed creation got hold of is let go; Shutdown will not run.
    graphics.Release();
    return false;
  }
  graphics.SetDefaultStates();

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  quitRequested = false;
  quit = false;

  g_keyboard = new CKeyboard();
  g_resourceCache = new CResourceCache();
  g_soundManager = new CSoundManager(window);
  g_soundManager->Load();
  g_mouse = new CMouse();
  g_loadFlag = new CLoadFlag();
  g_sceneManager = new CSceneManager();
  // The title is built on the loader thread behind the loading picture.
  g_sceneManager->LoadScene();
  // The effect objects are initialised here, in this order: toonShader, shadowMap,
  // blurShader, edgeShader, environmentMap.
  // An effect file that fails shows its compile error box and the game goes on without it.
  toonShader.Create();
  shadowMap.Create();
  blurShader.Create();
  edgeShader.Create();
  environmentMap.Create();
  return true;
}

int CApplication::Run() {
  MSG msg;
  for (;;) {
    if (quitRequested) {
      if (MessageBoxA(window, kQuitQuestion, kQuitCaption,
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
        quit = true;
        return 0;
      }
      quitRequested = false;
      // Poll once more so that an Escape still held reads as held, not as a new press.
      g_keyboard->Update();
    }
    if (quit) return 0;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;  // every pending message is handled before a frame runs
    }
    RunFrame();
  }
}

void CApplication::RunFrame() {
  std::rand();  // one value is drawn and discarded every frame
  g_keyboard->Update();
  g_mouse->Update();
  const DWORD start = timeGetTime();
  g_sceneManager->Update();
  g_soundManager->Update();  // carries out this frame's play and stop requests
  g_sceneManager->Draw();
  CGraphicsDevice::GetInstance().device->Present(nullptr, nullptr, nullptr, nullptr);
  const DWORD elapsed = timeGetTime() - start;
  if (elapsed < kFrameMilliseconds) Sleep(kFrameMilliseconds - elapsed);
}

void CApplication::Shutdown() {
  DeleteAndClear(g_keyboard);
  DeleteAndClear(g_resourceCache);  // frees every cached texture and mesh
  DeleteAndClear(g_sceneManager);   // deletes the current scene
  DeleteAndClear(g_mouse);
  DeleteAndClear(g_soundManager);
  DeleteAndClear(g_loadFlag);
  // Then the effects: toonShader's effect and its five textures, shadowMap's
  // effect, blurShader, edgeShader, environmentMap.
  toonShader.Destroy();  // its effect, then its five textures
  shadowMap.Destroy();   // with its target and depth surface, before the device goes
  blurShader.Destroy();
  edgeShader.Destroy();
  environmentMap.Destroy();
  CGraphicsDevice::GetInstance().Release();
}

void CApplication::FitClientArea(HWND target, int width, int height) {
  RECT windowRect, clientRect;
  GetWindowRect(target, &windowRect);
  GetClientRect(target, &clientRect);
  const int frameWidth = (windowRect.right - windowRect.left) - (clientRect.right - clientRect.left);
  const int frameHeight = (windowRect.bottom - windowRect.top) - (clientRect.bottom - clientRect.top);
  MoveWindow(target, windowRect.left, windowRect.top, frameWidth + width, frameHeight + height,
             TRUE);
}

LRESULT CALLBACK CApplication::WndProc(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  CApplication& application = GetInstance();
  switch (message) {
    case WM_SIZE: {
      RECT client;
      GetClientRect(target, &client);
      application.clientWidth = client.right;
      application.clientHeight = client.bottom;
      return 0;
    }
    case WM_CLOSE:
      // Never closed directly: the main loop asks first.
      application.quitRequested = true;
      return 0;
    default:
      return DefWindowProcA(target, message, wParam, lParam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CApplication& application = CApplication::GetInstance();
  if (application.Init(instance, 1280, 720)) {
    std::srand(timeGetTime());
    std::rand();
    application.Run();
    application.Shutdown();
  }
  return 0;
}
