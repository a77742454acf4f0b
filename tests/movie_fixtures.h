// Movies for the tests, made by the machine's ffmpeg (scripts/bootstrap installs it), and ffmpeg's
// own decode of them as the reference: frames as B, G, R, A with the library's scaler flags.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "command_output.h"
#include "winapi/movie.h"

namespace movie_test {

inline bool HaveFfmpeg()
{
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// Whether this ffmpeg has the encoder (Debian's build lacks a few).
inline bool HaveEncoder(const std::string& name)
{
    static std::string list = CommandOutput("ffmpeg -hide_banner -encoders 2>/dev/null", false);
    return name.empty() || list.find(" " + name + " ") != std::string::npos;
}

// testsrc (size, 25 fps) and a 440 Hz sine (44.1 kHz stereo) of `seconds`, encoded by the given
// codecs ("" leaves the stream out) into `path` with ffmpeg's format `format` ("" by extension).
inline bool MakeMovie(const std::string& path, const std::string& videoCodec, const std::string& audioCodec,
                      const std::string& format = "", double seconds = 2.0, const std::string& size = "320x240",
                      int fps = 25)
{
    std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y";
    char duration[32];
    std::snprintf(duration, sizeof duration, "%g", seconds);
    if (!videoCodec.empty())
        command += " -f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(fps) + ":duration=" + duration;
    if (!audioCodec.empty())
        command += std::string(" -f lavfi -i sine=frequency=440:sample_rate=44100:duration=") + duration;
    command += videoCodec.empty() ? " -vn" : " -c:v " + videoCodec + " -pix_fmt yuv420p";
    if (videoCodec == "libx264")
        command += " -preset ultrafast";
    command += audioCodec.empty() ? " -an" : " -c:a " + audioCodec + " -ac 2";
    if (audioCodec == "libopus")
        command += " -ar 48000";
    if (!format.empty())
        command += " -f " + format;
    command += " '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// ffmpeg's frame at `seconds` (-ss before the input), optionally through its scale filter to
// width × height; empty when ffmpeg fails.
inline std::vector<uint8_t> ReferenceFrame(const std::string& path, double seconds, int width = 0, int height = 0)
{
    char ss[32];
    std::snprintf(ss, sizeof ss, "%.3f", seconds);
    std::string command = std::string("ffmpeg -nostdin -hide_banner -loglevel error -ss ") + ss + " -i '" + path +
                          "' -frames:v 1 -sws_flags " + kMovieSwsFlagsText;
    if (width > 0)
        command += " -vf scale=" + std::to_string(width) + ":" + std::to_string(height);
    command += " -pix_fmt bgra -f rawvideo - 2>/dev/null";
    const std::string out = CommandOutput(command, false);
    return std::vector<uint8_t>(out.begin(), out.end());
}

// ffmpeg's frame number `index` of the video (decoded from the start, so elementary streams, which
// ffmpeg cannot seek, are compared as well), optionally scaled to width × height.
inline std::vector<uint8_t> ReferenceFrameAt(const std::string& path, int index, int width = 0, int height = 0)
{
    std::string filter = "select=eq(n\\," + std::to_string(index) + ")";
    if (width > 0)
        filter += ",scale=" + std::to_string(width) + ":" + std::to_string(height);
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -i '" + path + "' -vf '" + filter +
                                "' -frames:v 1 -sws_flags " + kMovieSwsFlagsText +
                                " -pix_fmt bgra -f rawvideo - 2>/dev/null";
    const std::string out = CommandOutput(command, false);
    return std::vector<uint8_t>(out.begin(), out.end());
}

// The number of the frame on show at movie time `seconds` of a 25 fps movie: the newest that has
// begun, counted from the video's first frame.
inline int FrameIndexAt(double seconds)
{
    return static_cast<int>(std::floor(seconds * 25 + 1e-6));
}

// ffmpeg's decode of the sound as 16-bit stereo at `rate`.
inline std::vector<int16_t> ReferenceSound(const std::string& path, int rate)
{
    const std::string out = CommandOutput("ffmpeg -nostdin -hide_banner -loglevel error -i '" + path +
                                              "' -vn -f s16le -ac 2 -ar " + std::to_string(rate) + " - 2>/dev/null",
                                          false);
    std::vector<int16_t> samples(out.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(out[2 * i]) | static_cast<uint8_t>(out[2 * i + 1]) << 8);
    return samples;
}

// Largest difference of two frames' bytes (tightly packed B, G, R, A); -1 when sizes differ.
inline int MaxDifference(const std::vector<uint8_t>& expected, const uint8_t* pixels, int pitch, int width, int height,
                         bool withAlpha = true)
{
    if (expected.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4 || pixels == nullptr)
        return -1;
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 4; ++x) {
            if (!withAlpha && x % 4 == 3)
                continue;
            const int d = std::abs(int(pixels[y * pitch + x]) - int(expected[(size_t(y) * width) * 4 + x]));
            worst = d > worst ? d : worst;
        }
    return worst;
}

// A frame image in memory.
class MemoryTarget final : public IMovieFrameTarget {
public:
    void LockFrame() override { m_mutex.lock(); }
    void UnlockFrame() override { m_mutex.unlock(); }
    bool ResizeFrame(int width, int height) override
    {
        if (width != m_width || height != m_height) {
            m_pixels.assign(size_t(width) * size_t(height) * 4, 0);
            m_width = width;
            m_height = height;
        }
        return true;
    }
    BYTE* FramePixels() override { return m_pixels.data(); }
    LONG FramePitch() override { return m_width * 4; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const uint8_t* Pixels() const { return m_pixels.data(); }

private:
    std::mutex m_mutex;
    std::vector<uint8_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
};

} // namespace movie_test
