// The C runtime's heap, kept close to what the game uses.
//
// glibc keeps the pages of freed blocks, in the arena of every thread that
// allocated them, until it is asked to give them back: _heapmin asks.
//
// Between such requests it gives back the free top of its heap only beyond a trim
// threshold, and it raises that threshold to twice the largest block it has ever
// unmapped. After loading a scene's pictures that is megabytes the heap keeps for
// the whole scene, more or less from scene to scene. A fixed threshold of 1 MB
// keeps resident memory within about 2 MB of what the game uses while it plays,
// at no cost to the frame (measured over 4000 frames of play). Set before main,
// in every program that links the scene changes.
#include <malloc.h>
#include <windows.h>

namespace {

#ifdef __GLIBC__
constexpr int kTrimThresholdBytes = 1 << 20;
[[maybe_unused]] const bool g_trimThresholdFixed =
    mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes) == 1;
#endif

}  // namespace

int _heapmin() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
  return 0;
}
