// mmio over stdio: buffered reading of RIFF files, read-only.
//
// Invariant of an open file: the buffer holds the bytes of the file from
// lBufOffset up to pchEndRead, pchNext is the current read position inside it,
// and lDiskOffset is the file offset just past the buffered bytes.
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "glomp/files.h"

#ifndef MMSYSERR_INVALHANDLE
#define MMSYSERR_INVALHANDLE 5
#endif
#ifndef MMSYSERR_INVALPARAM
#define MMSYSERR_INVALPARAM 11
#endif

struct HMMIO__ {
  std::FILE* file = nullptr;
  std::vector<char> buffer;  // empty for an unbuffered file
  MMIOINFO info{};

  LONG Position() const { return info.lBufOffset + LONG(info.pchNext - info.pchBuffer); }

  // Empties the buffer and moves the file to `offset`.
  bool MoveTo(LONG offset) {
    info.pchNext = info.pchEndRead = info.pchBuffer;
    info.lBufOffset = info.lDiskOffset = offset;
    return std::fseek(file, offset, SEEK_SET) == 0;
  }

  // Refills the buffer with the bytes from the current position on. False on a
  // read error; at the end of the file the buffer simply comes back empty.
  bool Refill() {
    if (!MoveTo(Position())) return false;
    const std::size_t got = std::fread(info.pchBuffer, 1, buffer.size(), file);
    info.pchEndRead = info.pchBuffer + got;
    info.lDiskOffset = info.lBufOffset + LONG(got);
    return !std::ferror(file);
  }

  bool OwnsPointer(const char* p) const { return p >= info.pchBuffer && p <= info.pchEndRead; }
};

HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
  auto fail = [info](UINT error) -> HMMIO {
    if (info) info->wErrorRet = error;
    return nullptr;
  };
  if (!fileName) return fail(MMIOERR_CANNOTOPEN);
  if (flags & (MMIO_WRITE | MMIO_READWRITE)) return fail(MMIOERR_CANNOTOPEN);  // read-only stand-in

  std::FILE* file = glomp::OpenFile(fileName, "rb");
  if (!file) return fail(MMIOERR_FILENOTFOUND);

  auto mmio = std::make_unique<HMMIO__>();
  mmio->file = file;
  if (flags & MMIO_ALLOCBUF) {
    const LONG size = info && info->cchBuffer > 0 ? info->cchBuffer : MMIO_DEFAULTBUFFER;
    mmio->buffer.resize(std::size_t(size));
  }
  MMIOINFO& state = mmio->info;
  state.dwFlags = flags;
  state.cchBuffer = LONG(mmio->buffer.size());
  state.pchBuffer = mmio->buffer.data();
  state.pchNext = state.pchEndRead = state.pchEndWrite = state.pchBuffer;
  state.hmmio = mmio.get();
  if (info) info->wErrorRet = MMSYSERR_NOERROR;
  return mmio.release();
}

MMRESULT mmioClose(HMMIO mmio, UINT /*flags*/) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  const bool closed = std::fclose(mmio->file) == 0;
  delete mmio;
  return closed ? MMSYSERR_NOERROR : MMRESULT(MMIOERR_CANNOTCLOSE);
}

LONG mmioRead(HMMIO mmio, HPSTR destination, LONG bytes) {
  if (!mmio || bytes < 0 || (bytes > 0 && !destination)) return -1;
  if (mmio->buffer.empty()) {
    // Unbuffered: straight from the file.
    const LONG at = mmio->Position();
    if (std::fseek(mmio->file, at, SEEK_SET) != 0) return -1;
    const std::size_t got = std::fread(destination, 1, std::size_t(bytes), mmio->file);
    if (std::ferror(mmio->file)) return -1;
    mmio->MoveTo(at + LONG(got));
    return LONG(got);
  }
  LONG done = 0;
  MMIOINFO& state = mmio->info;
  while (done < bytes) {
    if (state.pchNext == state.pchEndRead) {
      if (!mmio->Refill()) return -1;
      if (state.pchNext == state.pchEndRead) break;  // end of file
    }
    const LONG chunk = std::min<LONG>(bytes - done, LONG(state.pchEndRead - state.pchNext));
    std::memcpy(destination + done, state.pchNext, std::size_t(chunk));
    state.pchNext += chunk;
    done += chunk;
  }
  return done;
}

LONG mmioSeek(HMMIO mmio, LONG offset, int origin) {
  if (!mmio) return -1;
  long long target = 0;
  switch (origin) {
    case SEEK_SET:
      target = offset;
      break;
    case SEEK_CUR:
      target = (long long)mmio->Position() + offset;
      break;
    case SEEK_END: {
      if (std::fseek(mmio->file, 0, SEEK_END) != 0) return -1;
      target = std::ftell(mmio->file) + (long long)offset;
      // Put the file back where the buffer expects it.
      if (std::fseek(mmio->file, mmio->info.lDiskOffset, SEEK_SET) != 0) return -1;
      break;
    }
    default:
      return -1;
  }
  if (target < 0 || target > 0x7fffffffLL) return -1;
  MMIOINFO& state = mmio->info;
  const LONG buffered = LONG(state.pchEndRead - state.pchBuffer);
  if (target >= state.lBufOffset && target <= (long long)state.lBufOffset + buffered) {
    state.pchNext = state.pchBuffer + (target - state.lBufOffset);  // still inside the buffer
  } else if (!mmio->MoveTo(LONG(target))) {
    return -1;
  }
  return LONG(target);
}

