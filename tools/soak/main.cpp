// soak — plays the real game headless for a long time with seeded random input
// and watches its resident memory, the GL driver's errors and how often the
// scene changes.
//
//   soak [--frames N] [--seed S] [--sample-every K] [--settle F] [--dwell MIN,MAX]
//        [--warmup C] [--measure band|growth] [--limit-kb KB] [--csv FILE]
//
// The player: on the title, colour changes (Up/Down) and mouse moves, sometimes
// Escape with the quit question answered No, then Enter or Space; in scene 1, Enter
// (the opening's start message), then random walking, turning, jumping and mouse,
// then Escape back to the title. Scene 1 is whatever the game builds for it; a
// scene that does not leave on Escape within kForceAfter frames is sent back to
// the title through the scene manager, and those returns are counted.
//
// Resident memory (and the heap in use beside it) is sampled every K frames, each
// sample the lowest reading over the F frames from there (30 by default; fewer when
// the next sample or a scene change comes first: memory_curve.h says why), and at
// every arrival for the curve (the CSV). After the first C scene changes (the
// warm-up: caches filled, every scene built once) the measure of the samples every
// K frames must stay within KB kilobytes: by default their band, with --measure
// growth the rise of their floor from the first third of the run to the last
// (memory_curve.h). The run fails when it does not, when GL recorded an error, or
// when more than kMostFramesPerScene frames pass without a scene change. The exit
// code is 0 only for a clean run.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "glomp/gl_errors.h"
#include "glomp/headless.h"
#include "glomp/soundmix.h"
#include "scene/SceneManager.h"
#include "tools/soak/memory_curve.h"

