// The DirectSound mix: the gain law sample for sample, the cubic resampler's level and images, and
// the SSE2 kernels against the plain ones.
#include <algorithm>
#include <cmath>
#include <random>

#include "dsound_support.h"
#include "winapi/dsound/mixer.h"

using dstest::DsoundTest;
using dstest::LawGain;
using dstest::Pcm;

namespace {

enum class Wave { Sine, Square, Ramp };

struct VoiceCase {
    Wave wave;
    WORD bits;
    WORD channels;
    LONG volume;
    LONG pan;
};

// One voice's frames of a test signal (period 100 + 7·index frames so voices differ).
std::vector<uint8_t> Signal(const VoiceCase& v, int index, size_t frames, std::vector<std::vector<int32_t>>& values)
{
    std::vector<uint8_t> bytes;
    values.assign(frames, std::vector<int32_t>(2));
    const int period = 100 + 7 * index;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < v.channels; ++c) {
            const double phase = static_cast<double>((i + 13 * c) % period) / period;
            double x = 0;
            switch (v.wave) {
            case Wave::Sine: x = std::sin(2 * M_PI * phase); break;
            case Wave::Square: x = phase < 0.5 ? 1.0 : -1.0; break;
            case Wave::Ramp: x = 2 * phase - 1; break;
            }
            int32_t s;
            if (v.bits == 8) {
                const auto b = static_cast<uint8_t>(std::clamp(128 + static_cast<int>(x * 127), 0, 255));
                bytes.push_back(b);
                s = (b - 128) * 256;
            } else {
                const auto w = static_cast<int16_t>(x * 32767);
                bytes.push_back(static_cast<uint8_t>(w));
                bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(w) >> 8));
                s = w;
            }
            values[i][c] = s;
            if (v.channels == 1)
                values[i][1] = s;
        }
    }
    return bytes;
}

struct MixCase {
    const char* name;
    std::vector<VoiceCase> voices;
};

const std::vector<MixCase> kMixCases = {
    {"one sine 16-bit stereo at full volume", {{Wave::Sine, 16, 2, 0, 0}}},
    {"one square 8-bit mono panned left", {{Wave::Square, 8, 1, -600, -2500}}},
    {"one ramp 16-bit mono panned right", {{Wave::Ramp, 16, 1, -1, 9999}}},
    {"silent voice adds nothing", {{Wave::Sine, 16, 2, -10000, 0}, {Wave::Ramp, 8, 2, -300, 300}}},
    {"three mixed formats",
     {{Wave::Sine, 16, 1, -100, 0}, {Wave::Square, 8, 2, -2000, 5000}, {Wave::Ramp, 16, 2, -50, -10000}}},
    {"eight loud voices saturate",
     {{Wave::Square, 16, 2, 0, 0},
      {Wave::Square, 16, 1, 0, 100},
      {Wave::Sine, 8, 2, 0, -100},
      {Wave::Ramp, 8, 1, -10, 0},
      {Wave::Sine, 16, 2, -20, 2000},
      {Wave::Square, 8, 2, -5, -2000},
      {Wave::Ramp, 16, 1, 0, 0},
      {Wave::Sine, 16, 2, -1000, 10000}}},
};

} // namespace

TEST_F(DsoundTest, MixFollowsTheGainLawSampleForSample)
{
    for (bool simd : {true, false}) {
        winapi::ds::SetMixerSimd(simd);
        for (const auto& mc : kMixCases) {
            SCOPED_TRACE(std::string(mc.name) + (simd ? " (SSE2)" : " (plain)"));
            const size_t frames = 4410;
            std::vector<std::vector<std::vector<int32_t>>> values(mc.voices.size());
            std::vector<IDirectSoundBuffer*> made;
            for (size_t v = 0; v < mc.voices.size(); ++v) {
                const auto& vc = mc.voices[v];
                auto* b = Make(Pcm(44100, vc.channels, vc.bits), Signal(vc, static_cast<int>(v), frames, values[v]));
                ASSERT_TRUE(b);
                ASSERT_EQ(b->SetVolume(vc.volume), DS_OK);
                ASSERT_EQ(b->SetPan(vc.pan), DS_OK);
                made.push_back(b);
            }
            for (auto* b : made)
                ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
            winapi::DsoundClearRecorded();
            winapi::AdvanceVirtualClock(150); // 6615 frames: the loop wraps once
            const auto mixed = Mixed();
            ASSERT_EQ(mixed.size(), 6615u * 2);
            for (size_t i = 0; i < 6615; ++i) {
                for (int c = 0; c < 2; ++c) {
                    int64_t sum = 0;
                    for (size_t v = 0; v < mc.voices.size(); ++v) {
                        const auto& vc = mc.voices[v];
                        const int32_t g = vc.volume <= -10000
                                              ? 0
                                              : LawGain(vc.volume + std::min<LONG>(0, c == 0 ? -vc.pan : vc.pan));
                        sum += (static_cast<int64_t>(values[v][i % frames][c]) * g + 32768) >> 16;
                    }
                    const auto want = static_cast<int16_t>(std::clamp<int64_t>(sum, -32768, 32767));
                    ASSERT_EQ(mixed[2 * i + c], want) << "frame " << i << " side " << c;
                }
            }
            for (auto* b : made) {
                b->Stop();
                b->Release();
                std::erase(buffers, b);
            }
        }
    }
    winapi::ds::SetMixerSimd(true);
}

