// Feeds arbitrary bytes to the WAV reader through the mmio functions: the wave
// file's format and samples read in uneven pieces, then the game's sounds made
// from the same file on a memory sound device, played (a looping track, an
// effect and a duplicate of it) and mixed for a few frames. A file that does not
// read gives a silent sound, never a buffer of missing samples.
#include <dsound.h>

#include <cstdlib>
#include <vector>

#include "app/Sound.h"
#include "app/WaveFile.h"
#include "fuzz_support.h"
#include "glomp/soundmix.h"

namespace {

constexpr int kMusic = 0;   // the title track
constexpr int kEffect = 2;  // the selection click

IDirectSound8* SharedDirectSound() {
  static IDirectSound8* directSound = [] {
    glomp::UseMemorySoundDevice(true);
    IDirectSound8* made = nullptr;
    if (FAILED(DirectSoundCreate8(nullptr, &made, nullptr))) return static_cast<IDirectSound8*>(nullptr);
    made->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    return made;
  }();
  return directSound;
}

// The reader on its own: every byte it promised, in pieces of awkward sizes.
void ReadInPieces(const char* path) {
  CWaveFile wave;
  if (FAILED(wave.Open(path))) {
    if (wave.GetFormat()) std::abort();  // no half-read format after a failed open
    return;
  }
  if (!wave.GetFormat()) std::abort();
  std::vector<BYTE> piece(4099);
  DWORD total = wave.GetSize(), read = 0;
  for (DWORD step = 1; total > 0; step = step * 3 + 1) {
    const DWORD want = step % DWORD(piece.size()) + 1;
    if (FAILED(wave.Read(piece.data(), want, &read))) return;
    if (read > want || read > total) std::abort();
    total -= read;
    if (read == 0) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::EnterScratchFolder("wave");
  if (!SharedDirectSound()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzzing::WriteInput(CSound::FileName(kMusic), data, size) ||
      !fuzzing::WriteInput(CSound::FileName(kEffect), data, size)) {
    return 0;
  }
  ReadInPieces(CSound::FileName(kEffect));

  IDirectSound8* directSound = SharedDirectSound();
  CSound music(directSound, kMusic);
  CSound effect(directSound, kEffect);
  if (music.IsLoaded() != effect.IsLoaded()) std::abort();  // same file, same outcome
  music.RequestPlay(0);
  effect.RequestPlay(0);
  music.Update(directSound);
  effect.Update(directSound);
  effect.RequestPlay(2);
  effect.Update(directSound);
  std::int16_t mixed[2 * 64];
  for (int frame = 0; frame < 3; ++frame) {
    glomp::AdvanceSoundClock(16);
    glomp::RenderSound(mixed, 64);
    effect.Update(directSound);
  }
  return 0;
}