MMRESULT mmioGetInfo(HMMIO mmio, LPMMIOINFO info, UINT /*flags*/) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  if (!info) return MMSYSERR_INVALPARAM;
  *info = mmio->info;
  return MMSYSERR_NOERROR;
}

MMRESULT mmioSetInfo(HMMIO mmio, LPCMMIOINFO info, UINT /*flags*/) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  if (!info || !mmio->OwnsPointer(info->pchNext)) return MMSYSERR_INVALPARAM;
  mmio->info.pchNext = info->pchNext;  // the caller read directly from the buffer
  return MMSYSERR_NOERROR;
}

MMRESULT mmioAdvance(HMMIO mmio, LPMMIOINFO info, UINT /*flags*/) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  if (mmio->buffer.empty()) return MMIOERR_UNBUFFERED;
  if (info) {
    if (!mmio->OwnsPointer(info->pchNext)) return MMSYSERR_INVALPARAM;
    mmio->info.pchNext = info->pchNext;
  }
  const bool ok = mmio->Refill();
  if (info) *info = mmio->info;
  return ok ? MMSYSERR_NOERROR : MMRESULT(MMIOERR_CANNOTREAD);
}

namespace {

DWORD LittleEndian32(const unsigned char* p) {
  return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

// Reads the chunk header at the current position (plus the form type of a
// "RIFF" or "LIST" chunk) and leaves the position at the chunk's contents.
bool ReadChunkHeader(HMMIO mmio, MMCKINFO* chunk) {
  const LONG at = mmio->Position();
  unsigned char header[8];
  if (mmioRead(mmio, reinterpret_cast<HPSTR>(header), 8) != 8) return false;
  chunk->ckid = LittleEndian32(header);
  chunk->cksize = LittleEndian32(header + 4);
  chunk->dwDataOffset = DWORD(at) + 8;
  chunk->fccType = 0;
  chunk->dwFlags = 0;
  if (chunk->ckid == FOURCC_RIFF || chunk->ckid == FOURCC_LIST) {
    unsigned char type[4];
    if (mmioRead(mmio, reinterpret_cast<HPSTR>(type), 4) != 4) return false;
    chunk->fccType = LittleEndian32(type);
  }
  return true;
}

bool Matches(const MMCKINFO& found, FOURCC ckid, FOURCC fccType, UINT flags) {
  if (flags & MMIO_FINDCHUNK) return found.ckid == ckid;
  if (flags & MMIO_FINDRIFF) return found.ckid == FOURCC_RIFF && found.fccType == fccType;
  if (flags & MMIO_FINDLIST) return found.ckid == FOURCC_LIST && found.fccType == fccType;
  return true;
}

}  // namespace

MMRESULT mmioDescend(HMMIO mmio, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  if (!chunk) return MMSYSERR_INVALPARAM;
  const FOURCC wantedId = chunk->ckid;
  const FOURCC wantedType = chunk->fccType;
  const long long end = parent ? (long long)parent->dwDataOffset + parent->cksize : -1;
  for (;;) {
    const long long at = mmio->Position();
    if (end >= 0 && at + 8 > end) return MMIOERR_CHUNKNOTFOUND;
    MMCKINFO found;
    if (!ReadChunkHeader(mmio, &found)) return MMIOERR_CHUNKNOTFOUND;
    if (Matches(found, wantedId, wantedType, flags)) {
      *chunk = found;
      return MMSYSERR_NOERROR;
    }
    // Skip the chunk, whose data is padded to an even length.
    const long long next = (long long)found.dwDataOffset + found.cksize + (found.cksize & 1);
    if (next > 0x7fffffffLL || mmioSeek(mmio, LONG(next), SEEK_SET) < 0) {
      return MMIOERR_CHUNKNOTFOUND;
    }
  }
}

MMRESULT mmioAscend(HMMIO mmio, LPMMCKINFO chunk, UINT /*flags*/) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  if (!chunk) return MMSYSERR_INVALPARAM;
  const long long next = (long long)chunk->dwDataOffset + chunk->cksize + (chunk->cksize & 1);
  if (next > 0x7fffffffLL || mmioSeek(mmio, LONG(next), SEEK_SET) < 0) {
    return MMIOERR_CANNOTSEEK;
  }
  return MMSYSERR_NOERROR;
}

namespace {
thread_local int comInitCount = 0;
}

HRESULT CoInitialize(LPVOID /*reserved*/) { return comInitCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}
