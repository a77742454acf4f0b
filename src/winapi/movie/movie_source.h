// One FFmpeg reader of a movie, for its video or its audio: demuxes the file (a Linux path or an
// IMovieReadStream), decodes the first stream of that type, and converts what it gives (video
// frames by libswscale to B, G, R, A; sound by libswresample to 16-bit stereo PCM). Times are
// 100 ns from the container's start. Timestamps that run backwards or jump are re-based so that a
// damaged file still plays forward. Not thread-safe: one user thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "winapi/movie.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVIOContext;
struct SwsContext;
struct SwrContext;

namespace winapi::movie {

struct FfmpegCalls;

// Serialises the reads of several readers over one caller stream (each keeps its own position).
class SharedStream {
public:
    explicit SharedStream(IMovieReadStream* stream) : m_stream(stream) {}
    int Read(int64_t position, uint8_t* buffer, int bytes);
    int64_t Size();

private:
    std::mutex m_mutex;
    IMovieReadStream* m_stream;
};

enum class MediaType { Video, Audio };

class MovieSource {
public:
    ~MovieSource();
    // → null when the file cannot be read or has no decodable stream of that type (or a video
    // frame side over kMovieMaxSide).
    static std::unique_ptr<MovieSource> Open(const std::string& path, std::shared_ptr<SharedStream> stream,
                                             MediaType type);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // 100 ns; 0 when unknown.
    int64_t Duration() const { return m_duration; }
    // 100 ns between frames (from the stream's rate; 40 ms when unknown).
    int64_t FrameDuration() const { return m_frameDuration; }
    int SampleRate() const { return m_outRate; }

    // Video: decodes the next frame → false at the end (or when the stream stops giving frames).
    bool NextFrame(AVFrame* frame, int64_t* pts);
    // Converts a decoded frame into w × h pixels at dst (rows of pitch bytes) → false on failure.
    bool Convert(const AVFrame* frame, uint8_t* dst, int pitch, int width, int height);
    // Audio: appends up to about `frames` stereo frames of PCM → false at the end.
    bool ReadAudio(std::vector<int16_t>* out, int64_t* pts);
    // Goes back so that the next frames start at or before `position` → false when not seekable
    // (the reader then stays at the end).
    bool Seek(int64_t position);
    // Back to the first byte (when a seek landed after its target).
    bool SeekToStart();
    // Rate of decode failures since open, for event 2 (failed to decode anything).
    bool DecodeFailed() const { return m_decodeFailed; }

private:
    MovieSource() = default;
    int ReadPacketOfStream(AVPacket* packet);
    void MeasureDuration();
    int64_t Rebase(int64_t rawPts, int64_t rawDuration);

    const FfmpegCalls* m_av = nullptr; // set by Open before anything else
    AVFormatContext* m_format = nullptr;
    AVIOContext* m_io = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwsContext* m_sws = nullptr;
    SwrContext* m_swr = nullptr;
    AVFrame* m_audioFrame = nullptr;
    AVPacket* m_packet = nullptr;
    std::shared_ptr<SharedStream> m_stream;
    int64_t m_ioPosition = 0;
    int m_streamIndex = -1;
    MediaType m_type = MediaType::Video;
    int m_width = 0;
    int m_height = 0;
    int m_outRate = 0;
    int64_t m_duration = 0;
    int64_t m_frameDuration = 400000;
    int64_t m_start = 0;        // container start, in the stream's time base
    int64_t m_lastPts = -1;     // last re-based time given out
    int64_t m_offset = 0;       // added to raw times after a re-base
    bool m_originSet = false;  // m_start checked against the first frame
    bool m_flushed = false;     // the decoder has been sent the end
    bool m_ended = false;
    bool m_decodeFailed = false;
    bool m_gotAny = false;
    int m_swsWidth = 0, m_swsHeight = 0, m_swsFormat = -1, m_swsDstW = 0, m_swsDstH = 0;
    int m_swsSpace = -1, m_swsRange = -1;
    int m_swrFormat = -1, m_swrRate = 0;
    uint64_t m_swrLayout = 0;
};

} // namespace winapi::movie
