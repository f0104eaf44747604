// The title scene: the little title stage under its turning sky, the title
// slime whose colour the player picks with Up and Down, the pulsing "press
// enter" picture and the title music. Enter starts the game with the colour the
// slime had when the title was built, Space with its current colour; Escape
// asks whether to quit.
#pragma once
#include "chara/TitleSlime.h"

#include "scene/Scene.h"

class CPulsingPicture;
class TitleSlime;

class STitle : public CScene {
 public:
  // On the loader thread: the title's light, a plain camera, the title stage,
  // the slime, the picture, the music; the slime's colour goes to the manager.
  STitle();
  // Also stops the title music.
  ~STitle() override;

  void Update() override;
  // An empty shadow pass: nothing on the title casts a shadow.
  void DrawShadow() override;
  // Sky with lighting off, then the stage and the slime; the scene's clock advances.
  void Draw3D() override;
  void Draw2D() override;
  // Deletes the picture and the slime.
  void Release() override;
  CSlime* Slime() const override;

  CPulsingPicture* pressEnter;  // owned
  TitleSlime* titleSlime;       // owned
};
