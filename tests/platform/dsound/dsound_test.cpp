// The DirectSound stand-in on a memory device: time passes only by the frames
// rendered, and the rendered mix shows what would be heard.
#include <gtest/gtest.h>

#include <dsound.h>

#include <chrono>
#include <thread>
#include <vector>

#include "glomp/soundmix.h"
#include "support/wav_writer.h"

namespace {

constexpr DWORD kRate = 44100;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
  const WORD align = WORD(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

DSBUFFERDESC Secondary(DWORD bytes, WAVEFORMATEX* format, DWORD flags = DSBCAPS_CTRL3D) {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = flags | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = bytes;
  desc.lpwfxFormat = format;
  return desc;
}

std::vector<std::int16_t> Render(std::size_t frames) {
  std::vector<std::int16_t> out(frames * 2);
  EXPECT_TRUE(glomp::RenderSound(out.data(), frames));
  return out;
}

// The mix dithers its 16-bit output, so silence is a few steps of noise.
constexpr double kSilence = 4.0;
// OpenAL fades a stopped source out over about a millisecond instead of clicking.
constexpr std::size_t kStopFadeFrames = 128;

DWORD Status(IDirectSoundBuffer* buffer) {
  DWORD status = 0xdead;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  return status;
}

DWORD PlayCursor(IDirectSoundBuffer* buffer) {
  DWORD play = 0, write = 0;
  EXPECT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
  return play;
}

class MemoryDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::UseMemorySoundDevice(true);
    ASSERT_EQ(DirectSoundCreate8(nullptr, &ds_, nullptr), DS_OK);
    ASSERT_TRUE(glomp::IsMemorySoundDevice());
    ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  }
  void TearDown() override {
    for (IUnknown* object : owned_) object->Release();
    if (ds_) ds_->Release();
    glomp::UseMemorySoundDevice(false);
    EXPECT_FALSE(glomp::IsMemorySoundDevice()) << "something still holds the device";
  }