TEST_F(DsoundTest, OneVoiceIsWithinOneStepOfTheExactGain)
{
    std::vector<int16_t> ramp(2000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(static_cast<int>(i) * 32 - 32000);
    for (LONG volume : {0L, -1L, -602L, -1234L, -5000L, -9999L}) {
        auto* b = Make(Pcm(44100, 1, 16), Samples16(ramp));
        b->SetVolume(volume);
        b->SetPan(volume / 3);
        b->Play(0, 0, DSBPLAY_LOOPING);
        winapi::DsoundClearRecorded();
        winapi::AdvanceVirtualClock(40);
        const auto mixed = Mixed();
        ASSERT_EQ(mixed.size(), 1764u * 2);
        for (size_t i = 0; i < 1764; ++i) {
            for (int c = 0; c < 2; ++c) {
                const double att = volume + std::min(0.0, (c == 0 ? -1 : 1) * volume / 3.0);
                const double exact = ramp[i % ramp.size()] * std::pow(10.0, std::trunc(att) / 2000.0);
                ASSERT_LE(std::abs(mixed[2 * i + c] - exact), 1.0) << volume << " frame " << i;
            }
        }
        b->Stop();
    }
}

namespace {

// Level of the tone at `freq` (dB re `amplitude`) and the level of everything else (dB re the
// tone), over a whole number of cycles of the left channel.
void Analyse(const std::vector<int16_t>& stereo, size_t start, size_t n, double freq, double amplitude,
             double& toneDb, double& restDb)
{
    double re = 0;
    double im = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 2 * M_PI * freq * static_cast<double>(i) / 44100.0;
        re += stereo[2 * (start + i)] * std::cos(w);
        im += stereo[2 * (start + i)] * std::sin(w);
    }
    re *= 2.0 / n;
    im *= 2.0 / n;
    double rest = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 2 * M_PI * freq * static_cast<double>(i) / 44100.0;
        const double r = stereo[2 * (start + i)] - (re * std::cos(w) + im * std::sin(w));
        rest += r * r;
    }
    const double tone = std::hypot(re, im);
    toneDb = 20 * std::log10(tone / amplitude);
    restDb = 10 * std::log10(rest / n / (tone * tone / 2));
}

} // namespace

TEST_F(DsoundTest, ResamplingKeepsTheLevelAndRejectsImages)
{
    struct Case {
        DWORD rate;
        double freq;
    };
    for (const Case& c : {Case{22050, 2750}, Case{22050, 440}, Case{48000, 6000}, Case{48000, 1000}}) {
        SCOPED_TRACE(c.rate);
        std::vector<int16_t> tone(c.rate * 2); // one second, stereo, a whole number of cycles
        for (size_t i = 0; i < c.rate; ++i)
            tone[2 * i] = tone[2 * i + 1] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * c.freq * i / c.rate)));
        auto* b = Make(Pcm(c.rate, 2, 16), Samples16(tone));
        b->Play(0, 0, DSBPLAY_LOOPING);
        winapi::DsoundClearRecorded();
        winapi::AdvanceVirtualClock(300);
        double toneDb = 0;
        double restDb = 0;
        Analyse(Mixed(), 4410, 4410, c.freq, 16000, toneDb, restDb);
        EXPECT_LT(std::abs(toneDb), 0.1);
        EXPECT_LT(restDb, -40.0);
        b->Stop();
    }
}

TEST(DsoundKernels, Sse2MatchesPlain)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_int_distribution<int> wide(-200000, 200000);
    const int32_t gains[] = {0, 1, 100, 32767, 32768, 32769, 65535, 65536};
    for (int frames = 0; frames <= 33; ++frames) {
        for (int srcChannels : {1, 2}) {
            for (int outChannels : {1, 2}) {
                for (int32_t gl : gains) {
                    const int32_t gr = gains[(frames + gl) % 8];
                    std::vector<int16_t> src(frames * srcChannels);
                    for (auto& s : src)
                        s = static_cast<int16_t>(sample(rng));
                    std::vector<int32_t> a(frames * outChannels);
                    for (auto& x : a)
                        x = wide(rng);
                    auto b = a;
                    winapi::ds::AccumulatePlain(a.data(), src.data(), frames, srcChannels, outChannels, gl, gr);
                    winapi::ds::AccumulateSse2(b.data(), src.data(), frames, srcChannels, outChannels, gl, gr);
                    ASSERT_EQ(a, b) << frames << " " << srcChannels << " " << outChannels << " " << gl;
                    std::vector<int16_t> pa(a.size()), pb(a.size());
                    winapi::ds::SaturatePlain(a.data(), pa.data(), a.size());
                    winapi::ds::SaturateSse2(a.data(), pb.data(), a.size());
                    ASSERT_EQ(pa, pb);
                }
            }
        }
    }
}
