#include "glomp/gl_errors.h"

#include <epoxy/gl.h>

#include "d3d9/gl_device.h"

namespace glomp {

unsigned TakeGlErrors(IDirect3DDevice9* device, unsigned* firstCode) {
  if (!d3d9::IsGlThread(device)) return 0;
  // GL keeps one flag per kind of error, so a handful of calls empties it; the
  // bound guards against a lost context that answers with an error forever.
  constexpr int kMostKinds = 16;
  unsigned count = 0;
  for (int i = 0; i < kMostKinds; ++i) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) break;
    if (count == 0 && firstCode) *firstCode = error;
    ++count;
  }
  return count;
}

}  // namespace glomp
