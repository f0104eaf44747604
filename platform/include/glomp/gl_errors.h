// Errors the GL driver has recorded behind the device: for tools and tests that
// run the game for a long time and must notice a draw the driver refused.
#pragma once
#include <d3d9.h>

namespace glomp {

// Takes every error GL has recorded since the last call (GL keeps them until
// asked). Counts them and stores the first code in `firstCode` when given.
// Zero when called on a thread other than the device's GL thread.
unsigned TakeGlErrors(IDirect3DDevice9* device, unsigned* firstCode = nullptr);

}  // namespace glomp
