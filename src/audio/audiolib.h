#pragma once
// Velorixa's audio layer: the flat function set the player is written against (device, decoding
// streams from files and URLs, the pitch add-on, DirectX 8 style effects, volumes, levels and
// spectrum), built on libmpg123, libpulse, SDL2, kissfft and libcurl, with a resampler of its own.
//
// Thread contract: every function may be called from any thread, except from inside the audio
// thread's render block (asserted in debug builds); calls are serialised by one internal lock
// that the audio thread never takes and that no call holds while it waits (for a decoder, a
// connection or a thread to end), so levels, spectrum and states answer at once. Audio runs on
// threads of the layer's own: a decode thread per stream, and the SDL callback or the no-sound
// timer thread (VX_Render runs the same work on its caller's thread when the output is not
// running).
//
// Handles are 32-bit and never 0; 0 (or FALSE, or -1 where a value is returned) means failure.
// Byte counts and positions are of 16-bit PCM at the source's own rate and channel count.
// Sources decode MPEG 1, 2 and 2.5 audio layer III only; layers I and II are refused.

#include <cstdint>

typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;

// Devices for BASS_Init: -1 the system's output: through the PulseAudio (or PipeWire-Pulse)
// server when one answers and SDL_AUDIODRIVER names no other driver, on the output chosen with
// audio/output.h at that output's own rate (freq is then only a fallback), else through SDL2;
// 0 no sound (channels play in real time with no output), VX_DEVICE_OFFLINE nothing runs by
// itself: the caller renders with VX_Render as fast as it likes.
#define VX_DEVICE_DEFAULT (-1)
#define VX_DEVICE_NOSOUND 0
#define VX_DEVICE_OFFLINE (-2)

// Stream flags.
#define BASS_STREAM_DECODE 0x200000  // decoding only: played through BASS_FX_Pitch*
#define BASS_STREAM_META 0x400000    // collect stream metadata (URL streams)
#define VX_FLAG_MONO 2               // reported by BASS_ChannelGetFlags for one-channel sources

// BASS_StreamGetTags kinds.
#define BASS_TAG_HTTP 4  // response header lines: zero-terminated strings, ended by an empty one
#define BASS_TAG_META 5  // the latest metadata string ("StreamTitle='...';"), or 0 when none

// BASS_ChannelIsActive results.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

// BASS_ChannelGetData: 256 float magnitudes of a 512-sample FFT of the playing output.
#define BASS_DATA_FFT512 0x80000000u

// BASS_StreamGetLength / BASS_ChannelGetPosition saturate here when the value does not fit in
// 32 bits (above about 6 hours of 48 kHz stereo); VX_*64 give the full values. -1 is failure.
#define VX_LENGTH_SATURATED 0xFFFFFFFEu

// Effect types for BASS_ChannelSetFX; the records are velorixa::fx::DX8* (audio/fx/effect.h).
#define BASS_FX_CHORUS 0
#define BASS_FX_ECHO 3
#define BASS_FX_FLANGER 4
#define BASS_FX_PARAMEQ 7
#define BASS_FX_REVERB 8

struct BASS_INFO {
    DWORD size;     // set to sizeof(BASS_INFO) (48) by the caller
    DWORD flags;    // 0
    DWORD hwsize;   // 0: no hardware mixing
    DWORD hwfree;   // 0
    DWORD freesam;  // 0
    DWORD free3d;   // 0
    DWORD minrate;  // output rate in Hz
    DWORD maxrate;  // output rate in Hz
    DWORD eax;      // 0
    DWORD minbuf;   // one device period in ms
    DWORD dsver;    // 8: the effects of the DirectX 8 family are available
    DWORD latency;  // output latency in ms (device period plus its queue)
};

