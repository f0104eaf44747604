#include "app/WaveFile.h"

#include <cstring>

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile() { Close(); }

WAVEFORMATEX* CWaveFile::GetFormat() {
  return format.empty() ? nullptr : reinterpret_cast<WAVEFORMATEX*>(format.data());
}

HRESULT CWaveFile::Open(const char* path) {
  Close();
  mmio = mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
  if (!mmio) return E_FAIL;
  // A file without a readable format or a complete "data" chunk is closed
  // again: a failed Open leaves no format behind.
  if (FAILED(ReadFormat()) || FAILED(FindData())) {
    Close();
    return E_FAIL;
  }
  return S_OK;
}

// Descends into "RIFF"/"WAVE" and reads the "fmt " chunk.
HRESULT CWaveFile::ReadFormat() {
  if (mmioDescend(mmio, &riffChunk, nullptr, 0) != MMSYSERR_NOERROR) return E_FAIL;
  if (riffChunk.ckid != FOURCC_RIFF || riffChunk.fccType != mmioFOURCC('W', 'A', 'V', 'E')) {
    return E_FAIL;
  }

  MMCKINFO formatChunk{};
  formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(mmio, &formatChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
    return E_FAIL;
  }
  if (formatChunk.cksize < sizeof(PCMWAVEFORMAT)) return E_FAIL;
  PCMWAVEFORMAT pcm;
  if (mmioRead(mmio, reinterpret_cast<HPSTR>(&pcm), sizeof(pcm)) != LONG(sizeof(pcm))) {
    return E_FAIL;
  }

  WORD extraBytes = 0;
  if (pcm.wf.wFormatTag != WAVE_FORMAT_PCM) {
    // Other formats carry a size and that many bytes of their own after it.
    if (mmioRead(mmio, reinterpret_cast<HPSTR>(&extraBytes), sizeof(extraBytes)) !=
        LONG(sizeof(extraBytes))) {
      return E_FAIL;
    }
  }
  format.assign(sizeof(WAVEFORMATEX) + extraBytes, 0);
  std::memcpy(format.data(), &pcm, sizeof(pcm));
  GetFormat()->cbSize = extraBytes;
  if (extraBytes > 0 &&
      mmioRead(mmio, reinterpret_cast<HPSTR>(format.data() + sizeof(WAVEFORMATEX)), extraBytes) !=
          LONG(extraBytes)) {
    return E_FAIL;
  }

  if (mmioAscend(mmio, &formatChunk, 0) != MMSYSERR_NOERROR) return E_FAIL;
  return S_OK;
}

// Finds the "data" chunk of the RIFF chunk, from just after its form type.
HRESULT CWaveFile::FindData() {
  if (mmioSeek(mmio, LONG(riffChunk.dwDataOffset + sizeof(FOURCC)), SEEK_SET) == -1) {
    return E_FAIL;
  }
  dataChunk = {};
  dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(mmio, &dataChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
    dataChunk.cksize = 0;
    return E_FAIL;
  }
  // A data chunk that claims more bytes than the file holds is a cut-off
  // file: refuse it rather than hand out a buffer of missing samples.
  const LONG fileEnd = mmioSeek(mmio, 0, SEEK_END);
  if (fileEnd == -1 || DWORD(fileEnd) < dataChunk.dwDataOffset ||
      DWORD(fileEnd) - dataChunk.dwDataOffset < dataChunk.cksize ||
      mmioSeek(mmio, LONG(dataChunk.dwDataOffset), SEEK_SET) == -1) {
    dataChunk.cksize = 0;
    return E_FAIL;
  }
  return S_OK;
}

HRESULT CWaveFile::Read(BYTE* destination, DWORD size, DWORD* sizeRead) {
  if (sizeRead) *sizeRead = 0;
  if (!mmio) return E_FAIL;
  if (!destination || !sizeRead) return E_INVALIDARG;

  MMIOINFO info;
  if (mmioGetInfo(mmio, &info, 0) != MMSYSERR_NOERROR) return E_FAIL;
  const DWORD toRead = size < dataChunk.cksize ? size : dataChunk.cksize;
  for (DWORD i = 0; i < toRead; ++i) {
    if (info.pchNext == info.pchEndRead) {
      if (mmioAdvance(mmio, &info, MMIO_READ) != MMSYSERR_NOERROR) return E_FAIL;
      if (info.pchNext == info.pchEndRead) return E_FAIL;  // the file ended early
    }
    destination[i] = BYTE(*info.pchNext);
    ++info.pchNext;
  }
  if (mmioSetInfo(mmio, &info, 0) != MMSYSERR_NOERROR) return E_FAIL;
  dataChunk.cksize -= toRead;
  *sizeRead = toRead;
  return S_OK;
}

HRESULT CWaveFile::Close() {
  if (mmio) {
    mmioClose(mmio, 0);
    mmio = nullptr;
  }
  FreeFormat();
  return S_OK;
}
