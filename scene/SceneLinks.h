// How the layers below the scenes see the running scene: the stage objects and
// the characters read it through descriptions that the scene manager registers
// here (they do not include the scenes themselves).
#pragma once

// Registers the descriptions of the scene manager's current scene with the
// stage and the characters; Unregister leaves both describing no scene.
void RegisterSceneLinks();
void UnregisterSceneLinks();
