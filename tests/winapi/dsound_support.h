// DirectSound test helpers: a device on the recorded output with the virtual clock, buffers made
// from sample vectors, and the gain law computed independently of the mixer.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "winapi/clock.h"
#include "winapi/dsound.h"

namespace dstest {

inline WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits)
{
    const auto align = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// 16.16 gain of an attenuation in hundredths of a decibel; -10000 and below silent.
inline int32_t LawGain(int32_t att)
{
    if (att <= -10000)
        return 0;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, att / 2000.0)));
}

class DsoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::UseVirtualClock(true);
        winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
        winapi::Dsound() = winapi::DsoundSwitches{};
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ReopenDevice();
        winapi::DsoundClearRecorded();
    }
    // A new DirectSound object in ds (the old one released by the caller).
    void ReopenDevice()
    {
        ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                                   reinterpret_cast<void**>(&ds)),
                  S_OK);
        ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
    }
    void TearDown() override
    {
        for (auto* b : buffers)
            b->Release();
        if (ds)
            ds->Release();
        winapi::Dsound() = winapi::DsoundSwitches{};
        winapi::DsoundReturnOutput();
        winapi::SetDsoundOutput(winapi::DsoundOutput::Auto);
        winapi::UseVirtualClock(false);
        CoUninitialize();
    }

    // A secondary buffer holding `bytes` (its size), released by the fixture.
    IDirectSoundBuffer* Make(const WAVEFORMATEX& format, const std::vector<uint8_t>& bytes,
                             DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY)
    {
        WAVEFORMATEX f = format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, static_cast<DWORD>(bytes.size()), 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b)
            return nullptr;
        void* p1 = nullptr;
        DWORD n1 = 0;
        EXPECT_EQ(b->Lock(0, static_cast<DWORD>(bytes.size()), &p1, &n1, nullptr, nullptr, 0), DS_OK);
        std::memcpy(p1, bytes.data(), n1);
        EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
        buffers.push_back(b);
        return b;
    }

    static std::vector<uint8_t> Samples16(const std::vector<int16_t>& s)
    {
        std::vector<uint8_t> bytes(s.size() * 2);
        std::memcpy(bytes.data(), s.data(), bytes.size());
        return bytes;
    }

    // The recorded mix as interleaved stereo samples.
    static std::vector<int16_t> Mixed() { return winapi::DsoundRecorded().samples; }

    IDirectSound* ds = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;
};

} // namespace dstest