  // A secondary buffer filled with `samples` (whole buffer).
  IDirectSoundBuffer8* MakeBuffer(const testwav::Bytes& samples, WAVEFORMATEX format) {
    DSBUFFERDESC desc = Secondary(DWORD(samples.size()), &format);
    IDirectSoundBuffer* first = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&desc, &first, nullptr), DS_OK);
    if (!first) return nullptr;
    IDirectSoundBuffer8* buffer = nullptr;
    EXPECT_EQ(first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer)),
              S_OK);
    first->Release();
    Fill(buffer, samples);
    owned_.push_back(buffer);
    return buffer;
  }

  static void Fill(IDirectSoundBuffer* buffer, const testwav::Bytes& samples) {
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(0, DWORD(samples.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
    ASSERT_EQ(n1, samples.size());
    std::memcpy(p1, samples.data(), n1);
    ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  }

  IDirectSound8* ds_ = nullptr;
  std::vector<IUnknown*> owned_;
};

TEST_F(MemoryDeviceTest, RefusesBuffersItCannotPlay) {
  IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
  WAVEFORMATEX pcm = Pcm(1, kRate, 16);

  DSBUFFERDESC noFormat = Secondary(1000, nullptr);
  EXPECT_EQ(ds_->CreateSoundBuffer(&noFormat, &buffer, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer, nullptr);
  DSBUFFERDESC tooSmall = Secondary(DSBSIZE_MIN - 1, &pcm);
  EXPECT_EQ(ds_->CreateSoundBuffer(&tooSmall, &buffer, nullptr), DSERR_INVALIDPARAM);
  DSBUFFERDESC tooLarge = Secondary(DSBSIZE_MAX + 1, &pcm);
  EXPECT_EQ(ds_->CreateSoundBuffer(&tooLarge, &buffer, nullptr), DSERR_INVALIDPARAM);
  DSBUFFERDESC badSize = Secondary(1000, &pcm);
  badSize.dwSize = 12;
  EXPECT_EQ(ds_->CreateSoundBuffer(&badSize, &buffer, nullptr), DSERR_INVALIDPARAM);

  for (WAVEFORMATEX bad : {Pcm(1, kRate, 24), Pcm(3, kRate, 16), Pcm(1, 50, 16)}) {
    DSBUFFERDESC desc = Secondary(1000, &bad);
    EXPECT_EQ(ds_->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_BADFORMAT);
  }
  WAVEFORMATEX adpcm = pcm;
  adpcm.wFormatTag = 2;
  DSBUFFERDESC desc = Secondary(1000, &adpcm);
  EXPECT_EQ(ds_->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_BADFORMAT);
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(MemoryDeviceTest, PrimaryBufferKeepsItsFormatAndCannotBeDuplicated) {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME;
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds_->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
  owned_.push_back(primary);

  WAVEFORMATEX wanted = Pcm(2, 44100, 16);
  EXPECT_EQ(primary->SetFormat(&wanted), DS_OK);
  WAVEFORMATEX got{};
  DWORD written = 0;
  EXPECT_EQ(primary->GetFormat(&got, sizeof(got), &written), DS_OK);
  EXPECT_EQ(written, sizeof(WAVEFORMATEX));
  EXPECT_EQ(got.nSamplesPerSec, 44100u);
  EXPECT_EQ(got.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(got.nBlockAlign, 4);

  void* object = nullptr;
  EXPECT_EQ(primary->QueryInterface(IID_IDirectSoundBuffer8, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  IDirectSoundBuffer* copy = nullptr;
  EXPECT_EQ(ds_->DuplicateSoundBuffer(primary, &copy), DSERR_INVALIDCALL);
  EXPECT_EQ(copy, nullptr);

  // A primary buffer takes no size or format of its own.
  WAVEFORMATEX format = Pcm(2, 44100, 16);
  desc.lpwfxFormat = &format;
  EXPECT_EQ(ds_->CreateSoundBuffer(&desc, &copy, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(MemoryDeviceTest, LockHandsOutTwoPartsWhenTheRegionWraps) {
  WAVEFORMATEX format = Pcm(1, kRate, 16);
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Bytes(1000, 0), format);
  ASSERT_NE(buffer, nullptr);
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  ASSERT_EQ(buffer->Lock(800, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 200u);
  EXPECT_EQ(n2, 200u);
  EXPECT_EQ(static_cast<BYTE*>(p1) - static_cast<BYTE*>(p2), 800);
  EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);

  ASSERT_EQ(buffer->Lock(0, 1000, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 1000u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(n2, 0u);
  EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  EXPECT_EQ(buffer->Lock(0, 1001, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(1000, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
}

TEST_F(MemoryDeviceTest, OneShotIsHeardAdvancesAndStopsByItself) {
  // 100 ms of a 1 kHz tone.
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Sine16(1000, kRate, 4410), Pcm(1, kRate, 16));
  ASSERT_NE(buffer, nullptr);
  EXPECT_LT(testwav::Peak(Render(441)), kSilence) << "nothing plays before Play";

  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(buffer), DWORD(DSBSTATUS_PLAYING));
  const auto heard = Render(2205);
  EXPECT_GT(testwav::ToneLevel(heard, 0, 1000, kRate), 2000.0);
  EXPECT_GT(testwav::ToneLevel(heard, 1, 1000, kRate), 2000.0);
  EXPECT_LT(testwav::ToneLevel(heard, 0, 3000, kRate), 200.0);
  const DWORD halfway = PlayCursor(buffer);
  EXPECT_GE(halfway, 2000u * 2);
  EXPECT_LE(halfway, 2205u * 2);

  Render(2205 + 441);
  EXPECT_EQ(Status(buffer), 0u);
  EXPECT_EQ(PlayCursor(buffer), 0u) << "a finished one-shot is back at the start";
  EXPECT_LT(testwav::Peak(Render(441)), kSilence);

  // And it plays again from the start.
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  Render(441);
  EXPECT_EQ(Status(buffer), DWORD(DSBSTATUS_PLAYING));
  EXPECT_LE(PlayCursor(buffer), 441u * 2);
}

TEST_F(MemoryDeviceTest, LoopingKeepsSoundingPastItsLength) {
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Sine16(500, kRate, 4410), Pcm(1, kRate, 16));
  ASSERT_NE(buffer, nullptr);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  Render(4410 * 3 + 1000);
  EXPECT_EQ(Status(buffer), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  EXPECT_GT(testwav::ToneLevel(Render(4410), 0, 500, kRate), 2000.0);
  const DWORD cursor = PlayCursor(buffer);
  EXPECT_LT(cursor, 4410u * 2);

  // Play while playing changes nothing but the looping flag.
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(buffer), DWORD(DSBSTATUS_PLAYING));
  EXPECT_GE(PlayCursor(buffer), cursor);
  Render(4410 + 441);
  EXPECT_EQ(Status(buffer), 0u);
}

TEST_F(MemoryDeviceTest, StopKeepsThePositionAndPlayResumesThere) {
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Sine16(1000, kRate, 8820), Pcm(1, kRate, 16));
  ASSERT_NE(buffer, nullptr);
  buffer->Play(0, 0, 0);
  Render(2000);
  ASSERT_EQ(buffer->Stop(), DS_OK);
  const DWORD stoppedAt = PlayCursor(buffer);
  EXPECT_NEAR(double(stoppedAt), 2000.0 * 2, 2.0 * 1024);
  Render(kStopFadeFrames);
  EXPECT_LT(testwav::Peak(Render(1000)), kSilence);
  EXPECT_EQ(PlayCursor(buffer), stoppedAt);

  buffer->Play(0, 0, 0);
  Render(1000);
  EXPECT_NEAR(double(PlayCursor(buffer)), double(stoppedAt) + 2000.0, 2.0 * 1024);

  // A position set while silent is where the next Play starts; odd byte
  // positions fall back to the sample frame they are in.
  buffer->Stop();
  ASSERT_EQ(buffer->SetCurrentPosition(12001), DS_OK);
  EXPECT_EQ(PlayCursor(buffer), 12000u);
  buffer->Play(0, 0, 0);
  Render(100);
  EXPECT_GE(PlayCursor(buffer), 12000u);
  EXPECT_LT(PlayCursor(buffer), 12000u + 2 * 1500);

  // Rewinding while playing jumps back at once.
  ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
  EXPECT_LT(PlayCursor(buffer), 2u * 1500);
  EXPECT_EQ(buffer->SetCurrentPosition(8820 * 2), DSERR_INVALIDPARAM);
}

TEST_F(MemoryDeviceTest, DuplicatesShareTheDataAndPlayOnTheirOwn) {
  IDirectSoundBuffer8* original = MakeBuffer(testwav::Sine16(1000, kRate, 4410), Pcm(1, kRate, 16));
  ASSERT_NE(original, nullptr);
  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(ds_->DuplicateSoundBuffer(original, &copy), DS_OK);
  owned_.push_back(copy);
  EXPECT_EQ(Status(copy), 0u);

  // The copy sounds the original's samples while the original stays silent.
  copy->Play(0, 0, 0);
  EXPECT_EQ(Status(original), 0u);
  EXPECT_GT(testwav::ToneLevel(Render(2205), 0, 1000, kRate), 2000.0);

  // Both at once, then the original stopped: the copy plays on to its end.
  original->Play(0, 0, 0);
  Render(441);
  original->Stop();
  EXPECT_EQ(Status(copy), DWORD(DSBSTATUS_PLAYING));
  Render(2205);
  EXPECT_EQ(Status(copy), 0u);

  // The 3D interface of a duplicate answers SetMode.
  IDirectSound3DBuffer* copy3D = nullptr;
  ASSERT_EQ(copy->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&copy3D)),
            S_OK);
  EXPECT_EQ(copy3D->SetMode(DS3DMODE_NORMAL, DS3D_IMMEDIATE), DS_OK);
  DWORD mode = 99;
  EXPECT_EQ(copy3D->GetMode(&mode), DS_OK);
  EXPECT_EQ(mode, DWORD(DS3DMODE_NORMAL));
  EXPECT_EQ(copy3D->SetMode(7, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
  copy3D->Release();
}

TEST_F(MemoryDeviceTest, NewSamplesAreHeardFromTheNextStart) {
  IDirectSoundBuffer8* original =
      MakeBuffer(testwav::Sine16(1000, kRate, 4410), Pcm(1, kRate, 16));
  ASSERT_NE(original, nullptr);
  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(ds_->DuplicateSoundBuffer(original, &copy), DS_OK);
  owned_.push_back(copy);
  copy->Play(0, 0, DSBPLAY_LOOPING);
  Render(441);

  // New samples written through the original: the sounding copy carries on
  // with what it started with; both buffers play the new ones once restarted.
  Fill(original, testwav::Sine16(2500, kRate, 4410));
  auto heard = Render(2205);
  EXPECT_GT(testwav::ToneLevel(heard, 0, 1000, kRate), 2000.0);
  EXPECT_LT(testwav::ToneLevel(heard, 0, 2500, kRate), 300.0);

  copy->Stop();
  copy->SetCurrentPosition(0);
  copy->Play(0, 0, 0);
  heard = Render(2205);
  EXPECT_GT(testwav::ToneLevel(heard, 0, 2500, kRate), 2000.0);
  EXPECT_LT(testwav::ToneLevel(heard, 0, 1000, kRate), 300.0);
  copy->Stop();
  original->Play(0, 0, 0);
  Render(kStopFadeFrames);
  EXPECT_GT(testwav::ToneLevel(Render(2000), 0, 2500, kRate), 2000.0);
}

TEST_F(MemoryDeviceTest, EightBitAndStereoAtOtherRates) {
  // 8-bit mono at 11025 Hz: 600 Hz tone, resampled to the mix rate.
  testwav::Bytes eight;
  for (int i = 0; i < 11025; ++i) {
    eight.push_back(
        BYTE(128 + std::lround(100 * std::sin(2 * std::numbers::pi * 600 * i / 11025))));
  }
  IDirectSoundBuffer8* mono8 = MakeBuffer(eight, Pcm(1, 11025, 8));
  ASSERT_NE(mono8, nullptr);
  mono8->Play(0, 0, 0);
  const auto heard = Render(4410);
  EXPECT_GT(testwav::ToneLevel(heard, 0, 600, kRate), 4000.0);
  mono8->Stop();

  // 16-bit stereo at 22050 Hz with the tone only on the left.
  testwav::Bytes stereo;
  for (int i = 0; i < 22050; ++i) {
    testwav::Put16(
        stereo,
        std::uint16_t(std::int16_t(12000 * std::sin(2 * std::numbers::pi * 800 * i / 22050))));
    testwav::Put16(stereo, 0);
  }
  IDirectSoundBuffer8* left = MakeBuffer(stereo, Pcm(2, 22050, 16));
  ASSERT_NE(left, nullptr);
  left->Play(0, 0, 0);
  Render(441);
  const auto mix = Render(4410);
  EXPECT_GT(testwav::ToneLevel(mix, 0, 800, kRate), 3000.0);
  EXPECT_LT(testwav::ToneLevel(mix, 1, 800, kRate), 300.0);
  // Half a second of 22050 Hz stereo: the cursor counts the buffer's own bytes.
  EXPECT_NEAR(double(PlayCursor(left)), 4851.0 / 2 * 4, 1024.0 * 4);
}

TEST_F(MemoryDeviceTest, BuffersKeepTheDeviceAliveAfterItIsReleased) {
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Sine16(1000, kRate, 4410), Pcm(1, kRate, 16));
  ASSERT_NE(buffer, nullptr);
  IDirectSound3DBuffer* buffer3D = nullptr;
  ASSERT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3D)),
            S_OK);
  EXPECT_EQ(buffer->AddRef(), 3u);  // owned_, buffer3D and this one
  EXPECT_EQ(buffer->Release(), 2u);

  EXPECT_EQ(ds_->Release(), 0u);
  ds_ = nullptr;
  ASSERT_TRUE(glomp::IsMemorySoundDevice());
  buffer->Play(0, 0, 0);
  EXPECT_GT(testwav::ToneLevel(Render(2205), 0, 1000, kRate), 2000.0);
  EXPECT_EQ(buffer3D->Release(), 1u);
}

TEST_F(MemoryDeviceTest, AdvanceCarriesFractionsOfAFrame) {
  // 16 ms is 705.6 frames: five such steps are exactly 3528 frames.
  IDirectSoundBuffer8* buffer = MakeBuffer(testwav::Sine16(1000, kRate, 44100), Pcm(1, kRate, 16));
  ASSERT_NE(buffer, nullptr);
  buffer->Play(0, 0, 0);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(glomp::AdvanceSoundClock(16));
  // The source position moves in the mixer's update steps.
  EXPECT_NEAR(double(PlayCursor(buffer)), 3528.0 * 2, 2.0 * 1024);
}

// Without a memory device the sound plays on the machine's output or, when
// there is none (CI), into a silent device that still keeps time.
TEST(SilentDeviceTest, TimePassesWithoutAnAudioDevice) {
  glomp::UseMemorySoundDevice(false);
  IDirectSound8* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  EXPECT_FALSE(glomp::IsMemorySoundDevice());
  EXPECT_FALSE(glomp::AdvanceSoundClock(16));
  WAVEFORMATEX format = Pcm(1, kRate, 16);
  DSBUFFERDESC desc = Secondary(2205 * 2, &format);  // 50 ms
  IDirectSoundBuffer* buffer = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  // Generous: the 50 ms buffer must end well within two seconds of real time.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  DWORD status = DSBSTATUS_PLAYING;
  while ((status & DSBSTATUS_PLAYING) && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    buffer->GetStatus(&status);
  }
  EXPECT_EQ(status, 0u);
  buffer->Release();
  ds->Release();
}

}  // namespace
