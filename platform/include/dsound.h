// Stand-in for <dsound.h>: the DirectSound 8 subset the game calls, over OpenAL Soft.
//
// Secondary buffers hold PCM (8 or 16 bits, mono or stereo, any rate); a
// duplicate shares its original's data and plays on its own. Without an audio
// device the buffers play into a silent device whose time still passes, so
// positions advance and one-shot buffers stop by themselves
// (glomp/soundmix.h can render the mix into memory instead).
#pragma once
#include "glomp/d3dbasetypes.h"
#include "glomp/wintypes.h"
#include <mmsystem.h>

typedef const GUID* LPCGUID;

// Result codes.
#define _FACDS 0x878
#define MAKE_DSHRESULT(code) MAKE_HRESULT(1, _FACDS, code)
#define DS_OK S_OK
#define DSERR_ALLOCATED MAKE_DSHRESULT(10)
#define DSERR_CONTROLUNAVAIL MAKE_DSHRESULT(30)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL MAKE_DSHRESULT(50)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED MAKE_DSHRESULT(70)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT MAKE_DSHRESULT(100)
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NODRIVER MAKE_DSHRESULT(120)
#define DSERR_BUFFERLOST MAKE_DSHRESULT(150)
#define DSERR_UNINITIALIZED MAKE_DSHRESULT(170)
#define DSERR_NOINTERFACE E_NOINTERFACE

// Cooperative levels.
#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

// Buffer capabilities.
#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRL3D 0x00000010
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100
#define DSBCAPS_CTRLFX 0x00000200
#define DSBCAPS_STICKYFOCUS 0x00004000
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000
#define DSBCAPS_MUTE3DATMAXDISTANCE 0x00020000
#define DSBCAPS_LOCDEFER 0x00040000

#define DSBPLAY_LOOPING 0x00000001

#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004

#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

// 3D processing modes and when 3D settings apply.
#define DS3DMODE_NORMAL 0x00000000
#define DS3DMODE_HEADRELATIVE 0x00000001
#define DS3DMODE_DISABLE 0x00000002
#define DS3D_IMMEDIATE 0x00000000
#define DS3D_DEFERRED 0x00000001

DEFINE_GUID(DS3DALG_DEFAULT, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
DEFINE_GUID(DS3DALG_NO_VIRTUALIZATION, 0xC241333F, 0x1C1B, 0x11D2, 0x94, 0xF5, 0x00, 0xC0, 0x4F,
            0xC2, 0x8A, 0xCA);
DEFINE_GUID(IID_IDirectSound, 0x279AFA83, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B,
            0xE5, 0x60);
DEFINE_GUID(IID_IDirectSound8, 0xC50A7E93, 0xF395, 0x4834, 0x9E, 0xF6, 0x7F, 0xA9, 0x9D, 0xE5,
            0x09, 0x66);
DEFINE_GUID(IID_IDirectSoundBuffer, 0x279AFA85, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF,
            0x0B, 0xE5, 0x60);
DEFINE_GUID(IID_IDirectSoundBuffer8, 0x6825A449, 0x7524, 0x4D82, 0x92, 0x0F, 0x50, 0xE3, 0x6A,
            0xB3, 0xAB, 0x1E);
DEFINE_GUID(IID_IDirectSound3DBuffer, 0x279AFA86, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF,
            0x0B, 0xE5, 0x60);

// Describes a buffer to create. dwSize must be the size of this structure (the
// older size without guid3DAlgorithm is accepted too).
typedef struct _DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  LPWAVEFORMATEX lpwfxFormat;
  GUID guid3DAlgorithm;
} DSBUFFERDESC, *LPDSBUFFERDESC;
typedef const DSBUFFERDESC* LPCDSBUFFERDESC;

typedef struct _DSBCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwUnlockTransferRate;
  DWORD dwPlayCpuOverhead;
} DSBCAPS, *LPDSBCAPS;

struct IDirectSoundBuffer : public IUnknown {
  STDMETHOD(GetCaps)(LPDSBCAPS caps) PURE;
  // Play cursor and write cursor in bytes from the start of the buffer.
  STDMETHOD(GetCurrentPosition)(LPDWORD playCursor, LPDWORD writeCursor) PURE;
  STDMETHOD(GetFormat)(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) PURE;
  STDMETHOD(GetStatus)(LPDWORD status) PURE;
  STDMETHOD(Lock)(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1, LPVOID* audio2,
                  LPDWORD audioBytes2, DWORD flags) PURE;
  STDMETHOD(Play)(DWORD reserved1, DWORD priority, DWORD flags) PURE;
  STDMETHOD(SetCurrentPosition)(DWORD newPosition) PURE;
  STDMETHOD(SetFormat)(LPCWAVEFORMATEX format) PURE;
  STDMETHOD(Stop)() PURE;
  STDMETHOD(Unlock)(LPVOID audio1, DWORD audioBytes1, LPVOID audio2, DWORD audioBytes2) PURE;
  STDMETHOD(Restore)() PURE;
};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;

struct IDirectSoundBuffer8 : public IDirectSoundBuffer {};
typedef IDirectSoundBuffer8* LPDIRECTSOUNDBUFFER8;

struct IDirectSound3DBuffer : public IUnknown {
  STDMETHOD(GetMode)(LPDWORD mode) PURE;
  STDMETHOD(GetPosition)(D3DVECTOR* position) PURE;
  STDMETHOD(SetMode)(DWORD mode, DWORD apply) PURE;
  STDMETHOD(SetPosition)(FLOAT x, FLOAT y, FLOAT z, DWORD apply) PURE;
};
typedef IDirectSound3DBuffer* LPDIRECTSOUND3DBUFFER;
typedef IDirectSound3DBuffer IDirectSound3DBuffer8;

struct IDirectSound : public IUnknown {
  STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                               LPUNKNOWN outer) PURE;
  STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER original,
                                  LPDIRECTSOUNDBUFFER* duplicate) PURE;
  STDMETHOD(SetCooperativeLevel)(HWND window, DWORD level) PURE;
};
typedef IDirectSound* LPDIRECTSOUND;

struct IDirectSound8 : public IDirectSound {};
typedef IDirectSound8* LPDIRECTSOUND8;

HRESULT WINAPI DirectSoundCreate8(LPCGUID device, LPDIRECTSOUND8* directSound, LPUNKNOWN outer);
