// replay — runs the game headless from a script of key, mouse and message-box
// events, writing PNG screenshots of chosen frames and a state log.
//
//   replay [--script FILE] [--frames N] [--shots DIR --shot-at F,F,...] [--log FILE]
//          [--draw all|shots]
//
// --draw shots draws only the frames that are shot: the game runs the same,
// several times faster, for long scripted plays.
//
// After the last frame the window is closed and the quit question answered Yes,
// so every run ends through the game's own Shutdown. The main thread's random
// numbers are seeded alike at frame 0, so two runs of one script log the same.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include <windows.h>

#include "app/Application.h"
#include "glomp/headless.h"
#include "glomp/soundmix.h"
#include "screenshot.h"
#include "state_log.h"

namespace {

constexpr int kDefaultFrames = 300;
constexpr unsigned kReplaySeed = 1;

struct Options {
  std::string script;
  int frames = kDefaultFrames;
  std::string shotDirectory;
  std::set<int> shotFrames;
  std::string log;
  bool drawOnlyShots = false;  // --draw shots
};

void Usage() {
  std::cerr << "usage: replay [--script FILE] [--frames N] [--shots DIR --shot-at F,F,...] "
               "[--log FILE] [--draw all|shots]\n";
}

bool ParseNumber(const std::string& text, int* out) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 10000000) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (name == "--script") {
      options->script = value;
    } else if (name == "--frames") {
      if (!ParseNumber(value, &options->frames)) return false;
    } else if (name == "--shots") {
      options->shotDirectory = value;
    } else if (name == "--shot-at") {
      std::stringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        int frame = 0;
        if (!ParseNumber(item, &frame)) return false;
        options->shotFrames.insert(frame);
      }
    } else if (name == "--log") {
      options->log = value;
    } else if (name == "--draw") {
      if (value != "all" && value != "shots") return false;
      options->drawOnlyShots = value == "shots";
    } else {
      return false;
    }
  }
  return options->shotFrames.empty() || !options->shotDirectory.empty();
}

// Follows the game from frame to frame: each frame hook finishes the frame before.
class Runner {
 public:
  Runner(const Options& options, std::ostream* log) : options_(options), log_(log) {}

  void OnFrameStart(int frame) {
    if (frame == 0) {
      WriteWindow();
      // The game seeds its random numbers from the clock after start-up, whose
      // length depends on how fast the first scene loads; a replay starts the
      // main thread's sequence the same way every time instead.
      std::srand(kReplaySeed);
    } else {
      FinishFrame(frame - 1);
    }
    if (frame >= options_.frames) {
      CloseWindow();
      return;
    }
    glomp::headless::SetDrawing(!options_.drawOnlyShots || options_.shotFrames.count(frame) > 0);
    startTime_ = glomp::headless::Now();
    // Sound time follows the virtual clock, so the log is the same on every run.
    glomp::AdvanceSoundClock(startTime_ - soundTime_);
    soundTime_ = startTime_;
  }

  // After the game has ended: a run that never reached a frame still says what its window was.
  void Finish() {
    if (!windowWritten_) WriteWindow();
  }

  bool failed() const { return failed_; }

 private:
  void WriteWindow() {
    windowWritten_ = true;
    if (log_) WriteWindowLine(*log_);
  }

  void FinishFrame(int frame) {
    if (log_) {
      FrameFacts facts;
      facts.frame = frame;
      facts.time = startTime_;
      facts.messageBox = BoxAskedIn(frame);
      WriteFrameLine(*log_, facts);
      log_->flush();
    }
    if (options_.shotFrames.count(frame)) TakeShot(frame);
  }

  std::optional<std::string> BoxAskedIn(int frame) {
    const auto boxes = glomp::headless::AskedBoxes();
    std::optional<std::string> text;
    for (; boxesSeen_ < boxes.size() && boxes[boxesSeen_].frame <= frame; ++boxesSeen_) {
      if (!text && boxes[boxesSeen_].frame == frame) text = boxes[boxesSeen_].text;
    }
    return text;
  }

  void TakeShot(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%04d.png", frame);
    const std::string path = (std::filesystem::path(options_.shotDirectory) / name).string();
    std::string error;
    if (SaveBackBuffer(path, &error)) {
      std::cout << "screenshot " << path << "\n";
    } else {
      std::cerr << "replay: screenshot of frame " << frame << " failed: " << error << "\n";
      failed_ = true;
    }
  }

  // The player is done: close the window and say Yes to the quit question.
  void CloseWindow() {
    if (closeSent_) return;
    closeSent_ = true;
    glomp::headless::ClearAnswers();
    glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(), glomp::headless::Answer::Yes);
    PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
  }

  const Options& options_;
  std::ostream* log_;
  DWORD startTime_ = 0;
  DWORD soundTime_ = 0;
  size_t boxesSeen_ = 0;
  bool windowWritten_ = false;
  bool closeSent_ = false;
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Usage();
    return 2;
  }
  glomp::headless::Enable();
  glomp::UseMemorySoundDevice(true);
  glomp::headless::Script script;
  if (!options.script.empty()) {
    std::string error;
    if (!glomp::headless::LoadScript(options.script, &script, &error)) {
      std::cerr << "replay: " << options.script << ": " << error << "\n";
      return 2;
    }
  }
  std::error_code ignored;
  if (!options.shotDirectory.empty()) {
    std::filesystem::create_directories(options.shotDirectory, ignored);
  }
  std::ofstream logFile;
  if (!options.log.empty()) {
    const auto parent = std::filesystem::path(options.log).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    logFile.open(options.log, std::ios::binary | std::ios::trunc);
    if (!logFile) {
      std::cerr << "replay: cannot write " << options.log << "\n";
      return 2;
    }
  }

  Runner runner(options, logFile.is_open() ? &logFile : nullptr);
  glomp::headless::InstallScript(script);
  glomp::headless::SetFrameHook([&runner](int frame) { runner.OnFrameStart(frame); });
  const int exitCode =
      WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  runner.Finish();
  glomp::headless::SetFrameHook(nullptr);
  if (runner.failed()) return 1;
  return exitCode;
}
