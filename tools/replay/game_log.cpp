#include "game_log.h"

#include <cmath>
#include <vector>

#include "camera/ClearCamera.h"
#include "chara/Player.h"
#include "message/ClearMessage.h"
#include "message/StartMessage.h"
#include "scene/Game.h"
#include "scene/SceneManager.h"
#include "stage/MOS_CheckPoint.h"
#include "stage/MOS_Gate.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace {

const char* Bool(bool value) { return value ? "true" : "false"; }

void Vector(std::ostream& out, const D3DXVECTOR3& v) {
  out << '[' << v.x << ", " << v.y << ", " << v.z << ']';
}

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

const SGame* RunningGame() {
  return g_sceneManager ? dynamic_cast<const SGame*>(g_sceneManager->current) : nullptr;
}

std::vector<MapObjectStruct*> StageObjects(const SGame& game) {
  return game.stage && game.stage->objects ? game.stage->objects->Objects()
                                           : std::vector<MapObjectStruct*>{};
}

// The index of the object the player stands on, or null.
void StandingOn(std::ostream& out, const SGame& game, const MapObjectStruct* object) {
  const std::vector<MapObjectStruct*> objects = StageObjects(game);
  for (size_t i = 0; object && i < objects.size(); ++i) {
    if (objects[i] == object) {
      out << i;
      return;
    }
  }
  out << "null";
}

// Length of a matrix row: the scale along that axis.
float RowLength(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

}  // namespace

void WriteBones(std::ostream& out, const CSlime& slime) {
  out << '[';
  // The node list is in frame order and the core is frame 0.
  bool first = true;
  for (const auto* node : slime.meshObject.nodes) {
    out << (first ? "" : ", ");
    Vector(out, TranslationOf(node->combinedMatrix));
    first = false;
  }
  out << ']';
}

void WritePhase(std::ostream& out) {
  const SGame* game = RunningGame();
  if (game) {
    out << game->phase;
  } else {
    out << "null";
  }
}

void WriteFallReturns(std::ostream& out) {
  const SGame* game = RunningGame();
  if (game) {
    out << game->returns;
  } else {
    out << "null";
  }
}

void WritePlayer(std::ostream& out) {
  const SGame* game = RunningGame();
  const Player* player = game ? game->player : nullptr;
  if (!player) {
    out << "null";
    return;
  }
  out << "{\"world\": [";
  for (int i = 0; i < 16; ++i) out << (i ? ", " : "") << player->world.m[i / 4][i % 4];
  out << "], \"position\": ";
  Vector(out, player->position);
  out << ", \"last_position\": ";
  Vector(out, player->lastPosition);
  out << ", \"velocity\": ";
  Vector(out, player->velocity);
  out << ", \"angles\": ";
  Vector(out, player->angles);
  out << ", \"on_ground\": " << Bool(player->onGround)
      << ", \"wall_touch\": " << Bool(player->wallTouch)
      << ", \"wall_stick\": " << Bool(player->wallStick)
      << ", \"wall_stick_frames\": " << player->wallStickFrames
      << ", \"wall_jump\": " << Bool(player->wallJump) << ", \"wall_normal\": ";
  Vector(out, player->wallNormal);
  out << ", \"ground_normal\": ";
  Vector(out, player->groundNormal);
  out << ", \"standing_on\": ";
  StandingOn(out, *game, player->standingOn);
  out << ", \"anchor\": ";
  Vector(out, player->anchor);
  out << ", \"clear_state\": " << player->clearState
      << ", \"clear_count\": " << player->clearCount << ", \"colour\": [" << player->colour.r
      << ", " << player->colour.g << ", " << player->colour.b << ", " << player->colour.a
      << "], \"bones\": ";
  WriteBones(out, *player);
  out << '}';
}

void WriteStartMessage(std::ostream& out) {
  const SGame* game = RunningGame();
  const CStartMessage* message = game ? game->startMessage : nullptr;
  if (!message) {
    out << "null";
    return;
  }
  const D3DXMATRIX& band = message->band;
  out << "{\"active\": " << Bool(message->active) << ", \"closing\": " << Bool(message->closing)
      << ", \"band_scale\": " << RowLength(band._21, band._22, band._23) << '}';
}

void WriteClearMessage(std::ostream& out) {
  const SGame* game = RunningGame();
  const CClearMessage* message = game ? game->clearMessage : nullptr;
  if (!message) {
    out << "null";
    return;
  }
  const D3DXMATRIX& picture = message->transform;
  out << "{\"gate_may_open\": " << Bool(message->gateMayOpen)
      << ", \"shown\": " << Bool(message->shown)
      << ", \"scale\": " << RowLength(picture._21, picture._22, picture._23)
      << ", \"alpha\": " << message->alpha << ", \"cell\": " << message->cell << '}';
}

void WriteClearCamera(std::ostream& out) {
  const SGame* game = RunningGame();
  const ClearCamera* camera = game ? dynamic_cast<const ClearCamera*>(game->camera) : nullptr;
  if (!camera) {
    out << "null";
    return;
  }
  out << "{\"wait_frames\": " << camera->waitFrames << ", \"t\": " << camera->t
      << ", \"speed\": " << camera->speed << '}';
}

void WriteCheckpoints(std::ostream& out) {
  const SGame* game = RunningGame();
  if (!game) {
    out << "null";
    return;
  }
  const std::vector<MapObjectStruct*> objects = StageObjects(*game);
  out << '[';
  bool first = true;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->kind != MAP_OBJECT_CHECKPOINT) continue;
    out << (first ? "" : ", ") << "{\"index\": " << i << ", \"number\": " << objects[i]->number
        << ", \"reached\": " << Bool(objects[i]->state) << '}';
    first = false;
  }
  out << ']';
}

void WriteGates(std::ostream& out) {
  const SGame* game = RunningGame();
  if (!game) {
    out << "null";
    return;
  }
  const std::vector<MapObjectStruct*> objects = StageObjects(*game);
  out << '[';
  bool first = true;
  for (size_t i = 0; i < objects.size(); ++i) {
    const MOS_Gate* gate = dynamic_cast<const MOS_Gate*>(objects[i]);
    if (!gate) continue;
    out << (first ? "" : ", ") << "{\"index\": " << i << ", \"turned\": " << gate->turned
        << ", \"wobble_frames\": " << gate->wobbleFrames << '}';
    first = false;
  }
  out << ']';
}