// --- version and device ---
DWORD BASS_GetVersion();  // 1 | 6 << 16: version 1.6
// freq: output rate in Hz (0 = 44100; 8000..192000); flags and win are not used. Fails when
// already initialised or when the output cannot be opened. The output starts running at once.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win);
BOOL BASS_Start();                   // (re)starts the output
BOOL BASS_Stop();                    // pauses the output; returns once the audio thread is idle
BOOL BASS_Free();                    // frees every stream and closes the output
BOOL BASS_GetInfo(BASS_INFO* info);  // info->size must be at least 48
// Decode-ahead length for streams created afterwards, 0.05..10 s; returns the value in force.
float BASS_SetBufferLength(float seconds);
float BASS_GetCPU();  // percent of real time the audio thread spent rendering (smoothed)

// --- volumes ---
BOOL BASS_SetVolume(DWORD volume);  // master 0..100, the last gain stage of the output
DWORD BASS_GetVolume();             // -1 before BASS_Init
// 0..100 each, -1 keeps; only the stream volume affects sound here.
BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol);
BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol);  // nulls allowed

// --- streams ---
// mem FALSE: file is a path (offset/length select a byte range, length 0 = to the end).
// mem TRUE: file points at length bytes of MP3 data, copied at once (hence const void*; a path
// converts to it unchanged).
// flags: BASS_STREAM_DECODE for a decoding source (play it through the pitch functions);
// without it the handle is itself a playable channel. A path naming anything but a regular file
// (a FIFO, a device, a folder) is refused at once, without waiting on it.
DWORD BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
// http, https or ftp; blocks until enough audio to start arrived, for at most 6 s in all (a
// station that trickles fails at that deadline), without holding the layer's lock: other
// threads' calls go on meanwhile. Later, a stream that delivers less than a quarter of its own
// rate over 15 s while the player waits for it ends. offset must be 0 and save null. Always a
// decoding source (flags as for files).
DWORD BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, const char* save);
BOOL BASS_StreamFree(DWORD handle);  // a decoding source takes its pitch channel along
BOOL BASS_StreamPlay(DWORD handle, BOOL flush, DWORD flags);  // playable channels; restarts an
                                                              // ended one from the beginning
DWORD BASS_StreamGetLength(DWORD handle);  // bytes; -1 when unknown (network) or on failure
// The text stays valid until the next call for the same handle or until it is freed.
const char* BASS_StreamGetTags(DWORD handle, DWORD kind);

// --- channels (a decoding source or a playable channel) ---
DWORD BASS_ChannelIsActive(DWORD handle);  // BASS_ACTIVE_*; 0 for unknown handles
// Position of what is being heard; on a playable channel, that of its source.
DWORD BASS_ChannelGetPosition(DWORD handle);
// Posts a sample-accurate seek (frame-aligned); FALSE beyond the end or on network sources.
BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes);
float BASS_ChannelBytes2Seconds(DWORD handle, DWORD bytes);    // -1 on failure
DWORD BASS_ChannelSeconds2Bytes(DWORD handle, float seconds);  // rounded to whole frames
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_ChannelPause(DWORD handle);   // playing or stalled -> paused
BOOL BASS_ChannelResume(DWORD handle);  // paused -> playing
// freq: playback rate in Hz (a decoding source reports its own rate); volume 0..100;
// pan -100..100. Null pointers are allowed.
BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan);
// freq -1 keeps, 0 = the source's own rate, else half to three times it (clamped);
// volume 0..100 or -1 keeps; pan -100..100 or -101 keeps. Heard within one device period.
BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);
DWORD BASS_ChannelGetFlags(DWORD handle);  // creation flags, plus VX_FLAG_MONO; -1 on failure
// length BASS_DATA_FFT512 on a playable channel: 256 floats into buffer, |X_k| * 2 / N of a
// Hann-windowed 512-sample FFT of the channel's output heard last (the output's queue, known to
// the layer, is allowed for), the window's coherent gain (0.5) compensated so a full-scale sine
// peaks near 1; returns 1024 (bytes written).
// Any other length on a decoding source without pitch channel: decodes up to `length` bytes of
// 16-bit PCM into buffer, waiting for the decoder; returns the byte count, -1 at the end.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
// Peak of the 20 ms of a playable channel's output heard last (as for the spectrum), after its
// volume, pan and the stream volume (not the master volume): left 0..128 in the low 16 bits,
// right in the high 16 bits.
// 0 while not playing; -1 on failure.
DWORD BASS_ChannelGetLevel(DWORD handle);

