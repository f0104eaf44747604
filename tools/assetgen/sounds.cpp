// The eleven sounds, synthesised: two looping music tracks and nine effects.
// Mono 16-bit PCM at 44.1 kHz (the game's sound buffers are 3D-capable, which
// wants one channel). Music is rendered into a circular buffer whose length is
// a whole number of bars, so note tails wrap to the start and the loop has no
// seam.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "content.h"
#include "image.h"
#include "mesh.h"

namespace assetgen {
namespace {

constexpr int kRate = 44100;
constexpr float kPi = 3.14159265f;

float MidiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69) / 12.0f); }

struct Track {
  std::vector<float> s;
  bool loop = false;
  explicit Track(size_t n, bool looping = false) : s(n, 0.0f), loop(looping) {}
  void Add(long i, float v) {
    if (loop) {
      const long n = static_cast<long>(s.size());
      s[((i % n) + n) % n] += v;
    } else if (i >= 0 && i < static_cast<long>(s.size())) {
      s[i] += v;
    }
  }
};

enum class Voice { kSquare, kSoftSquare, kTriangle, kBell, kSaw };

// One note with an attack-decay-sustain-release envelope.
void Note(Track& t, float startSec, float lenSec, float note, float amp, Voice voice,
          float vibrato = 0.0f) {
  const float f = MidiHz(note);
  const float attack = voice == Voice::kBell ? 0.004f : 0.012f;
  const float release = voice == Voice::kBell ? 0.35f : 0.08f;
  const long start = std::lround(startSec * kRate);
  const long total = std::lround((lenSec + release) * kRate);
  float phase = 0;
  for (long i = 0; i < total; ++i) {
    const float sec = static_cast<float>(i) / kRate;
    float env;
    if (sec < attack)
      env = sec / attack;
    else if (voice == Voice::kBell)
      env = std::exp(-(sec - attack) * 5.0f);
    else if (sec < lenSec)
      env = 0.75f + 0.25f * std::exp(-(sec - attack) * 8.0f);
    else
      env = 0.75f * std::max(0.0f, 1 - (sec - lenSec) / release);
    const float vib =
        vibrato > 0 ? 1 + vibrato * std::sin(2 * kPi * 5.5f * sec) * std::min(1.0f, sec * 3) : 1;
    phase += f * vib / kRate;
    phase -= std::floor(phase);
    float v = 0;
    switch (voice) {
      case Voice::kSquare:
      case Voice::kSoftSquare: {
        // Band-limited: odd harmonics below 9 kHz.
        const int top = voice == Voice::kSoftSquare ? 7 : 13;
        for (int h = 1; h <= top && h * f < 9000; h += 2) v += std::sin(2 * kPi * h * phase) / h;
        v *= 0.8f;
        break;
      }
      case Voice::kSaw:
        for (int h = 1; h <= 12 && h * f < 8000; ++h)
          v += std::sin(2 * kPi * h * phase) / h * (h % 2 ? 1 : -1);
        v *= 0.55f;
        break;
      case Voice::kTriangle:
        v = 4 * std::fabs(phase - 0.5f) - 1;
        break;
      case Voice::kBell:
        v = std::sin(2 * kPi * phase) + 0.3f * std::sin(4 * kPi * phase) * std::exp(-sec * 12);
        break;
    }
    t.Add(start + i, v * env * amp);
  }
}

void Kick(Track& t, float at, float amp) {
  const long start = std::lround(at * kRate);
  float phase = 0;
  for (long i = 0; i < kRate / 4; ++i) {
    const float sec = static_cast<float>(i) / kRate;
    phase += (50 + 110 * std::exp(-sec * 30)) / kRate;
    t.Add(start + i, std::sin(2 * kPi * phase) * std::exp(-sec * 14) * amp);
  }
}

void Snare(Track& t, float at, float amp, Random& rng) {
  const long start = std::lround(at * kRate);
  for (long i = 0; i < kRate / 6; ++i) {
    const float sec = static_cast<float>(i) / kRate;
    const float noise = rng.Range(-1, 1) * std::exp(-sec * 22);
    const float tone = std::sin(2 * kPi * 190 * sec) * std::exp(-sec * 30);
    t.Add(start + i, (0.7f * noise + 0.5f * tone) * amp);
  }
}

