// Reading WAV files, and what broken ones do to the sound table: the sound
// stays silent and every request on it is harmless.
#include "app/WaveFile.h"

#include "sound_fixture.h"

namespace soundtest {
namespace {

using testwav::Bytes;
using testwav::Chunk;
using testwav::Format;
using testwav::Riff;

Bytes Samples(std::size_t bytes) {
  Bytes out(bytes);
  for (std::size_t i = 0; i < bytes; ++i) out[i] = std::uint8_t(i * 13 + 1);
  return out;
}

Bytes WithExtra(Bytes format, std::uint16_t extraSize, std::size_t extraPresent) {
  testwav::Put16(format, extraSize);
  for (std::size_t i = 0; i < extraPresent; ++i) format.push_back(std::uint8_t(0xA0 + i));
  return format;
}

struct BrokenFile {
  const char* name;
  Bytes bytes;
  bool exists = true;
};

std::vector<BrokenFile> BrokenFiles() {
  const Bytes fmt = Format(1, 1, kRate, 16);
  const Bytes data = Chunk("data", Samples(400));
  // The format chunk claims its 32 extra bytes, but the file ends after 4 of them.
  const Bytes truncatedExtra =
      Riff("WAVE", {Chunk("fmt ", WithExtra(Format(2, 1, kRate, 4), 32, 4), 50)});
  const Bytes cutOff = Riff("WAVE", {Chunk("fmt ", fmt), Chunk("data", Samples(400), 4000)});
  return {
      {"missing file", {}, false},
      {"empty file", {}},
      {"not RIFF", Bytes{'J', 'U', 'N', 'K', 8, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0, 0}},
      {"RIFF but not WAVE", Riff("AVI ", {Chunk("fmt ", fmt), data})},
      {"no fmt chunk", Riff("WAVE", {data})},
      {"fmt shorter than 16 bytes",
       Riff("WAVE", {Chunk("fmt ", Bytes(fmt.begin(), fmt.begin() + 14)), data})},
      {"non-PCM with truncated extra bytes", truncatedExtra},
      {"no data chunk", Riff("WAVE", {Chunk("fmt ", fmt), Chunk("LIST", Samples(20))})},
      {"data claims more than the file", cutOff},
  };
}

TEST(WaveFileTest, ReadsFormatAndSamplesOfAGoodFile) {
  const fs::path dir = fs::temp_directory_path() / ("glomp_wave_" + std::to_string(::getpid()));
  const Bytes samples = Samples(3 * 8192 + 11);  // beyond a few mmio buffers
  // A chunk before "fmt " and one between "fmt " and "data", as tools write them.
  testwav::Write(dir / "Good.WAV",
                 Riff("WAVE", {Chunk("JUNK", Samples(5)), Chunk("fmt ", Format(1, 2, 22050, 8)),
                               Chunk("fact", Samples(4)), Chunk("data", samples)}));
  CWaveFile wave;
  ASSERT_EQ(wave.Open((dir / "good.wav").c_str()), S_OK);
  const WAVEFORMATEX* format = wave.GetFormat();
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(format->nChannels, 2);
  EXPECT_EQ(format->nSamplesPerSec, 22050u);
  EXPECT_EQ(format->nBlockAlign, 2);
  EXPECT_EQ(format->wBitsPerSample, 8);
  EXPECT_EQ(format->cbSize, 0);
  EXPECT_EQ(wave.GetSize(), samples.size());

  Bytes read(samples.size() + 100, 0);
  DWORD got = 0;
  ASSERT_EQ(wave.Read(read.data(), 1000, &got), S_OK);
  EXPECT_EQ(got, 1000u);
  EXPECT_EQ(wave.GetSize(), samples.size() - 1000);
  // Asking for more than is left delivers what is left.
  ASSERT_EQ(wave.Read(read.data() + 1000, DWORD(samples.size()), &got), S_OK);
  EXPECT_EQ(got, samples.size() - 1000);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + long(samples.size())), samples);
  ASSERT_EQ(wave.Read(read.data(), 10, &got), S_OK);
  EXPECT_EQ(got, 0u);
  wave.Close();
  EXPECT_EQ(wave.GetFormat(), nullptr);
  EXPECT_EQ(wave.Read(read.data(), 10, &got), E_FAIL);
  fs::remove_all(dir);
}

