// A working directory with the game's eleven sounds as small generated WAV
// files, and a sound manager on a memory device whose time passes by frames.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Sound.h"
#include "app/SoundManager.h"
#include "glomp/soundmix.h"
#include "support/wav_writer.h"

namespace soundtest {

namespace fs = std::filesystem;

constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kEffectFrames = kRate / 20;  // 50 ms
constexpr std::size_t kMusicFrames = kRate / 5;    // 200 ms
constexpr unsigned kFrameMs = 16;
constexpr DWORD kBytesPerMs = kRate * 2 / 1000;  // mono 16-bit

// Each sound is a tone of its own pitch, so the mix tells them apart.
inline double ToneOf(int id) { return 400.0 + 300.0 * id; }

inline testwav::Bytes GoodWav(int id) {
  const std::size_t frames = id < kMusicSoundCount ? kMusicFrames : kEffectFrames;
  return testwav::PcmWav(1, kRate, 16, testwav::Sine16(ToneOf(id), kRate, frames));
}

class SoundTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("glomp_sound_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
    previous_ = fs::current_path();
    fs::current_path(root_);
    for (int id = 0; id < kSoundCount; ++id) testwav::Write(CSound::FileName(id), GoodWav(id));
    glomp::UseMemorySoundDevice(true);
  }
  void TearDown() override {
    delete manager_;
    manager_ = nullptr;
    EXPECT_FALSE(glomp::IsMemorySoundDevice()) << "a sound buffer was not released";
    glomp::UseMemorySoundDevice(false);
    fs::current_path(previous_);
    fs::remove_all(root_);
  }

  CSoundManager& Start() {
    manager_ = new CSoundManager(nullptr);
    manager_->Load();
    return *manager_;
  }

  // The end of a game frame: this frame's requests are carried out, then the
  // rest of the 16 ms passes.
  void EndFrame() {
    manager_->Update();
    glomp::AdvanceSoundClock(kFrameMs);
  }

  const CSound& Sound(int id) { return *manager_->GetSound(id); }

  static std::vector<std::int16_t> Render(std::size_t frames) {
    std::vector<std::int16_t> out(frames * 2);
    EXPECT_TRUE(glomp::RenderSound(out.data(), frames));
    return out;
  }

  fs::path root_, previous_;
  CSoundManager* manager_ = nullptr;
};

}  // namespace soundtest
