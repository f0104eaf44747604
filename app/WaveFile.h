// Reads the format and the sample bytes of a WAV file through mmio.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <vector>

class CWaveFile {
 public:
  CWaveFile();
  ~CWaveFile();
  CWaveFile(const CWaveFile&) = delete;
  CWaveFile& operator=(const CWaveFile&) = delete;

  // Opens the file and finds its format and its "data" chunk; E_FAIL when it
  // is missing or not a readable RIFF WAVE file.
  HRESULT Open(const char* path);
  // Reads up to `size` bytes of samples (no more than are left in the data
  // chunk) into `destination` and reports how many in `sizeRead`.
  HRESULT Read(BYTE* destination, DWORD size, DWORD* sizeRead);
  HRESULT Close();

  // The file's format; null until a successful Open.
  WAVEFORMATEX* GetFormat();
  // Sample bytes still to be read from the data chunk.
  DWORD GetSize() const { return dataChunk.cksize; }

 private:
  HRESULT ReadFormat();
  HRESULT FindData();
  void FreeFormat() { format.clear(); }

  std::vector<BYTE> format;  // a WAVEFORMATEX followed by its cbSize extra bytes
  HMMIO mmio = nullptr;
  MMCKINFO riffChunk{};
  MMCKINFO dataChunk{};
};
