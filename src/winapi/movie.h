// The three movie libraries, built into the stand-in over FFmpeg: "DS_SPRITE.DLL" and "DS_PRIM.DLL"
// render a movie into two frame images that their caller draws, "DS_MOVIE.DLL" plays a movie into a
// child window. Each answers GetDllVersion 0x10000 and one factory. The control objects are the
// interfaces below; their virtual operations keep the positions the callers count on, and the
// positions nobody uses answer E_NOTIMPL. Only src/winapi/movie includes FFmpeg.
#pragma once

#include <cstdint>

#include "winapi/base.h"
#include "winapi/ddraw.h"
#include "winapi/gdi.h"

// What GetDllVersion answers.
constexpr uint32_t kMovieDllVersion = 0x10000;
// The private message the window movie posts to its event window for each event.
constexpr UINT kMovieEventMessage = 0x9006;
// Largest frame side accepted; larger movies are refused by the factories.
constexpr int kMovieMaxSide = 8192;

// Frames are converted by libswscale with these flags (bilinear, accurate rounding, full chroma in
// and out). kMovieSwsFlagsText is the same as ffmpeg's -sws_flags value, for comparisons.
constexpr int kMovieSwsFlags = 0x2 | 0x40000 | 0x2000 | 0x4000;
constexpr const char* kMovieSwsFlagsText = "bilinear+accurate_rnd+full_chroma_int+full_chroma_inp";

// One frame image the library renders into (B, G, R, A bytes, alpha 255). The library takes the
// lock around every write; the caller takes it around every read.
struct IMovieFrameTarget {
    virtual void LockFrame() = 0;
    virtual void UnlockFrame() = 0;
    // Makes the image width × height, 32 bits → false when it cannot.
    virtual bool ResizeFrame(int width, int height) = 0;
    virtual BYTE* FramePixels() = 0;
    virtual LONG FramePitch() = 0;

protected:
    ~IMovieFrameTarget() = default;
};

// A movie handed over as a stream (an archive entry). Used from the library's threads one call at
// a time; it must outlive the control made on it.
struct IMovieReadStream {
    // → bytes read (0 at the end).
    virtual LONG ReadMovie(void* buffer, LONG bytes) = 0;
    // Absolute position → true when placed.
    virtual bool SeekMovie(int64_t position) = 0;
    virtual int64_t MovieSize() = 0;

protected:
    ~IMovieReadStream() = default;
};

// Play states of GetPlayState.
enum EMoviePlayState : DWORD { kMovieStopped = 0, kMoviePaused = 1, kMoviePlaying = 2 };

// The control of DS_SPRITE.DLL and DS_PRIM.DLL. Positions in the comments. Times are 100 ns.
struct IMovieSpriteCtrl {
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0; // 0: E_NOTIMPL
    virtual ULONG Release() = 0;                                     // 1
    virtual ULONG AddRef() = 0;                                      // 2
    // From the position; after the end from the start.
    virtual HRESULT Play() = 0;        // 3
    virtual HRESULT Pause() = 0;       // 4 (transport A)
    virtual HRESULT Resume() = 0;      // 5 (transport B)
    virtual HRESULT Stop() = 0;        // 6 (keeps the position)
    virtual HRESULT GetPosition(int64_t* position) = 0;  // 7
    virtual HRESULT SetPosition(DWORD low, DWORD high) = 0; // 8
    virtual HRESULT GetDuration(int64_t* duration) = 0;  // 9
    virtual HRESULT GetPlayState(DWORD* state) = 0;       // 10
    // Hundredths of a decibel, -10000..0.
    virtual HRESULT SetVolume(LONG volume) = 0;           // 11
    virtual HRESULT SetBalance(double balance) = 0;       // 12: -1..1
    virtual HRESULT SetRate(double rate) = 0;             // 13: 0.25..2
    virtual LONG GetNaturalWidth() = 0;                   // 14
    virtual LONG GetNaturalHeight() = 0;                  // 15
    virtual HRESULT Slot16() = 0;                         // 16: E_NOTIMPL
    // Makes the newest due frame ready → the index (0 or 1) of the frame image to draw, -1 when
    // none has been rendered yet. The sized form (sizedOut given) writes (0, 0, natural size).
    virtual int PrepareFrame(RECT* sizedOut, LONG x, LONG y, const RECT* screen, DWORD mode, DWORD alpha) = 0; // 17
    // True while held at the end.
    virtual BOOL IsAtEnd() = 0; // 18

protected:
    ~IMovieSpriteCtrl() = default;
};