TEST(WaveFileTest, KeepsTheExtraBytesOfOtherFormats) {
  const fs::path path = fs::temp_directory_path() / ("glomp_adpcm_" + std::to_string(::getpid()));
  testwav::Write(path, Riff("WAVE", {Chunk("fmt ", WithExtra(Format(2, 1, kRate, 4), 4, 4)),
                                     Chunk("data", Samples(64))}));
  CWaveFile wave;
  ASSERT_EQ(wave.Open(path.c_str()), S_OK);
  ASSERT_NE(wave.GetFormat(), nullptr);
  EXPECT_EQ(wave.GetFormat()->wFormatTag, 2);
  EXPECT_EQ(wave.GetFormat()->cbSize, 4);
  const BYTE* extra = reinterpret_cast<const BYTE*>(wave.GetFormat() + 1);
  EXPECT_EQ(extra[0], 0xA0);
  EXPECT_EQ(extra[3], 0xA3);
  EXPECT_EQ(wave.GetSize(), 64u);
  fs::remove(path);
}

TEST(WaveFileTest, RefusesBrokenFiles) {
  const fs::path dir = fs::temp_directory_path() / ("glomp_broken_" + std::to_string(::getpid()));
  for (const BrokenFile& broken : BrokenFiles()) {
    const fs::path path = dir / "broken.wav";
    fs::remove_all(dir);
    if (broken.exists) testwav::Write(path, broken.bytes);
    CWaveFile wave;
    EXPECT_EQ(wave.Open(path.c_str()), E_FAIL) << broken.name;
    // Found by fuzzing: a file whose format read but whose data chunk did not
    // kept its format, as if it had opened.
    EXPECT_EQ(wave.GetFormat(), nullptr) << broken.name << ": a failed open keeps no format";
    BYTE byte;
    DWORD got = 1;
    wave.Read(&byte, 1, &got);
    EXPECT_EQ(got, 0u) << broken.name << ": no samples come out";
  }
  fs::remove_all(dir);
}

// Each broken file stands in for "jump.wav" (sound 4) next to ten good ones.
class BrokenSoundTest : public SoundTableTest, public ::testing::WithParamInterface<int> {};

TEST_P(BrokenSoundTest, StaysSilentAndEveryRequestIsHarmless) {
  const BrokenFile broken = BrokenFiles()[std::size_t(GetParam())];
  SCOPED_TRACE(broken.name);
  fs::remove(CSound::FileName(4));
  if (broken.exists) testwav::Write(CSound::FileName(4), broken.bytes);

  CSoundManager& sounds = Start();
  ASSERT_EQ(sounds.GetSoundCount(), kSoundCount);
  EXPECT_FALSE(Sound(4).IsLoaded());
  EXPECT_TRUE(Sound(3).IsLoaded());
  EXPECT_TRUE(Sound(5).IsLoaded());

  for (int mode : {0, 1, 2, 0}) {
    sounds.Play(4, mode);
    EndFrame();
    EXPECT_EQ(Sound(4).Request(), SOUND_REQUEST_IDLE);
    EXPECT_FALSE(Sound(4).IsPlaying());
    EXPECT_EQ(Sound(4).DuplicateCount(), 0);
  }
  sounds.Stop(4);
  EndFrame();
  sounds.StopAll();
  EndFrame();
  EXPECT_EQ(Sound(4).Request(), SOUND_REQUEST_STOP);  // a silent sound keeps its stop pending
  EXPECT_EQ(Sound(4).PlayPosition(), 0u);
  EXPECT_LT(testwav::Peak(Render(2205)), 4.0);

  // The good sounds around it still work.
  sounds.Play(5, 2);
  sounds.Play(3, 1);
  sounds.Update();
  EXPECT_EQ(Sound(5).DuplicateCount(), 1);
  EXPECT_GT(testwav::ToneLevel(Render(441), 0, ToneOf(3), kRate), 2000.0);
}

INSTANTIATE_TEST_SUITE_P(BadInput, BrokenSoundTest, ::testing::Range(0, 9));

// Files the reader accepts but DirectSound cannot play make silent sounds too.
TEST_F(SoundTableTest, UnplayableButReadableFilesStaySilent) {
  testwav::Write(CSound::FileName(2),
                 Riff("WAVE", {Chunk("fmt ", WithExtra(Format(3, 1, kRate, 32), 0, 0)),
                               Chunk("data", Samples(400))}));
  testwav::Write(CSound::FileName(9),
                 Riff("WAVE", {Chunk("fmt ", Format(1, 1, kRate, 16)), Chunk("data", {})}));
  CSoundManager& sounds = Start();
  for (int id : {2, 9}) {
    EXPECT_FALSE(Sound(id).IsLoaded()) << id;
    sounds.Play(id, 2);
    EndFrame();
    EXPECT_EQ(Sound(id).DuplicateCount(), 0);
  }
  EXPECT_LT(testwav::Peak(Render(441)), 4.0);
}

}  // namespace
}  // namespace soundtest
