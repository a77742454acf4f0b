#include "winapi/dsound/mixer.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace winapi::ds {

namespace {
std::atomic<bool> g_simd{true};

int16_t Clamp16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
}
} // namespace

int32_t GainFromAttenuation(int32_t hundredthsDb)
{
    if (hundredthsDb <= -10000)
        return 0;
    if (hundredthsDb >= 0)
        return 65536;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, hundredthsDb / 2000.0)));
}

void VoiceGains(int32_t volume, int32_t pan, int32_t& left, int32_t& right)
{
    if (volume <= -10000) {
        left = right = 0;
        return;
    }
    left = GainFromAttenuation(volume + std::min(0, -pan));
    right = GainFromAttenuation(volume + std::min(0, pan));
}

int32_t VoiceSource::Sample(int64_t frame, int channel) const
{
    if (frames == 0)
        return 0;
    if (frame < 0 || frame >= frames) {
        if (!wrap)
            return 0;
        frame %= static_cast<int64_t>(frames);
        if (frame < 0)
            frame += frames;
    }
    const int ch = channels == 2 ? channel : 0;
    if (bits == 8)
        return (static_cast<int32_t>(data[static_cast<size_t>(frame) * channels + ch]) - 128) * 256;
    const uint8_t* p = data + (static_cast<size_t>(frame) * channels + ch) * 2;
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void ResampleVoice(const VoiceSource& source, uint64_t pos, uint64_t step, int16_t* out, size_t count)
{
    const int channels = source.channels == 2 ? 2 : 1;
    const bool copy = step == (uint64_t{1} << 32) && (pos & 0xFFFFFFFFu) == 0;
    for (size_t i = 0; i < count; ++i, pos += step) {
        const auto frame = static_cast<int64_t>(pos >> 32);
        if (copy) {
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = static_cast<int16_t>(source.Sample(frame, c));
            continue;
        }
        const auto t = static_cast<int32_t>((pos >> 16) & 0xFFFF);
        const auto t2 = static_cast<int32_t>((static_cast<uint32_t>(t) * static_cast<uint32_t>(t)) >> 16);
        const auto t3 = static_cast<int32_t>((static_cast<uint32_t>(t2) * static_cast<uint32_t>(t)) >> 16);
        const int32_t w0 = (-t3 + 2 * t2 - t) / 2;
        const int32_t w1 = (3 * t3 - 5 * t2 + 2 * 65536) / 2;
        const int32_t w2 = (-3 * t3 + 4 * t2 + t) / 2;
        const int32_t w3 = (t3 - t2) / 2;
        if (source.bits == 16 && frame >= 1 && frame + 2 < static_cast<int64_t>(source.frames)) {
            // All four neighbours inside: read them straight (the same values Sample gives).
            const auto* p = reinterpret_cast<const int16_t*>(source.data) + (frame - 1) * channels;
            for (int c = 0; c < channels; ++c) {
                const int64_t sum = int64_t{w0} * p[c] + int64_t{w1} * p[channels + c] + int64_t{w2} * p[2 * channels + c] +
                                    int64_t{w3} * p[3 * channels + c];
                out[i * channels + c] = Clamp16(sum >> 16);
            }
            continue;
        }
        for (int c = 0; c < channels; ++c) {
            const int64_t sum = int64_t{w0} * source.Sample(frame - 1, c) + int64_t{w1} * source.Sample(frame, c) +
                                int64_t{w2} * source.Sample(frame + 1, c) + int64_t{w3} * source.Sample(frame + 2, c);
            out[i * channels + c] = Clamp16(sum >> 16);
        }
    }
}

void AccumulatePlain(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels,
                     int32_t gainL, int32_t gainR)
{
    for (size_t i = 0; i < frames; ++i) {
        const int32_t l = srcChannels == 2 ? src[2 * i] : src[i];
        const int32_t r = srcChannels == 2 ? src[2 * i + 1] : src[i];
        const int32_t cl = static_cast<int32_t>((static_cast<int64_t>(l) * gainL + 32768) >> 16);
        const int32_t cr = static_cast<int32_t>((static_cast<int64_t>(r) * gainR + 32768) >> 16);
        if (outChannels == 2) {
            acc[2 * i] += cl;
            acc[2 * i + 1] += cr;
        } else {
            acc[i] += (cl + cr) >> 1;
        }
    }
}

void AccumulateSse2(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels,
                    int32_t gainL, int32_t gainR)
{
    if (outChannels != 2) {
        AccumulatePlain(acc, src, frames, srcChannels, outChannels, gainL, gainR);
        return;
    }
    // s × g for 0 ≤ g ≤ 65536 from 16-bit lanes: a gain of 32768 or more is g - 65536 as a signed
    // word, and the missing s × 65536 is added back as s shifted into the high half.
    auto lane = [](int32_t g) { return static_cast<int16_t>(g >= 32768 ? g - 65536 : g); };
    auto add = [](int32_t g) { return static_cast<int16_t>(g >= 32768 ? -1 : 0); };
    const __m128i gains = _mm_setr_epi16(lane(gainL), lane(gainR), lane(gainL), lane(gainR), lane(gainL),
                                         lane(gainR), lane(gainL), lane(gainR));
    const __m128i adds = _mm_setr_epi16(add(gainL), add(gainR), add(gainL), add(gainR), add(gainL), add(gainR),
                                        add(gainL), add(gainR));
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i s;
        if (srcChannels == 2) {
            s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        } else {
            const __m128i m = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
            s = _mm_unpacklo_epi16(m, m);
        }
        const __m128i pl = _mm_mullo_epi16(s, gains);
        const __m128i ph = _mm_mulhi_epi16(s, gains);
        const __m128i back = _mm_and_si128(s, adds);
        const __m128i zero = _mm_setzero_si128();
        const __m128i half = _mm_set1_epi32(32768);
        const __m128i lo = _mm_srai_epi32(
            _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(pl, ph), _mm_unpacklo_epi16(zero, back)), half), 16);
        const __m128i hi = _mm_srai_epi32(
            _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(pl, ph), _mm_unpackhi_epi16(zero, back)), half), 16);
        auto* a = reinterpret_cast<__m128i*>(acc + 2 * i);
        _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), lo));
        _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), hi));
    }
    if (i < frames)
        AccumulatePlain(acc + 2 * i, src + static_cast<size_t>(srcChannels) * i, frames - i, srcChannels, 2, gainL,
                        gainR);
}

void SaturatePlain(const int32_t* acc, int16_t* out, size_t samples)
{
    for (size_t i = 0; i < samples; ++i)
        out[i] = Clamp16(acc[i]);
}

void SaturateSse2(const int32_t* acc, int16_t* out, size_t samples)
{
    size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
    }
    SaturatePlain(acc + i, out + i, samples - i);
}

void SetMixerSimd(bool on)
{
    g_simd.store(on);
}

bool MixerSimd()
{
    return g_simd.load();
}

void Accumulate(int32_t* acc, const int16_t* src, size_t frames, int srcChannels, int outChannels, int32_t gainL,
                int32_t gainR)
{
    if (MixerSimd())
        AccumulateSse2(acc, src, frames, srcChannels, outChannels, gainL, gainR);
    else
        AccumulatePlain(acc, src, frames, srcChannels, outChannels, gainL, gainR);
}

void Saturate(const int32_t* acc, int16_t* out, size_t samples)
{
    if (MixerSimd())
        SaturateSse2(acc, out, samples);
    else
        SaturatePlain(acc, out, samples);
}

} // namespace winapi::ds
