// mmio over stdio: chunk navigation and buffered reading of RIFF files.
#include <gtest/gtest.h>

#include <mmsystem.h>
#include <unistd.h>

#include <filesystem>

#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

class MmioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("glomp_mmio_" + std::to_string(::getpid()));
    fs::create_directories(root_);
    previous_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override {
    if (mmio_) mmioClose(mmio_, 0);
    fs::current_path(previous_);
    fs::remove_all(root_);
  }
  HMMIO Open(const char* path) {
    mmio_ = mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    return mmio_;
  }

  fs::path root_, previous_;
  HMMIO mmio_ = nullptr;
};

// RIFF "TEST": an odd-sized "odd " chunk (padded), a LIST "INFO", a "big " chunk.
testwav::Bytes SampleFile(std::size_t bigBytes) {
  testwav::Bytes big(bigBytes);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = std::uint8_t(i * 7 + 3);
  testwav::Bytes list;
  testwav::PutId(list, "INFO");
  const auto name = testwav::Chunk("INAM", {'g', 'l', 'o', 'm', 'p'});
  list.insert(list.end(), name.begin(), name.end());
  return testwav::Riff("TEST", {testwav::Chunk("odd ", {1, 2, 3}), testwav::Chunk("LIST", list),
                                testwav::Chunk("big ", big)});
}

