// mmio file functions for reading RIFF files, the wave format structures and
// COM initialisation: what a WAV reader needs, with the Windows names and values.
// Files are read through stdio with the game's path rules (glomp/files.h).
#pragma once
#include "glomp/wintypes.h"

#include <cstdio>  // SEEK_SET, SEEK_CUR, SEEK_END for mmioSeek

typedef UINT MMRESULT;
typedef DWORD FOURCC;
typedef char* HPSTR;
DECLARE_HANDLE(HMMIO);

#ifndef MMSYSERR_NOERROR
#define MMSYSERR_NOERROR 0
#endif
#define MMIOERR_BASE 256
#define MMIOERR_FILENOTFOUND (MMIOERR_BASE + 1)
#define MMIOERR_OUTOFMEMORY (MMIOERR_BASE + 2)
#define MMIOERR_CANNOTOPEN (MMIOERR_BASE + 3)
#define MMIOERR_CANNOTCLOSE (MMIOERR_BASE + 4)
#define MMIOERR_CANNOTREAD (MMIOERR_BASE + 5)
#define MMIOERR_CANNOTWRITE (MMIOERR_BASE + 6)
#define MMIOERR_CANNOTSEEK (MMIOERR_BASE + 7)
#define MMIOERR_CANNOTEXPAND (MMIOERR_BASE + 8)
#define MMIOERR_CHUNKNOTFOUND (MMIOERR_BASE + 9)
#define MMIOERR_UNBUFFERED (MMIOERR_BASE + 10)

// mmioOpen flags (only reading is supported).
#define MMIO_READ 0x00000000
#define MMIO_WRITE 0x00000001
#define MMIO_READWRITE 0x00000002
#define MMIO_ALLOCBUF 0x00010000
#define MMIO_DEFAULTBUFFER 8192

// mmioAdvance flags.
#define MMIO_EMPTYBUF 0x0010

// mmioDescend flags.
#define MMIO_FINDCHUNK 0x0010
#define MMIO_FINDRIFF 0x0020
#define MMIO_FINDLIST 0x0040

// MMCKINFO.dwFlags
#define MMIO_DIRTY 0x10000000

#define mmioFOURCC(c0, c1, c2, c3) MAKEFOURCC(c0, c1, c2, c3)
#define FOURCC_RIFF mmioFOURCC('R', 'I', 'F', 'F')
#define FOURCC_LIST mmioFOURCC('L', 'I', 'S', 'T')

typedef LRESULT(CALLBACK* LPMMIOPROC)(LPSTR info, UINT message, LPARAM param1, LPARAM param2);

// The buffered-I/O state of an open file. Between mmioGetInfo and mmioSetInfo
// the caller may read bytes straight from pchNext up to pchEndRead and refill
// the buffer with mmioAdvance.
typedef struct _MMIOINFO {
  DWORD dwFlags;
  FOURCC fccIOProc;
  LPMMIOPROC pIOProc;
  UINT wErrorRet;
  HANDLE htask;
  LONG cchBuffer;     // size of the I/O buffer
  HPSTR pchBuffer;    // start of the I/O buffer
  HPSTR pchNext;      // next byte to read
  HPSTR pchEndRead;   // one past the last valid byte in the buffer
  HPSTR pchEndWrite;  // one past the last byte that may be written
  LONG lBufOffset;    // file offset of the buffer's first byte
  LONG lDiskOffset;   // file offset just past what the buffer holds
  DWORD adwInfo[3];
  DWORD dwReserved1;
  DWORD dwReserved2;
  HMMIO hmmio;
} MMIOINFO, *LPMMIOINFO;
typedef const MMIOINFO* LPCMMIOINFO;

// A RIFF chunk: dwDataOffset is where its data starts; for "RIFF" and "LIST"
// chunks that is the form type, which cksize includes.
typedef struct _MMCKINFO {
  FOURCC ckid;
  DWORD cksize;
  FOURCC fccType;
  DWORD dwDataOffset;
  DWORD dwFlags;
} MMCKINFO, *LPMMCKINFO;
typedef const MMCKINFO* LPCMMCKINFO;

HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags);
MMRESULT mmioClose(HMMIO mmio, UINT flags);
LONG mmioRead(HMMIO mmio, HPSTR destination, LONG bytes);
LONG mmioSeek(HMMIO mmio, LONG offset, int origin);
MMRESULT mmioGetInfo(HMMIO mmio, LPMMIOINFO info, UINT flags);
MMRESULT mmioSetInfo(HMMIO mmio, LPCMMIOINFO info, UINT flags);
MMRESULT mmioAdvance(HMMIO mmio, LPMMIOINFO info, UINT flags);
MMRESULT mmioDescend(HMMIO mmio, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags);
MMRESULT mmioAscend(HMMIO mmio, LPMMCKINFO chunk, UINT flags);
#define mmioOpen mmioOpenA

// Wave formats. The structures are byte-packed as in the Windows headers, so
// they match the bytes of a "fmt " chunk.
#define WAVE_FORMAT_PCM 1
#define WAVE_FORMAT_IEEE_FLOAT 3
#pragma pack(push, 1)
typedef struct waveformat_tag {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
} WAVEFORMAT, *LPWAVEFORMAT;

typedef struct pcmwaveformat_tag {
  WAVEFORMAT wf;
  WORD wBitsPerSample;
} PCMWAVEFORMAT, *LPPCMWAVEFORMAT;

typedef struct tWAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // bytes of format-specific data following this structure
} WAVEFORMATEX, *LPWAVEFORMATEX;
#pragma pack(pop)
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;
static_assert(sizeof(PCMWAVEFORMAT) == 16 && sizeof(WAVEFORMATEX) == 18,
              "wave format structures must match the file layout");

// COM initialisation. Nothing in the stand-ins needs COM; these keep the
// per-thread bookkeeping (S_OK on the first call of a thread, S_FALSE after).
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
