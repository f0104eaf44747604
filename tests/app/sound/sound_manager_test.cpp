// The sound table's requests, carried out frame by frame on a memory device.
#include <climits>

#include "sound_fixture.h"

namespace soundtest {
namespace {

TEST_F(SoundTableTest, LoadsElevenSoundsInIdOrder) {
  CSoundManager& sounds = Start();
  ASSERT_EQ(sounds.GetSoundCount(), 11);
  for (int id = 0; id < kSoundCount; ++id) {
    EXPECT_EQ(Sound(id).Id(), id);
    EXPECT_TRUE(Sound(id).IsLoaded()) << CSound::FileName(id);
    EXPECT_EQ(Sound(id).Request(), SOUND_REQUEST_IDLE);
    EXPECT_FALSE(Sound(id).IsPlaying());
  }
  EXPECT_STREQ(CSound::FileName(0), "data/sound/bgm/title.wav");
  EXPECT_STREQ(CSound::FileName(3), "data/sound/se/UI/button_derection.wav");
  EXPECT_STREQ(CSound::FileName(10), "data/sound/se/Map/gate_open.wav");
  EXPECT_EQ(CSound::FileName(11), nullptr);
}

TEST_F(SoundTableTest, ThreeCopiesOverlapAndEachIsReleasedInTheFirstUpdateAfterItEnds) {
  CSoundManager& sounds = Start();
  // Copies start at 0, 16 and 32 ms and last 50 ms: they end at 50, 66 and
  // 82 ms, so the updates at 64, 80 and 96 ms let go of them.
  const int expected[] = {1, 2, 3, 3, 2, 1, 0};
  for (int frame = 0; frame < 7; ++frame) {
    if (frame < 3) sounds.Play(5, 2);
    sounds.Update();
    EXPECT_EQ(Sound(5).DuplicateCount(), expected[frame]) << "update at " << frame * 16 << " ms";
    EXPECT_FALSE(Sound(5).IsPlaying()) << "copies leave the sound's own buffer alone";
    if (frame == 2) {
      EXPECT_GT(testwav::ToneLevel(Render(441), 0, ToneOf(5), kRate), 2000.0);
      glomp::AdvanceSoundClock(kFrameMs - 10);
    } else {
      glomp::AdvanceSoundClock(kFrameMs);
    }
  }
  EXPECT_LT(testwav::Peak(Render(441)), 4.0);
}

TEST_F(SoundTableTest, ModeOneRestartsAPlayingEffectAndModeZeroLetsItContinue) {
  CSoundManager& sounds = Start();
  sounds.Play(4, 1);
  sounds.Play(6, 0);
  EndFrame();
  EndFrame();
  const DWORD jumpAt = Sound(4).PlayPosition();
  const DWORD walkAt = Sound(6).PlayPosition();
  EXPECT_GT(jumpAt, 25 * kBytesPerMs);
  EXPECT_GT(walkAt, 25 * kBytesPerMs);

  sounds.Play(4, 1);
  sounds.Play(6, 0);
  sounds.Update();
  EXPECT_TRUE(Sound(4).IsPlaying());
  EXPECT_TRUE(Sound(6).IsPlaying());
  EXPECT_LT(Sound(4).PlayPosition(), 2 * kBytesPerMs);
  EXPECT_GE(Sound(6).PlayPosition(), walkAt);

  // Once an effect has played to its end, mode 0 plays it again from the start.
  for (int i = 0; i < 5; ++i) EndFrame();
  EXPECT_FALSE(Sound(6).IsPlaying());
  sounds.Play(6, 0);
  sounds.Update();
  EXPECT_TRUE(Sound(6).IsPlaying());
  EXPECT_LT(Sound(6).PlayPosition(), 2 * kBytesPerMs);
}

TEST_F(SoundTableTest, MusicLoopsAndIsNotRestartedByAnotherRequest) {
  CSoundManager& sounds = Start();
  sounds.Play(0, 2);  // music ignores the mode
  for (int i = 0; i < 6; ++i) EndFrame();
  EXPECT_EQ(Sound(0).DuplicateCount(), 0);
  const DWORD at = Sound(0).PlayPosition();
  EXPECT_GT(at, 90 * kBytesPerMs);

  sounds.Play(0, 1);
  sounds.Update();
  EXPECT_GE(Sound(0).PlayPosition(), at);

  // Past the end of the 200 ms track it keeps sounding from its start.
  for (int i = 0; i < 10; ++i) EndFrame();
  EXPECT_TRUE(Sound(0).IsPlaying());
  EXPECT_LT(Sound(0).PlayPosition(), at);
  const auto heard = Render(kMusicFrames);
  EXPECT_GT(testwav::ToneLevel(heard, 0, ToneOf(0), kRate), 4000.0);
  EXPECT_TRUE(Sound(0).IsPlaying());
}

TEST_F(SoundTableTest, AStopRequestWaitsWhileTheSoundIsSilent) {
  CSoundManager& sounds = Start();
  sounds.Stop(8);
  for (int i = 0; i < 3; ++i) {
    EndFrame();
    EXPECT_EQ(Sound(8).Request(), SOUND_REQUEST_STOP);
  }
  sounds.Play(8, 0);
  EndFrame();
  EXPECT_EQ(Sound(8).Request(), SOUND_REQUEST_IDLE);
  EXPECT_TRUE(Sound(8).IsPlaying());
}

TEST_F(SoundTableTest, AStopRequestStopsAndRewindsAPlayingSound) {
  CSoundManager& sounds = Start();
  sounds.Play(8, 0);
  EndFrame();
  EndFrame();
  ASSERT_GT(Sound(8).PlayPosition(), 20 * kBytesPerMs);
  sounds.Stop(8);
  sounds.Update();
  EXPECT_FALSE(Sound(8).IsPlaying());
  EXPECT_EQ(Sound(8).PlayPosition(), 0u);
  EXPECT_EQ(Sound(8).Request(), SOUND_REQUEST_IDLE);
  Render(128);  // the stopped sound fades out over about a millisecond
  EXPECT_LT(testwav::Peak(Render(441)), 4.0);

  sounds.Play(8, 0);
  sounds.Update();
  Render(441);
  EXPECT_LT(Sound(8).PlayPosition(), 12 * kBytesPerMs);
}

TEST_F(SoundTableTest, StopAllStopsMusicAndOwnBuffersButNotSoundingCopies) {
  CSoundManager& sounds = Start();
  sounds.Play(0, 0);
  sounds.Play(1, 0);
  sounds.Play(4, 1);
  sounds.Play(5, 2);
  EndFrame();
  sounds.Play(5, 2);
  EndFrame();
  ASSERT_EQ(Sound(5).DuplicateCount(), 2);

  sounds.StopAll();
  sounds.Update();
  for (int id : {0, 1, 4}) {
    EXPECT_FALSE(Sound(id).IsPlaying()) << id;
    EXPECT_EQ(Sound(id).Request(), SOUND_REQUEST_IDLE) << id;
  }
  // The others were silent: their stop requests stay pending.
  for (int id : {2, 3, 5, 6, 7, 8, 9, 10}) EXPECT_EQ(Sound(id).Request(), SOUND_REQUEST_STOP) << id;
  EXPECT_EQ(Sound(5).DuplicateCount(), 2);
  Render(128);
  const auto heard = Render(441);
  EXPECT_GT(testwav::ToneLevel(heard, 0, ToneOf(5), kRate), 1000.0);
  EXPECT_LT(testwav::ToneLevel(heard, 0, ToneOf(0), kRate), 100.0);
  EXPECT_LT(testwav::ToneLevel(heard, 0, ToneOf(4), kRate), 100.0);
  for (int i = 0; i < 4; ++i) EndFrame();
  EXPECT_EQ(Sound(5).DuplicateCount(), 0);
}

TEST_F(SoundTableTest, IdsOutsideTheTableAreIgnored) {
  manager_ = new CSoundManager(nullptr);
  manager_->Play(0, 0);  // before the table is loaded
  manager_->Stop(0);
  manager_->Update();
  EXPECT_EQ(manager_->GetSoundCount(), 0);
  EXPECT_EQ(manager_->LogJson(), "[]");

  manager_->Load();
  for (int id : {-1, 11, 12, INT_MAX, INT_MIN}) {
    manager_->Play(id, 2);
    manager_->Stop(id);
    EXPECT_EQ(manager_->GetSound(id), nullptr);
  }
  EndFrame();
  for (int id = 0; id < kSoundCount; ++id) {
    EXPECT_EQ(Sound(id).Request(), SOUND_REQUEST_IDLE);
    EXPECT_FALSE(Sound(id).IsPlaying());
    EXPECT_EQ(Sound(id).DuplicateCount(), 0);
  }
}

TEST_F(SoundTableTest, LastRequestOfAFrameCounts) {
  CSoundManager& sounds = Start();
  sounds.Play(7, 2);
  sounds.Stop(7);
  sounds.Play(7, 0);
  sounds.Update();
  EXPECT_TRUE(Sound(7).IsPlaying());
  EXPECT_EQ(Sound(7).DuplicateCount(), 0);
}

TEST_F(SoundTableTest, ThePlayedEffectIsWhatIsHeard) {
  CSoundManager& sounds = Start();
  sounds.Play(3, 1);
  sounds.Update();
  const auto heard = Render(kEffectFrames / 2);
  EXPECT_GT(testwav::ToneLevel(heard, 0, ToneOf(3), kRate), 4000.0);
  EXPECT_GT(testwav::ToneLevel(heard, 1, ToneOf(3), kRate), 4000.0);
  for (int id : {2, 4, 9}) EXPECT_LT(testwav::ToneLevel(heard, 0, ToneOf(id), kRate), 300.0);
  Render(kEffectFrames);
  EXPECT_LT(testwav::Peak(Render(441)), 4.0);
}

TEST_F(SoundTableTest, LogShowsRequestsPlayingAndCopies) {
  CSoundManager& sounds = Start();
  EXPECT_EQ(SoundLogJson(), "[]");
  g_soundManager = &sounds;
  sounds.Play(0, 0);
  sounds.Play(5, 2);
  sounds.Stop(7);
  sounds.Update();
  const std::string log = SoundLogJson();
  g_soundManager = nullptr;
  EXPECT_EQ(log, sounds.LogJson());
  const std::string idle = "{\"request\": 2, \"playing\": false, \"duplicates\": 0}";
  std::string expected = "[{\"request\": 2, \"playing\": true, \"duplicates\": 0}, " + idle;
  for (int id = 2; id < kSoundCount; ++id) {
    if (id == 5) {
      expected += ", {\"request\": 2, \"playing\": false, \"duplicates\": 1}";
    } else if (id == 7) {
      expected += ", {\"request\": 1, \"playing\": false, \"duplicates\": 0}";
    } else {
      expected += ", " + idle;
    }
  }
  EXPECT_EQ(log, expected + "]");
}

}  // namespace
}  // namespace soundtest