void Hat(Track& t, float at, float amp, Random& rng) {
  const long start = std::lround(at * kRate);
  float prev = 0;
  for (long i = 0; i < kRate / 20; ++i) {
    const float sec = static_cast<float>(i) / kRate;
    const float n = rng.Range(-1, 1);
    t.Add(start + i, (n - prev) * 0.5f * std::exp(-sec * 80) * amp);  // high-passed noise
    prev = n;
  }
}

struct MelodyNote {
  int note;     // MIDI, 0 = rest
  int eighths;  // length
};

struct Song {
  float bpm;
  std::vector<int> roots;                       // bass root per bar (MIDI)
  std::vector<std::vector<int>> chords;         // chord tones per bar
  std::vector<std::vector<MelodyNote>> melody;  // per bar, eight eighths each
};

std::vector<int16_t> Render(const Song& song, bool bright, uint32_t seed) {
  const float beat = 60.0f / song.bpm, eighth = beat / 2;
  const size_t bars = song.roots.size();
  const size_t samplesPerBeat = static_cast<size_t>(std::lround(kRate * beat));
  Track t(samplesPerBeat * 4 * bars, true);
  Random rng(seed);
  for (size_t bar = 0; bar < bars; ++bar) {
    const float b0 = bar * 4 * beat;
    // Lead.
    float at = b0;
    for (const MelodyNote& n : song.melody[bar]) {
      if (n.note > 0) {
        Note(t, at, n.eighths * eighth * 0.9f, static_cast<float>(n.note), bright ? 0.16f : 0.15f,
             bright ? Voice::kSoftSquare : Voice::kSquare, 0.006f);
      }
      at += n.eighths * eighth;
    }
    // Bass.
    const float root = static_cast<float>(song.roots[bar]);
    if (bright) {
      Note(t, b0, beat * 0.9f, root, 0.30f, Voice::kTriangle);
      Note(t, b0 + 1.5f * beat, beat * 0.4f, root + 12, 0.22f, Voice::kTriangle);
      Note(t, b0 + 2 * beat, beat * 0.9f, root + 7, 0.28f, Voice::kTriangle);
      Note(t, b0 + 3 * beat, beat * 0.9f, root, 0.26f, Voice::kTriangle);
    } else {
      for (int e = 0; e < 8; ++e) {
        const float n = (e % 4 == 3) ? root + 12 : root;
        Note(t, b0 + e * eighth, eighth * 0.7f, n, 0.13f, Voice::kSaw);
      }
    }
    // Chord arpeggio.
    const auto& ch = song.chords[bar];
    for (int e = 0; e < 8; ++e) {
      const int tone = ch[(e % 2 ? (e / 2 + 1) : e / 2) % ch.size()] + 12;
      Note(t, b0 + e * eighth, eighth, static_cast<float>(tone), bright ? 0.10f : 0.07f,
           Voice::kBell);
    }
    // Drums.
    for (int b = 0; b < 4; ++b) {
      const float bt = b0 + b * beat;
      if (b % 2 == 0 || (!bright && b == 3)) Kick(t, bt, bright ? 0.30f : 0.40f);
      if (b % 2 == 1) Snare(t, bt, bright ? 0.16f : 0.24f, rng);
      Hat(t, bt + eighth, bright ? 0.10f : 0.14f, rng);
      if (!bright) Hat(t, bt, 0.08f, rng);
    }
  }
  // Normalise to a fixed peak.
  float peak = 1e-6f;
  for (float v : t.s) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> pcm(t.s.size());
  for (size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::lround(t.s[i] / peak * 0.85f * 32767));
  return pcm;
}