// --- pitch (playback-rate) add-on, all keyed by the decoding source ---
DWORD BASS_FX_PitchCreate(DWORD source);  // the playable channel handle (low 16 bits non-zero)
DWORD BASS_FX_PitchGetResampledHandle(DWORD source);  // 0 when none
BOOL BASS_FX_PitchSet(DWORD source, DWORD rateHz);    // as BASS_ChannelSetAttributes' freq
BOOL BASS_FX_PitchStopAndFlush(DWORD source);         // stops the channel and empties the resampler
BOOL BASS_FX_PitchFree(DWORD source);                 // frees the playable channel and its effects

// --- effects: run in the order set, after the rate change, before volume and pan ---
DWORD BASS_ChannelSetFX(DWORD channel, DWORD type);  // BASS_FX_* type; the effect handle
BOOL BASS_ChannelRemoveFX(DWORD channel, DWORD fx);
BOOL BASS_FXSetParameters(DWORD fx, const void* record);  // record: the type's DX8* struct
BOOL BASS_FXGetParameters(DWORD fx, void* record);

// --- Velorixa's own additions ---
QWORD VX_StreamGetLength64(DWORD handle);  // bytes; (QWORD)-1 on failure or when unknown
QWORD VX_ChannelGetPosition64(DWORD handle);
BOOL VX_ChannelSetPosition64(DWORD handle, QWORD bytes);
// Offline rendering: renders `frames` frames of the whole output (every playing channel
// through rate change, effects, volumes and the master volume) into stereoOut (interleaved
// float, 2 * frames values) on the caller's thread, as fast as it can. Allowed after
// BASS_Init(VX_DEVICE_OFFLINE, ...) or while the output is stopped (BASS_Stop). Before each
// block it waits (up to 2 s) for the decode threads of file sources to be far enough ahead, so
// the result is what real-time playback without underruns sounds like; it waits without the
// layer's lock. Returns the frames rendered (0 when not allowed).
DWORD VX_Render(float* stereoOut, DWORD frames);
// Whether VX_Render(frames) would find every playing channel's source, network streams
// included, far enough ahead (or at its end), so nothing of it is an underrun: live streams are
// not waited for by VX_Render (a real-time output plays their underruns too), so a caller that
// must not render a stream's gap as silence waits for this first. Never waits itself; frames is
// taken as at most one block (512). Allowed when VX_Render is; FALSE otherwise.
BOOL VX_RenderReady(DWORD frames);
// The level gain of a playable channel (or a decoding source's pitch channel) in dB, -60..+24,
// 0 = as recorded: a stage of its own after the effects, beside the volume and pan, which it
// leaves as they are. A change glides over about 0.1 s; set before the channel first sounds,
// it holds from its first sample.
BOOL VX_ChannelSetLevelDb(DWORD handle, float gainDb);
// Frames decoded ahead and not yet played (handle: a source or its channel); -1 on failure.
DWORD VX_ChannelBuffered(DWORD handle);
// Why the last BASS_StreamCreateFile or BASS_StreamCreateURL made on the calling thread failed,
// said as a listener would put it: "no such file", "not a regular file", "not an audio
// file", "unsupported codec (ac3)", "HTTP 404 Not Found", "ICY 404 Not Found", "connection
// refused", "timed out", "response header too large", "not audio (text/html)", "unsupported audio
// type (audio/x-foo)", "too little audio within 6 s", ...; empty after a success. Valid until that
// thread's next stream open.
const char* VX_StreamGetError();