// The window movie of DS_MOVIE.DLL. Positions in the comments.
struct IMovieWindowObject {
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0; // 0: E_NOTIMPL
    virtual ULONG Release() = 0;                                     // 1
    virtual ULONG AddRef() = 0;                                      // 2
    virtual HRESULT SetOwner(HWND owner) = 0;                        // 3: the child is made in it
    virtual HRESULT SetEventWindow(HWND window) = 0;                 // 4: gets kMovieEventMessage
    virtual HRESULT SetDestRect(LONG left, LONG top, LONG right, LONG bottom) = 0; // 5
    virtual HRESULT Show(BOOL show) = 0;                             // 6
    virtual HRESULT Run() = 0;                                       // 7
    virtual HRESULT Pause() = 0;                                     // 8 (transport A)
    virtual HRESULT Resume() = 0;                                    // 9 (transport B)
    virtual HRESULT Stop() = 0;                                      // 10
    virtual HRESULT GetPosition(int64_t* position) = 0;              // 11
    virtual HRESULT SetPosition(DWORD low, DWORD high) = 0;          // 12
    virtual HRESULT GetDuration(int64_t* duration) = 0;              // 13
    virtual HRESULT GetPlayState(DWORD* state) = 0;                  // 14
    // Takes the oldest event: present 0 when none; code 1 the end, 2 decoding failed.
    virtual HRESULT NextEvent(BOOL* present, LONG* code, LONG_PTR* param1, LONG_PTR* param2) = 0; // 15
    virtual HRESULT SetVolume(LONG volume) = 0;                      // 16
    virtual HRESULT Slot17() = 0;                                    // 17: E_NOTIMPL
    virtual HRESULT Query() = 0;                                     // 18: E_NOTIMPL
    virtual HRESULT Set(LONG value) = 0;                             // 19: E_NOTIMPL
    virtual HRESULT SetBalance(double balance) = 0;                  // 20
    virtual HRESULT SetRate(double rate) = 0;                        // 21
    virtual LONG GetWindowMode() = 0;                                // 22: 1, the movie paints itself
    virtual BOOL PaintsByDC() = 0;                                   // 23: 0
    virtual LONG GetNaturalWidth() = 0;                              // 24
    virtual LONG GetNaturalHeight() = 0;                             // 25
    virtual HRESULT Slot26() = 0;                                    // 26: E_NOTIMPL
    virtual HRESULT PaintDC(HDC dc) = 0;                             // 27: the frame at the destination

protected:
    ~IMovieWindowObject() = default;
};

// Factories → 0, or non-zero when the movie is refused (no decodable stream, a frame side over
// kMovieMaxSide, an unreadable file). Exactly one of stream and path is given; kind is a hint.
using GetDShowGdiSpriteCtrlProc = int (*)(IMovieSpriteCtrl** out, IMovieFrameTarget* frame0,
                                          IMovieFrameTarget* frame1, void* sprite, IMovieReadStream* stream,
                                          int kind, const char* path, int, int, int);
using GetDShowPrimCtrlProc = int (*)(IMovieSpriteCtrl** out, IMovieFrameTarget* frame0, IMovieFrameTarget* frame1,
                                     IMovieReadStream* stream, int kind, const char* path, int, int, int);
// directDraw and primary are given when the display runs DirectDraw on the primary device.
using GetMovieObjectProc = int (*)(IMovieWindowObject** out, IMovieReadStream* stream, int kind, const char* path,
                                   IDirectDraw7* directDraw, IDirectDrawSurface7* primary, BYTE flag);

// Registers the three built-in modules (idempotent) → true.
bool RegisterMovieModules();

namespace winapi {

// Tests: waits until every movie's library thread has done what the clock asks (frames due, sound
// filled ahead); at most timeoutMs. → false on time-out.
bool WaitMovieThreadsIdle(int timeoutMs);

} // namespace winapi