namespace {

namespace headless = glomp::headless;
using soak::Sample;

constexpr int kMostFramesPerScene = 600;
// Frames after Escape in scene 1 before the soak sends it back itself.
constexpr int kForceAfter = 90;

struct Options {
  int frames = 20000;
  unsigned seed = 1;
  int sampleEvery = 1000;
  int settle = 30;
  int dwellMin = 120;
  int dwellMax = 360;
  int warmup = 2;
  bool measureGrowth = false;
  long limitKb = 2048;
  std::string csv;
};

bool ParseInt(const std::string& text, long low, long high, long* out) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    long number = 0;
    if (name == "--csv") {
      options->csv = value;
      continue;
    }
    if (name == "--measure") {
      if (value != "band" && value != "growth") return false;
      options->measureGrowth = value == "growth";
      continue;
    }
    if (name == "--dwell") {
      const std::size_t comma = value.find(',');
      long low = 0, high = 0;
      if (comma == std::string::npos || !ParseInt(value.substr(0, comma), 1, 100000, &low) ||
          !ParseInt(value.substr(comma + 1), low, 100000, &high)) {
        return false;
      }
      options->dwellMin = int(low);
      options->dwellMax = int(high);
      continue;
    }
    if (!ParseInt(value, 0, 100000000, &number)) return false;
    if (name == "--frames") {
      options->frames = int(number);
    } else if (name == "--seed") {
      options->seed = unsigned(number);
    } else if (name == "--sample-every") {
      if (number == 0) return false;
      options->sampleEvery = int(number);
    } else if (name == "--settle") {
      if (number == 0) return false;
      options->settle = int(number);
    } else if (name == "--warmup") {
      options->warmup = int(number);
    } else if (name == "--limit-kb") {
      options->limitKb = number;
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// What malloc has handed out and not had back: ours and the libraries' heap, small
// blocks and the large ones it maps on their own, without the pages the allocator
// keeps, the driver's own mappings or its compiled shaders. Beside the resident
// memory it tells a leak from memory that is only held.
long HeapInUseKb() {
  const struct mallinfo2 info = ::mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

// Keys the player holds for a while, and keys tapped for one frame.
class Keys {
 public:
  void Tap(int key) {
    headless::SetKey(key, true);
    tapped_.push_back(key);
  }
  void Hold(int key, bool down) {
    headless::SetKey(key, down);
    held_.erase(std::remove(held_.begin(), held_.end(), key), held_.end());
    if (down) held_.push_back(key);
  }
  // Taps of the frame before go up.
  void ReleaseTaps() {
    for (int key : tapped_) {
      if (std::find(held_.begin(), held_.end(), key) == held_.end()) headless::SetKey(key, false);
    }
    tapped_.clear();
  }
  void ReleaseAll() {
    for (int key : held_) headless::SetKey(key, false);
    held_.clear();
    ReleaseTaps();
  }

 private:
  std::vector<int> tapped_;
  std::vector<int> held_;
};

class Player {
 public:
  explicit Player(const Options& options) : options_(options), random_(options.seed) {}

  void OnFrameStart(int frame) {
    if (frame >= options_.frames) {
      Finish(frame);
      return;
    }
    // Sound time follows the virtual clock, so that effects end and their copies go.
    const DWORD now = headless::Now();
    glomp::AdvanceSoundClock(now - soundTime_);
    soundTime_ = now;
    CountGlErrors();
    if (settling_) ReadSettlingSample();
    if (frame % options_.sampleEvery == 0) StartSample(frame);
    keys_.ReleaseTaps();
    const int scene = SceneNow();
    if (scene != lastScene_ && scene >= 0) Arrive(frame, scene);
    if (frame - lastChange_ > longestGap_) longestGap_ = frame - lastChange_;
    if (scene < 0 || Busy()) {
      keys_.ReleaseAll();
      return;
    }
    if (scene == SCENE_TITLE) {
      PlayTitle(frame);
    } else {
      PlayScene(frame);
    }
  }

  // The summary, and whether the run was clean.
  bool Report(std::ostream& out) const {
    const soak::MemoryCurve curve = soak::ReadMemoryCurve(samples_, options_.warmup);
    out << "frames " << options_.frames << ", seed " << options_.seed << "\n"
        << "scene changes " << changes_ << " (to the title " << titleVisits_ << ", to scene 1 "
        << sceneVisits_ << "), returns forced by the soak " << forced_ << "\n"
        << "longest stretch without a scene change " << longestGap_ << " frames\n"
        << "quit questions answered No " << quitQuestions_ << "\n"
        << "GL errors " << glErrors_;
    if (glErrors_) out << " (first 0x" << std::hex << firstGlError_ << std::dec << ")";
    out << "\n";
    if (curve.counted) {
      out << "resident memory after " << options_.warmup << " scene changes: " << curve.counted
          << " samples, " << curve.lowKb << " to " << curve.highKb << " KB (band "
          << curve.BandKb() << " KB, floor grew " << curve.growthKb << " KB; limit "
          << options_.limitKb << " on the " << (options_.measureGrowth ? "growth" : "band")
          << ")\n";
    } else {
      out << "no samples after the warm-up\n";
    }
    const long measured = options_.measureGrowth ? curve.growthKb : curve.BandKb();
    const bool clean = glErrors_ == 0 && longestGap_ <= kMostFramesPerScene &&
                       curve.counted >= 2 && measured <= options_.limitKb;
    out << (clean ? "soak: clean" : "soak: FAILED") << "\n";
    return clean;
  }

  const std::vector<Sample>& samples() const { return samples_; }

 private:
  static int SceneNow() { return g_sceneManager ? g_sceneManager->currentId.load() : -1; }
  static bool Busy() { return g_sceneManager->fading || g_sceneManager->changing; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int inHundred) { return Between(1, 100) <= inHundred; }

  void Arrive(int frame, int scene) {
    if (lastScene_ >= 0 || scene != SCENE_TITLE) {
      ++changes_;
      lastChange_ = frame;
      (scene == SCENE_TITLE ? titleVisits_ : sceneVisits_)++;
    }
    lastScene_ = scene;
    arrivedAt_ = frame;
    leaveAt_ = frame + Between(options_.dwellMin, options_.dwellMax);
    escapeAt_ = -1;
    startDismissed_ = false;
    askQuitAt_ = scene == SCENE_TITLE && Chance(50) ? Between(frame + 10, leaveAt_ - 5) : -1;
    CloseSettlingSample();  // its window ends with the scene it was taken in
    // One sample at each arrival too, for the curve: it catches the scene just built,
    // with the moment's leftovers, so it does not count for the measure.
    TakeSample(frame, true);
  }

  void PlayTitle(int frame) {
    if (frame == askQuitAt_) {
      // Escape raises the quit question before the next frame: No keeps playing.
      headless::QueueAnswer(frame, headless::Answer::No);
      keys_.Tap(VK_ESCAPE);
      ++quitQuestions_;
      return;
    }
    if (frame >= leaveAt_) {
      keys_.Tap(Chance(50) ? VK_RETURN : VK_SPACE);
      return;
    }
    if (Chance(6)) keys_.Tap(Chance(50) ? VK_UP : VK_DOWN);
    if (Chance(10)) headless::MoveMouse(Between(-40, 40), 0);
  }

  void PlayScene(int frame) {
    if (escapeAt_ >= 0) {
      if (frame - escapeAt_ >= kForceAfter) {
        // This scene 1 does not leave on Escape: back to the title all the same.
        if (g_sceneManager->ChangeScene(SCENE_TITLE)) ++forced_;
      } else if ((frame - escapeAt_) % 30 == 0) {
        keys_.Tap(VK_ESCAPE);
      }
      return;
    }
    if (frame >= leaveAt_) {
      keys_.ReleaseAll();
      keys_.Tap(VK_ESCAPE);
      escapeAt_ = frame;
      return;
    }
    if (!startDismissed_ && frame - arrivedAt_ >= 60) {
      keys_.Tap(VK_RETURN);  // the start message of the opening
      startDismissed_ = true;
      return;
    }
    static constexpr int kWalkKeys[] = {'W', 'A', 'S', 'D', VK_LEFT, VK_RIGHT};
    if (Chance(8)) {
      const int key = kWalkKeys[Between(0, 5)];
      keys_.Hold(key, Chance(60));
    }
    if (Chance(3)) keys_.Tap(VK_SPACE);
    if (Chance(15)) headless::MoveMouse(Between(-60, 60), 0);
  }

  Sample ReadNow(int frame, bool arrival) const {
    return {frame, ResidentKb(), HeapInUseKb(), SceneNow(), changes_, arrival};
  }

  void TakeSample(int frame, bool arrival) { samples_.push_back(ReadNow(frame, arrival)); }

  // A regular sample: its first reading now, the rest on the frames that follow.
  void StartSample(int frame) {
    CloseSettlingSample();
    settling_ = soak::SettlingSample{ReadNow(frame, false), options_.settle - 1};
    if (settling_->Done()) CloseSettlingSample();
  }

  void ReadSettlingSample() {
    settling_->Read(ResidentKb(), HeapInUseKb());
    if (settling_->Done()) CloseSettlingSample();
  }

  void CloseSettlingSample() {
    if (!settling_) return;
    samples_.push_back(settling_->sample);
    settling_.reset();
  }

  void CountGlErrors() {
    unsigned first = 0;
    const unsigned count = glomp::TakeGlErrors(CGraphicsDevice::GetInstance().device, &first);
    if (count && !glErrors_) firstGlError_ = first;
    glErrors_ += count;
  }

  void Finish(int frame) {
    if (finished_) return;
    finished_ = true;
    CountGlErrors();
    CloseSettlingSample();
    TakeSample(frame, false);
    keys_.ReleaseAll();
    headless::ClearAnswers();
    headless::QueueAnswer(headless::CurrentFrame(), headless::Answer::Yes);
    PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
  }

  const Options& options_;
  std::mt19937 random_;
  Keys keys_;
  std::vector<Sample> samples_;
  std::optional<soak::SettlingSample> settling_;
  int lastScene_ = -1;
  int arrivedAt_ = 0;
  int leaveAt_ = 0;
  int escapeAt_ = -1;
  int askQuitAt_ = -1;
  bool startDismissed_ = false;
  int lastChange_ = 0;
  int longestGap_ = 0;
  int changes_ = 0;
  int titleVisits_ = 0;
  int sceneVisits_ = 0;
  int forced_ = 0;
  int quitQuestions_ = 0;
  unsigned glErrors_ = 0;
  unsigned firstGlError_ = 0;
  DWORD soundTime_ = 0;
  bool finished_ = false;
};

void WriteCsv(const std::string& path, const std::vector<Sample>& samples) {
  std::ofstream out(path, std::ios::trunc);
  out << "frame,rss_kb,heap_kb,scene,scene_changes,arrival\n";
  for (const Sample& s : samples) {
    out << s.frame << ',' << s.rssKb << ',' << s.heapKb << ',' << s.scene << ',' << s.changes
        << ',' << (s.arrival ? 1 : 0) << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::cerr << "usage: soak [--frames N] [--seed S] [--sample-every K] [--settle F] "
                 "[--dwell MIN,MAX] [--warmup C] [--measure band|growth] [--limit-kb KB] "
                 "[--csv FILE]\n";
    return 2;
  }
  headless::Enable();
  glomp::UseMemorySoundDevice(true);
  Player player(options);
  headless::SetFrameHook([&player](int frame) { player.OnFrameStart(frame); });
  {
    // The stage loader's echo of every row, at each scene build, is not the soak's output.
    std::ofstream nowhere("/dev/null");
    std::streambuf* const console = std::cout.rdbuf(nowhere.rdbuf());
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    std::cout.rdbuf(console);
  }
  headless::SetFrameHook(nullptr);
  if (!options.csv.empty()) WriteCsv(options.csv, player.samples());
  for (const Sample& s : player.samples()) {
    if (!s.arrival) {
      std::cout << "frame " << s.frame << " rss " << s.rssKb << " KB heap " << s.heapKb
                << " KB scene " << s.scene
                << " changes " << s.changes << "\n";
    }
  }
  return player.Report(std::cout) ? 0 : 1;
}
