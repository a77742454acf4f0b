// The DirectSound stand-in's mix against SDL's: 32 voices of 16-bit stereo, each with its own
// volume and pan, ten seconds into 44.1 kHz stereo, with the voices at 44.1 kHz, 22.05 kHz and
// 48 kHz. Ours is the device itself, driven by the headless clock; SDL mixes each voice with
// SDL_MixAudioFormat, after an SDL_AudioStream when the voice needs resampling (SDL has no pan).
// Besides the contest counters each entry reports our real-time factor and share of one core.
#include <SDL.h>

#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include <cstring>

#include "contest.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"

namespace {

using bench::Contest;

constexpr int kVoices = 32;
constexpr int kSeconds = 10;
constexpr int kOutRate = 44100;
constexpr int kPeriod = 512;

std::vector<int16_t> Tone(int rate, int index)
{
    // Two seconds of a tone per voice, looped.
    std::vector<int16_t> s(static_cast<size_t>(rate) * 2 * 2);
    const double f = 110.0 * (1 + index % 7) + 13.0 * index;
    for (size_t i = 0; i < s.size() / 2; ++i) {
        s[2 * i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * f * static_cast<double>(i) / rate));
        s[2 * i + 1] = static_cast<int16_t>(6000 * std::cos(2 * M_PI * f * static_cast<double>(i) / rate));
    }
    return s;
}

void MixContest(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    winapi::UseVirtualClock(true);
    winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
    IDirectSound* ds = nullptr;
    CoInitialize(nullptr);
    CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, reinterpret_cast<void**>(&ds));
    ds->Initialize(nullptr);
    ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY);
    std::vector<std::vector<int16_t>> tones;
    std::vector<IDirectSoundBuffer*> buffers;
    for (int v = 0; v < kVoices; ++v) {
        tones.push_back(Tone(rate, v));
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, static_cast<DWORD>(rate), static_cast<DWORD>(rate) * 4, 4, 16, 0};
        DSBUFFERDESC desc{sizeof(desc), DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
                          static_cast<DWORD>(tones.back().size() * 2), 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        ds->CreateSoundBuffer(&desc, &b, nullptr);
        void* p = nullptr;
        DWORD n = 0;
        b->Lock(0, desc.dwBufferBytes, &p, &n, nullptr, nullptr, 0);
        std::memcpy(p, tones.back().data(), n);
        b->Unlock(p, n, nullptr, 0);
        b->SetVolume(-(v * 97) % 3000);
        b->SetPan((v * 613) % 20001 - 10000);
        b->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(b);
    }
    auto ours = [&] {
        winapi::AdvanceVirtualClock(kSeconds * 1000);
        winapi::DsoundClearRecorded();
    };

    SDL_Init(SDL_INIT_AUDIO);
    std::vector<int16_t> out(static_cast<size_t>(kPeriod) * 2);
    std::vector<int16_t> converted(static_cast<size_t>(kPeriod) * 2);
    std::vector<SDL_AudioStream*> streams;
    if (rate != kOutRate)
        for (int v = 0; v < kVoices; ++v)
            streams.push_back(SDL_NewAudioStream(AUDIO_S16SYS, 2, rate, AUDIO_S16SYS, 2, kOutRate));
    std::vector<size_t> positions(kVoices, 0);
    auto peer = [&] {
        const int periods = kSeconds * kOutRate / kPeriod;
        for (int p = 0; p < periods; ++p) {
            std::fill(out.begin(), out.end(), int16_t{0});
            for (int v = 0; v < kVoices; ++v) {
                const auto& tone = tones[static_cast<size_t>(v)];
                const int volume = 128 - (v * 97 % 3000) * 128 / 10000;
                const Uint8* src;
                if (rate == kOutRate) {
                    size_t& pos = positions[static_cast<size_t>(v)];
                    if (pos + out.size() > tone.size())
                        pos = 0;
                    src = reinterpret_cast<const Uint8*>(tone.data() + pos);
                    pos += out.size();
                } else {
                    SDL_AudioStream* s = streams[static_cast<size_t>(v)];
                    size_t& pos = positions[static_cast<size_t>(v)];
                    while (SDL_AudioStreamAvailable(s) < static_cast<int>(converted.size() * 2)) {
                        const size_t chunk = 2048;
                        if (pos + chunk > tone.size())
                            pos = 0;
                        SDL_AudioStreamPut(s, tone.data() + pos, static_cast<int>(chunk * 2));
                        pos += chunk;
                    }
                    SDL_AudioStreamGet(s, converted.data(), static_cast<int>(converted.size() * 2));
                    src = reinterpret_cast<const Uint8*>(converted.data());
                }
                SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), src, AUDIO_S16SYS,
                                   static_cast<Uint32>(out.size() * 2), volume);
            }
            benchmark::DoNotOptimize(out.data());
        }
    };
    // Goals: 1.5 times SDL's speed, under 2 % of one core.
    Contest(state, ours, peer, bench::Goal{.ratio = 1.5}, 5);
    const double ms = state.counters["ours_ms"];
    state.counters["realtime_x"] = kSeconds * 1000.0 / ms;
    state.counters["core_pct"] = ms / (kSeconds * 10.0);
    bench::ReportCeiling(state, "core_pct", 2);
    for (auto* s : streams)
        SDL_FreeAudioStream(s);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    for (auto* b : buffers)
        b->Release();
    ds->Release();
    winapi::UseVirtualClock(false);
}

} // namespace

BENCHMARK(MixContest)->Arg(44100)->Arg(22050)->Arg(48000)->Iterations(1)->Unit(benchmark::kMillisecond);
