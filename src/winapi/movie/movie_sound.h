// A movie's sound as a second program would play it: its own DirectSound object (normal level),
// one looping streaming buffer of 16-bit stereo PCM at the movie's rate, with volume, pan and
// frequency control, kept filled 0.5 s ahead of its play cursor by the library's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "winapi/dsound.h"
#include "winapi/movie/movie_source.h"

namespace winapi::movie {

class MovieSound {
public:
    // → null when no output or buffer can be had (the movie then plays silent).
    static std::unique_ptr<MovieSound> Open(std::unique_ptr<MovieSource> source);
    ~MovieSound();
    MovieSound(const MovieSound&) = delete;
    MovieSound& operator=(const MovieSound&) = delete;

    // Library thread: refills up to 0.5 s ahead of the play cursor; a seek discards what is
    // queued and goes on from `position` (100 ns).
    void Fill();
    void Seek(int64_t position);
    // Any thread.
    void Start();
    void Halt();
    void SetVolume(LONG volume);
    void SetPan(LONG pan);
    void SetRate(double rate);
    int64_t SoundEnd() const { return m_end; }
    bool Ended() const { return m_sourceEnded; }

private:
    MovieSound() = default;
    // Frames played since the last seek, from the play cursor.
    uint64_t Played();
    void FillLocked();
    void Write(const int16_t* samples, size_t frames);

    std::unique_ptr<MovieSource> m_source;
    IDirectSound* m_sound = nullptr;
    IDirectSoundBuffer* m_buffer = nullptr;
    uint32_t m_frames = 0;      // buffer size in frames
    int m_rate = 0;
    uint64_t m_written = 0;     // frames written since the last seek
    uint64_t m_played = 0;      // frames played since the last seek
    DWORD m_lastCursor = 0;     // byte offset of the last play cursor read
    std::vector<int16_t> m_pending;  // decoded, not yet written
    int64_t m_skipUntil = 0;    // drop decoded sound before this time (after a seek)
    bool m_sourceEnded = false;
    bool m_running = false;
    std::mutex m_control;     // the buffer's running state and cursor
    int64_t m_end = 0;          // end of the decoded sound, 100 ns
};

} // namespace winapi::movie
