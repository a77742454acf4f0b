// The DirectSound mixer's kernels, in integers. A voice's period is first turned into 16-bit
// frames at the output rate (copied, or resampled by 4-point cubic convolution), then scaled by
// its two 16.16 gains and added into 32-bit sums, which saturate to 16 bits at the end. Each
// kernel has a plain form and an SSE2 twin with exactly the same results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace winapi::ds {

// The gain law: gain = 10^(attenuation / 2000) in 16.16 fixed point, rounded to nearest, where the
// attenuation is volume + min(0, -pan) on the left and volume + min(0, pan) on the right
// (hundredths of a decibel). An attenuation of -10000 or below is exactly silent (gain 0); 0 dB
// is 65536.
int32_t GainFromAttenuation(int32_t hundredthsDb);
void VoiceGains(int32_t volume, int32_t pan, int32_t& left, int32_t& right);

// A voice's frames as the mixer reads them: 8- or 16-bit PCM, 1 or 2 channels, little-endian.
// 8-bit samples become (b - 128) × 256. Frames outside 0..frames-1 read as 0, or wrap around when
// `wrap` is set (looping buffers).
struct VoiceSource {
    const uint8_t* data = nullptr;
    uint32_t frames = 0;
    uint16_t channels = 1;
    uint16_t bits = 16;
    bool wrap = false;
    int32_t Sample(int64_t frame, int channel) const;
};

// Fills `out` (count frames of `source.channels` samples) from position `pos` (32.32 fixed point
// frames) stepping by `step`. A step of exactly 1.0 with a zero fraction copies; otherwise each
// sample is the cubic convolution (a = -0.5) of the four neighbours with the fraction's upper 16
// bits as t: weights in Q16 computed from t² = t·t >> 16 and t³ = t²·t >> 16, the weighted sum
// shifted right by 16 (rounding down) and clamped to 16 bits.
void ResampleVoice(const VoiceSource& source, uint64_t pos, uint64_t step, int16_t* out, size_t count);

// acc[2i] += (src_L × gainL + 32768) >> 16, acc[2i+1] likewise with the right gain (rounded to
// nearest, halves up); a mono source feeds both sides. With a mono output each frame adds
// (left + right) >> 1 of those two terms.
void AccumulatePlain(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels,
                     int32_t gainL, int32_t gainR);
void AccumulateSse2(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels,
                    int32_t gainL, int32_t gainR);
// Saturates each sum to 16 bits.
void SaturatePlain(const int32_t* acc, int16_t* out, size_t samples);
void SaturateSse2(const int32_t* acc, int16_t* out, size_t samples);

// The kernels the mixer uses: the SSE2 twins while set (the default).
void SetMixerSimd(bool on);
bool MixerSimd();
void Accumulate(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels, int32_t gainL,
                int32_t gainR);
void Saturate(const int32_t* acc, int16_t* out, size_t samples);

} // namespace winapi::ds
