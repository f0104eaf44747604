#include "state_log.h"

#include "game_log.h"

#include <cstdio>
#include <sstream>

#include "app/Application.h"
#include "app/Keyboard.h"
#include "app/Mouse.h"
#include "app/SoundManager.h"
#include "camera/Camera.h"
#include "chara/TitleSlime.h"
#include "glomp/fullscreen.h"
#include "scene/Scene.h"
#include "scene/SceneManager.h"
#include "scene/Title.h"

namespace {

using FieldWriter = void (*)(std::ostream&, const FrameFacts&);

void Frame(std::ostream& out, const FrameFacts& facts) { out << facts.frame; }

void Time(std::ostream& out, const FrameFacts& facts) { out << facts.time; }

void Keys(std::ostream& out, const FrameFacts&) {
  out << '[';
  for (int slot = 0; slot < CKeyboard::kSlotCount; ++slot) {
    out << (slot ? "," : "") << (g_keyboard ? g_keyboard->state[slot] : 0);
  }
  out << ']';
}

void MouseDx(std::ostream& out, const FrameFacts&) { out << (g_mouse ? g_mouse->dx : 0); }

void MessageBoxText(std::ostream& out, const FrameFacts& facts) {
  out << (facts.messageBox ? JsonString(*facts.messageBox) : "null");
}

void Sounds(std::ostream& out, const FrameFacts&) { out << SoundLogJson(); }

void SceneIdField(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager ? g_sceneManager->currentId.load() : -1);
}

void Fading(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager && g_sceneManager->fading ? "true" : "false");
}

void FadeAlpha(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager ? g_sceneManager->fadeAlpha : 0);
}

void Changing(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager && g_sceneManager->changing ? "true" : "false");
}

void FrameCount(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager && g_sceneManager->current ? g_sceneManager->current->frameCount : 0);
}

void LoadingFrames(std::ostream& out, const FrameFacts&) {
  out << (g_sceneManager ? g_sceneManager->loadingFrames.load() : 0);
}

void Vector3(std::ostream& out, const D3DXVECTOR3& v) {
  out << '[' << v.x << ", " << v.y << ", " << v.z << ']';
}

// The title slime while a title scene runs, null otherwise.
void TitleSlimeState(std::ostream& out, const FrameFacts&) {
  const STitle* title =
      g_sceneManager ? dynamic_cast<const STitle*>(g_sceneManager->current) : nullptr;
  const TitleSlime* slime = title ? title->titleSlime : nullptr;
  if (slime) {
    const D3DXCOLOR& c = slime->colour;
    out << "{\"position\": ";
    Vector3(out, slime->position);
    out << ", \"velocity\": ";
    Vector3(out, slime->velocity);
    out << ", \"on_ground\": " << (slime->onGround ? "true" : "false")
        << ", \"hue\": " << slime->hue << ", \"colour\": [" << c.r << ", " << c.g << ", " << c.b
        << ", " << c.a << "], \"hop_delay\": " << slime->hopDelay << ", \"bones\": ";
    WriteBones(out, *slime);
    out << '}';
    return;
  }
  out << "null";
}

// The world translation of the current scene's camera; null without one.
void CameraTranslation(std::ostream& out, const FrameFacts&) {
  const CScene* scene = g_sceneManager ? g_sceneManager->current : nullptr;
  if (!scene || !scene->camera) {
    out << "null";
    return;
  }
  const D3DXMATRIX& world = scene->camera->world;
  Vector3(out, D3DXVECTOR3(world._41, world._42, world._43));
}

template <void (*Write)(std::ostream&)>
void GameField(std::ostream& out, const FrameFacts&) {
  Write(out);
}

void QuitRequested(std::ostream& out, const FrameFacts&) {
  out << (CApplication::GetInstance().quitRequested ? "true" : "false");
}

struct Field {
  const char* name;
  FieldWriter write;
};

constexpr Field kFrameFields[] = {
    {"frame", Frame},
    {"time", Time},
    {"keys", Keys},
    {"mouse_dx", MouseDx},
    {"messagebox", MessageBoxText},
    {"sounds", Sounds},
    {"scene", SceneIdField},
    {"fading", Fading},
    {"fade_alpha", FadeAlpha},
    {"changing", Changing},
    {"frame_count", FrameCount},
    {"loading_frames", LoadingFrames},
    {"title_slime", TitleSlimeState},
    {"camera", CameraTranslation},
    {"phase", GameField<WritePhase>},
    {"player", GameField<WritePlayer>},
    {"fall_returns", GameField<WriteFallReturns>},
    {"start_message", GameField<WriteStartMessage>},
    {"clear_message", GameField<WriteClearMessage>},
    {"clear_camera", GameField<WriteClearCamera>},
    {"checkpoints", GameField<WriteCheckpoints>},
    {"gates", GameField<WriteGates>},
    {"quit_requested", QuitRequested},
};

}  // namespace


void WriteWindowLine(std::ostream& out) {
  const CApplication& application = CApplication::GetInstance();
  char title[256] = "";
  GetWindowTextA(application.window, title, sizeof title);
  // What the desktop shows, not what the device was asked for.
  const bool fullScreen = glomp::win32::IsFullScreen(application.window);
  out << "{\"window\": {\"title\": " << JsonString(title)
      << ", \"client_width\": " << application.clientWidth
      << ", \"client_height\": " << application.clientHeight
      << ", \"fullscreen\": " << (fullScreen ? "true" : "false") << "}}\n";
}

void WriteFrameLine(std::ostream& out, const FrameFacts& facts) {
  out << '{';
  bool first = true;
  for (const Field& field : kFrameFields) {
    out << (first ? "" : ", ") << '"' << field.name << "\": ";
    field.write(out, facts);
    first = false;
  }
  out << "}\n";
}