TEST_F(MmioTest, DescendsFindsAndAscendsChunks) {
  testwav::Write("Sounds/File.riff", SampleFile(100));
  ASSERT_NE(Open("sounds\\FILE.riff"), nullptr) << "paths resolve like the game's other files";

  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
  ASSERT_EQ(mmioDescend(mmio_, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.ckid, FOURCC_RIFF);
  EXPECT_EQ(riff.dwDataOffset, 8u);  // the form type is part of the data
  EXPECT_EQ(mmioSeek(mmio_, 0, SEEK_CUR), 12);

  MMCKINFO big{};
  big.ckid = mmioFOURCC('b', 'i', 'g', ' ');
  ASSERT_EQ(mmioDescend(mmio_, &big, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(big.cksize, 100u);
  // 12 + "odd " (8 + 3 + pad) + LIST (8 + 4 + 8 + 5 + pad) + header 8
  EXPECT_EQ(big.dwDataOffset, 12u + 12 + 26 + 8);
  char first[3];
  ASSERT_EQ(mmioRead(mmio_, first, 3), 3);
  EXPECT_EQ(std::uint8_t(first[1]), std::uint8_t(1 * 7 + 3));

  // Back to the start of the form and find the list by its type.
  ASSERT_EQ(mmioSeek(mmio_, 12, SEEK_SET), 12);
  MMCKINFO list{};
  list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
  ASSERT_EQ(mmioDescend(mmio_, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
  MMCKINFO name{};
  name.ckid = mmioFOURCC('I', 'N', 'A', 'M');
  ASSERT_EQ(mmioDescend(mmio_, &name, &list, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(name.cksize, 5u);
  ASSERT_EQ(mmioAscend(mmio_, &name, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(mmio_, 0, SEEK_CUR), LONG(name.dwDataOffset + 6));  // past the pad byte
  ASSERT_EQ(mmioAscend(mmio_, &list, 0), MMSYSERR_NOERROR);

  // A chunk that is only outside the parent is not found inside it.
  MMCKINFO missing{};
  missing.ckid = mmioFOURCC('b', 'i', 'g', ' ');
  ASSERT_EQ(mmioSeek(mmio_, LONG(name.dwDataOffset - 8), SEEK_SET), LONG(name.dwDataOffset - 8));
  EXPECT_EQ(mmioDescend(mmio_, &missing, &list, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  missing.ckid = mmioFOURCC('n', 'o', 'n', 'e');
  ASSERT_EQ(mmioSeek(mmio_, 12, SEEK_SET), 12);
  EXPECT_EQ(mmioDescend(mmio_, &missing, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
}

TEST_F(MmioTest, BufferedReadingAcrossRefills) {
  // Much larger than the default 8 KB buffer.
  const std::size_t size = 3 * MMIO_DEFAULTBUFFER + 123;
  testwav::Write("big.riff", SampleFile(size));
  ASSERT_NE(Open("big.riff"), nullptr);
  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(mmio_, &riff, nullptr, 0), MMSYSERR_NOERROR);
  MMCKINFO big{};
  big.ckid = mmioFOURCC('b', 'i', 'g', ' ');
  ASSERT_EQ(mmioDescend(mmio_, &big, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);

  // Read byte by byte through the I/O information, refilling with mmioAdvance.
  MMIOINFO info;
  ASSERT_EQ(mmioGetInfo(mmio_, &info, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(info.cchBuffer, MMIO_DEFAULTBUFFER);
  std::size_t mismatches = 0, refills = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (info.pchNext == info.pchEndRead) {
      ASSERT_EQ(mmioAdvance(mmio_, &info, MMIO_READ), MMSYSERR_NOERROR);
      ASSERT_NE(info.pchNext, info.pchEndRead) << "at byte " << i;
      ++refills;
    }
    if (std::uint8_t(*info.pchNext++) != std::uint8_t(i * 7 + 3)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_GE(refills, 3u);
  ASSERT_EQ(mmioSetInfo(mmio_, &info, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(mmio_, 0, SEEK_CUR), LONG(big.dwDataOffset + size));

  // At the end of the file the buffer comes back empty.
  char rest[8];
  EXPECT_EQ(mmioRead(mmio_, rest, 8), 1);  // the pad byte
  ASSERT_EQ(mmioGetInfo(mmio_, &info, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioAdvance(mmio_, &info, MMIO_READ), MMSYSERR_NOERROR);
  EXPECT_EQ(info.pchNext, info.pchEndRead);
  EXPECT_EQ(mmioRead(mmio_, rest, 8), 0);

  // mmioRead straight across the buffer, after a seek backwards.
  std::vector<char> all(size);
  ASSERT_EQ(mmioSeek(mmio_, LONG(big.dwDataOffset), SEEK_SET), LONG(big.dwDataOffset));
  ASSERT_EQ(mmioRead(mmio_, all.data(), LONG(size)), LONG(size));
  EXPECT_EQ(std::uint8_t(all[size - 1]), std::uint8_t((size - 1) * 7 + 3));
  EXPECT_EQ(mmioSeek(mmio_, 0, SEEK_END), LONG(fs::file_size("big.riff")));
}

TEST_F(MmioTest, MissingAndShortFiles) {
  MMIOINFO info{};
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("nothing.wav"), &info, MMIO_ALLOCBUF), nullptr);
  EXPECT_EQ(info.wErrorRet, UINT(MMIOERR_FILENOTFOUND));
  EXPECT_EQ(mmioOpenA(nullptr, nullptr, MMIO_ALLOCBUF), nullptr);

  testwav::Write("short.wav", {'R', 'I', 'F', 'F', 4, 0});
  ASSERT_NE(Open("short.wav"), nullptr);
  MMCKINFO riff{};
  EXPECT_EQ(mmioDescend(mmio_, &riff, nullptr, 0), MMIOERR_CHUNKNOTFOUND);

  // A chunk whose size points far past the end is skipped, not followed forever.
  mmioClose(mmio_, 0);
  testwav::Bytes liar = testwav::Riff("WAVE", {testwav::Chunk("junk", {1, 2}, 0x7ffffff0)});
  testwav::Write("liar.wav", liar);
  ASSERT_NE(Open("liar.wav"), nullptr);
  ASSERT_EQ(mmioDescend(mmio_, &riff, nullptr, 0), MMSYSERR_NOERROR);
  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  EXPECT_EQ(mmioDescend(mmio_, &data, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  EXPECT_EQ(mmioSeek(mmio_, -1, SEEK_SET), -1);
}

TEST(ComTest, CoInitializeCountsPerThread) {
  const HRESULT first = CoInitialize(nullptr);
  EXPECT_TRUE(first == S_OK || first == S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

}  // namespace