Song TitleSong() {
  Song s;
  s.bpm = 120;
  const int C = 48, Am = 45, F = 41, G = 43;
  const std::vector<int> cC{60, 64, 67}, cAm{57, 60, 64}, cF{53, 57, 60}, cG{55, 59, 62};
  for (int p = 0; p < 3; ++p) {
    s.roots.insert(s.roots.end(), {C, Am, F, G});
    s.chords.insert(s.chords.end(), {cC, cAm, cF, cG});
  }
  s.melody = {
      {{76, 2}, {79, 2}, {84, 3}, {79, 1}},          {{81, 2}, {76, 2}, {72, 2}, {76, 2}},
      {{77, 2}, {81, 2}, {84, 2}, {81, 1}, {79, 1}}, {{79, 3}, {77, 1}, {76, 2}, {74, 2}},
      {{72, 1}, {74, 1}, {76, 2}, {79, 2}, {76, 2}}, {{81, 3}, {79, 1}, {76, 2}, {72, 2}},
      {{74, 2}, {77, 2}, {81, 2}, {79, 2}},          {{79, 2}, {83, 2}, {86, 4}},
      {{84, 2}, {83, 1}, {81, 1}, {79, 2}, {76, 2}}, {{77, 2}, {76, 2}, {74, 2}, {72, 2}},
      {{74, 2}, {76, 2}, {77, 2}, {81, 2}},          {{79, 4}, {74, 2}, {71, 2}},
  };
  return s;
}

Song GameSong() {
  Song s;
  s.bpm = 140;
  const int Am = 45, F = 41, C = 48, G = 43, E = 40;
  const std::vector<int> cAm{57, 60, 64}, cF{53, 57, 60}, cC{60, 64, 67}, cG{55, 59, 62},
      cE{56, 59, 64};
  for (int p = 0; p < 3; ++p) {
    s.roots.insert(s.roots.end(), {Am, F, C, G});
    s.chords.insert(s.chords.end(), {cAm, cF, cC, cG});
  }
  s.roots.insert(s.roots.end(), {Am, F, G, E});
  s.chords.insert(s.chords.end(), {cAm, cF, cG, cE});
  const std::vector<std::vector<MelodyNote>> phrase1 = {
      {{69, 1}, {72, 1}, {76, 2}, {74, 1}, {72, 1}, {71, 2}},
      {{72, 2}, {69, 2}, {65, 2}, {69, 2}},
      {{67, 1}, {72, 1}, {76, 2}, {79, 2}, {76, 2}},
      {{74, 3}, {71, 1}, {67, 4}}};
  const std::vector<std::vector<MelodyNote>> phrase2 = {
      {{76, 1}, {76, 1}, {77, 1}, {79, 1}, {81, 2}, {79, 2}},
      {{77, 1}, {76, 1}, {74, 2}, {72, 2}, {69, 2}},
      {{72, 2}, {76, 2}, {79, 2}, {84, 2}},
      {{83, 4}, {79, 2}, {74, 2}}};
  const std::vector<std::vector<MelodyNote>> phrase4 = {
      {{81, 2}, {79, 1}, {77, 1}, {76, 2}, {74, 2}},
      {{72, 2}, {74, 2}, {76, 2}, {77, 2}},
      {{79, 2}, {77, 2}, {74, 2}, {71, 2}},
      {{68, 4}, {71, 2}, {76, 2}}};
  s.melody = phrase1;
  s.melody.insert(s.melody.end(), phrase2.begin(), phrase2.end());
  for (auto bar : phrase1) {
    for (auto& n : bar) n.note += 12;
    s.melody.push_back(bar);
  }
  s.melody.insert(s.melody.end(), phrase4.begin(), phrase4.end());
  return s;
}

// ---- Effects ----

std::vector<int16_t> ToPcm(const std::vector<float>& s, float peakTarget) {
  float peak = 1e-6f;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> pcm(s.size());
  for (size_t i = 0; i < s.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::lround(s[i] / peak * peakTarget * 32767));
  // A few samples of fade at both ends: no click when a sound starts or stops.
  const size_t fade = std::min<size_t>(64, pcm.size() / 2);
  for (size_t i = 0; i < fade; ++i) {
    pcm[i] = static_cast<int16_t>(pcm[i] * static_cast<float>(i) / fade);
    pcm[pcm.size() - 1 - i] =
        static_cast<int16_t>(pcm[pcm.size() - 1 - i] * static_cast<float>(i) / fade);
  }
  return pcm;
}

