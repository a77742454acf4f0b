// The playing movie behind every control of the three libraries: its clock, and the library
// thread that decodes frames when they fall due and converts the newest due one into the frame
// target not being drawn. On the virtual clock (headless) preparing a frame waits until the thread
// has caught up with the clock, so what is drawn depends on the clock alone; on the real clock it
// never waits and late frames are skipped.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "winapi/movie.h"
#include "winapi/movie/movie_source.h"

struct AVFrame;

namespace winapi::movie {

class MovieSound;

class MoviePlayer {
public:
    // Opens the movie (path resolved through the stand-in's file names, or the stream). → null
    // when it has neither a decodable video nor audio stream, or a frame is too large.
    static std::unique_ptr<MoviePlayer> Open(const char* path, IMovieReadStream* stream);
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // The two frame images and the size frames are converted to (the natural size by default).
    // Starts the library thread.
    void Start(IMovieFrameTarget* frame0, IMovieFrameTarget* frame1);
    void SetOutputSize(int width, int height);
    // Called on the library thread after a frame was converted, and when an event happens
    // (1 the end while playing, 2 nothing could be decoded).
    std::function<void()> onFrame;
    std::function<void(int code)> onEvent;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool HasVideo() const { return m_video != nullptr; }
    bool HasAudio() const { return m_hasAudio; }

    void Play();
    void Pause();
    void Resume();
    void Stop();
    int64_t Position();
    void SetPosition(int64_t position);
    int64_t Duration();
    DWORD PlayState();
    void SetVolume(LONG volume);
    void SetBalance(double balance);
    void SetRate(double rate);
    // The index of the frame image with the newest due frame; -1 before the first.
    int Prepare();
    bool IsAtEnd();
    // Waits (virtual clock) until the thread has done the clock's work → false on time-out.
    bool WaitIdle(int timeoutMs);

private:
    MoviePlayer() = default;
    int64_t PositionLocked(uint64_t nowMs) const;
    bool AtEndLocked(uint64_t nowMs) const;
    void Anchor(uint64_t nowMs);
    void StartSound();
    void Thread();
    // Decodes up to `now` and converts the newest due frame; false when nothing was left to do.
    void CatchUp(int64_t now, uint64_t generation);
    // The next frame converted ahead into the free frame image (while nothing is due).
    void LookAhead(uint64_t generation);
    bool DecodeNext(AVFrame* frame, int64_t* pts, uint64_t generation);
    // Converts into the frame image behind, shown from dueAt on.
    void Convert(AVFrame* frame, int64_t dueAt, uint64_t generation);

    std::unique_ptr<MovieSource> m_video;
    std::unique_ptr<MovieSound> m_sound;
    int64_t m_soundSeek = -1;        // pending seek of the sound
    uint64_t m_soundFilledAt = 0;    // clock ms of the last fill
    bool m_soundFilled = false;
    const FfmpegCalls* m_av = nullptr; // set by Open before anything else
    std::shared_ptr<SharedStream> m_stream;
    bool m_hasAudio = false;
    int m_width = 0;
    int m_height = 0;
    int64_t m_containerDuration = 0;
    IMovieFrameTarget* m_targets[2] = {nullptr, nullptr};

    std::mutex m_mutex;
    std::condition_variable m_wake;  // to the library thread
    uint64_t m_wakeups = 0;          // counts the wake-ups given (m_mutex)
    std::condition_variable m_done;  // from it
    std::thread m_thread;
    bool m_quit = false;
    int m_outWidth = 0;
    int m_outHeight = 0;
    // Clock: position = base + (now - anchor) × rate while playing.
    DWORD m_state = kMovieStopped;
    int64_t m_base = 0;
    uint64_t m_anchorMs = 0;
    double m_rate = 1.0;
    // Decoding.
    uint64_t m_generation = 0;       // bumped by every seek
    int64_t m_seekTo = -1;           // pending seek
    int64_t m_caughtUp = -1;         // the thread has done everything due up to this time
    std::atomic<bool> m_videoEnded{false}; // no frame after m_lastEnd
    std::atomic<int64_t> m_lastEnd{0};     // end of the last frame
    int m_front = 0;
    bool m_frontValid = false;
    bool m_backReady = false;
    int64_t m_backPts = 0;          // when the frame behind falls due
    int64_t m_announcedPts = -1;
    uint64_t m_announcedGeneration = 0;
    bool m_endPosted = false;
    bool m_failPosted = false;
    AVFrame* m_show = nullptr;
    AVFrame* m_pending = nullptr;
    bool m_havePending = false;
    bool m_showFirst = true;
    int64_t m_pendingPts = 0;
};

} // namespace winapi::movie
