// rand and srand as the Windows C runtime has them: each thread keeps its own
// generator, seeded with 1 when the thread starts. The game seeds the main
// thread at start-up and the loader thread at every scene build; with one
// shared state the loader's seed would also change what the main thread draws
// next, and two plays of one input would differ after the first scene change.
//
// These definitions take the place of the C library's for the whole program.
// Values run from 0 to 0x7fff, as there; the game only takes them modulo small
// numbers, so RAND_MAX staying the C library's does not matter.
#include <cstdlib>

namespace {
thread_local unsigned int t_randomState = 1;
}

extern "C" void srand(unsigned int seed) noexcept { t_randomState = seed; }

extern "C" int rand(void) noexcept {
  t_randomState = t_randomState * 214013u + 2531011u;
  return static_cast<int>((t_randomState >> 16) & 0x7fffu);
}