std::vector<float> Buffer(float seconds) {
  return std::vector<float>(static_cast<size_t>(seconds * kRate), 0.0f);
}

// A tone whose pitch glides from f0 to f1 (exponentially) with its own decay.
void Glide(std::vector<float>& s, float at, float len, float f0, float f1, float amp, float decay,
           int harmonics = 1) {
  float phase = 0;
  const long start = std::lround(at * kRate);
  for (long i = 0; i < std::lround(len * kRate) && start + i < static_cast<long>(s.size()); ++i) {
    const float x = static_cast<float>(i) / (len * kRate);
    const float f = f0 * std::pow(f1 / f0, x);
    phase += f / kRate;
    phase -= std::floor(phase);
    float v = 0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(2 * kPi * h * phase) / (h * h);
    const float env = std::min(1.0f, i / 200.0f) * std::exp(-x * decay);
    s[start + i] += v * env * amp;
  }
}

void NoiseBurst(std::vector<float>& s, float at, float len, float amp, float decay, float smooth,
                Random& rng) {
  float lp = 0;
  const long start = std::lround(at * kRate);
  for (long i = 0; i < std::lround(len * kRate) && start + i < static_cast<long>(s.size()); ++i) {
    const float x = static_cast<float>(i) / (len * kRate);
    lp += (rng.Range(-1, 1) - lp) * smooth;  // one-pole low-pass: smaller is duller
    s[start + i] += lp * std::exp(-x * decay) * std::min(1.0f, i / 100.0f) * amp;
  }
}

std::vector<int16_t> ButtonSelect() {
  auto s = Buffer(0.09f);
  Glide(s, 0, 0.09f, 1320, 1500, 0.6f, 5, 2);
  return ToPcm(s, 0.6f);
}

std::vector<int16_t> ButtonDecide() {
  auto s = Buffer(0.45f);
  Glide(s, 0, 0.18f, MidiHz(84), MidiHz(84), 0.5f, 4, 3);
  Glide(s, 0.08f, 0.37f, MidiHz(91), MidiHz(91), 0.6f, 5, 3);
  return ToPcm(s, 0.7f);
}

std::vector<int16_t> Jump() {
  // The springy "boing": a rising glide with a wobble.
  auto s = Buffer(0.28f);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const float x = static_cast<float>(i) / s.size();
    const float f = 260 * std::pow(3.2f, x) * (1 + 0.06f * std::sin(2 * kPi * 28 * x));
    phase += f / kRate;
    s[i] = (std::sin(2 * kPi * phase) + 0.25f * std::sin(4 * kPi * phase)) *
           std::min(1.0f, i / 150.0f) * std::exp(-x * 2.5f);
  }
  return ToPcm(s, 0.75f);
}

std::vector<int16_t> Stamp() {
  // A soft, wet landing: low thump plus a dull splat.
  auto s = Buffer(0.22f);
  Random rng(55);
  Glide(s, 0, 0.2f, 150, 55, 1.0f, 6);
  NoiseBurst(s, 0, 0.12f, 0.5f, 7, 0.08f, rng);
  return ToPcm(s, 0.8f);
}

std::vector<int16_t> Walk() {
  // A quiet squelchy step.
  auto s = Buffer(0.12f);
  Random rng(66);
  Glide(s, 0, 0.1f, 320, 180, 0.6f, 7);
  NoiseBurst(s, 0, 0.08f, 0.35f, 9, 0.15f, rng);
  return ToPcm(s, 0.45f);
}

std::vector<int16_t> FlagEffect() {
  // One short twinkle; the stage asks for it every frame while sparks fly, so
  // it is brief and quiet and the overlapping copies make a shimmer.
  auto s = Buffer(0.16f);
  Glide(s, 0, 0.16f, 2637, 2637, 0.5f, 9);
  Glide(s, 0.03f, 0.13f, 3520, 3520, 0.35f, 10);
  return ToPcm(s, 0.12f);
}

