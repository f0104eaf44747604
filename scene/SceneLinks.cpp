#include "scene/SceneLinks.h"

#include "chara/TitleSlime.h"

#include "camera/Camera.h"
#include "chara/CharaLinks.h"
#include "scene/Scene.h"
#include "scene/SceneManager.h"
#include "scene/Title.h"
#include "stage/Stage.h"

namespace {

CharaSceneView DescribeForCharacters() {
  CharaSceneView view;
  const CSceneManager* manager = g_sceneManager;
  if (!manager) return view;
  view.fading = manager->fading;
  view.playerColour = manager->slimeColour;
  CScene* scene = manager->current;
  if (!scene) return view;
  view.sceneId = manager->currentId.load();
  if (scene->stage) view.objects = scene->stage->objects;
  if (scene->camera) view.cameraWorld = scene->camera->world;
  // The title slime is the slime of every scene but the game's; the game
  // scene's player joins here when that scene exists.
  if (const STitle* title = dynamic_cast<const STitle*>(scene)) view.slime = title->titleSlime;
  return view;
}

}  // namespace

void RegisterCharaSceneSource() { SetCharaSceneSource(DescribeForCharacters); }

void UnregisterCharaSceneSource() { SetCharaSceneSource(nullptr); }

