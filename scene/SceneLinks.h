// How the characters see the running scene: they read it through a description
// that the scene manager registers here (they do not include the scenes).
#pragma once

// Registers the description of the scene manager's current scene with the
// characters; Unregister leaves them describing no scene.
void RegisterCharaSceneSource();
void UnregisterCharaSceneSource();