std::vector<int16_t> ClearFanfare() {
  Track t(static_cast<size_t>(2.8f * kRate));
  const float e = 0.13f;
  const int notes[6] = {72, 76, 79, 84, 79, 84};
  const float starts[6] = {0, 1, 2, 3, 4.5f, 5};
  const float lengths[6] = {0.9f, 0.9f, 0.9f, 1.4f, 0.45f, 10};
  for (int i = 0; i < 6; ++i) {
    Note(t, starts[i] * e, lengths[i] * e, static_cast<float>(notes[i]), 0.3f, Voice::kSoftSquare,
         0.008f);
    Note(t, starts[i] * e, lengths[i] * e, static_cast<float>(notes[i] - 12), 0.12f,
         Voice::kTriangle);
  }
  for (int n : {60, 64, 67, 72}) Note(t, 5 * e, 10 * e, static_cast<float>(n), 0.12f, Voice::kBell);
  for (int k = 0; k < 10; ++k)
    Note(t, (5 + k * 0.5f) * e, 0.5f * e, static_cast<float>(84 + (k % 4) * 3), 0.06f,
         Voice::kBell);
  return ToPcm(t.s, 0.8f);
}

std::vector<int16_t> GateThud() {
  // A heavy wooden knock.
  auto s = Buffer(0.4f);
  Random rng(77);
  Glide(s, 0, 0.35f, 110, 70, 1.0f, 7);
  Glide(s, 0, 0.12f, 420, 300, 0.4f, 10, 3);
  NoiseBurst(s, 0, 0.08f, 0.4f, 10, 0.3f, rng);
  return ToPcm(s, 0.8f);
}

std::vector<int16_t> GateOpen() {
  // A long wooden creak over a low rumble; it is restarted while the gate turns.
  auto s = Buffer(1.2f);
  Random rng(88);
  float phase = 0, lp = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const float x = static_cast<float>(i) / s.size();
    const float f = 140 + 40 * std::sin(2 * kPi * 1.7f * x) + 25 * std::sin(2 * kPi * 5.3f * x);
    phase += f / kRate;
    phase -= std::floor(phase);
    // Stick-slip: a sharp pulse train with a wandering rate is what a hinge sounds like.
    const float creak = std::pow(1 - phase, 12.0f) * 2 - 0.15f;
    lp += (rng.Range(-1, 1) - lp) * 0.02f;
    const float env = std::min(1.0f, x * 20) * std::min(1.0f, (1 - x) * 20);
    s[i] = (0.6f * creak + 1.2f * lp) * env;
  }
  return ToPcm(s, 0.6f);
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> out;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 255);
  };
  auto put16 = [&](uint32_t v) {
    for (int i = 0; i < 2; ++i) out.push_back((v >> (8 * i)) & 255);
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(kRate);
  put32(kRate * 2);
  put16(2);
  put16(16);
  tag("data");
  put32(dataBytes);
  for (int16_t v : pcm) put16(static_cast<uint16_t>(v));
  return WriteBinaryFile(path, out);
}

}  // namespace

bool WriteSounds(const std::string& dataDir) {
  const std::string d = dataDir + "/sound/";
  bool ok = true;
  ok = WriteWav(d + "bgm/title.wav", Render(TitleSong(), true, 1)) && ok;
  ok = WriteWav(d + "bgm/game.wav", Render(GameSong(), false, 2)) && ok;
  ok = WriteWav(d + "se/UI/button_select.wav", ButtonSelect()) && ok;
  ok = WriteWav(d + "se/UI/button_derection.wav", ButtonDecide()) && ok;
  ok = WriteWav(d + "se/Slime/jump.wav", Jump()) && ok;
  ok = WriteWav(d + "se/Slime/stamp.wav", Stamp()) && ok;
  ok = WriteWav(d + "se/Slime/walk.wav", Walk()) && ok;
  ok = WriteWav(d + "se/Effect/flag_effect.wav", FlagEffect()) && ok;
  ok = WriteWav(d + "se/Effect/clear_effect.wav", ClearFanfare()) && ok;
  ok = WriteWav(d + "se/Map/gate.wav", GateThud()) && ok;
  ok = WriteWav(d + "se/Map/gate_open.wav", GateOpen()) && ok;
  return ok;
}

}  // namespace assetgen
