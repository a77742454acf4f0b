// Sound test fixture: the headless DirectSound output on the virtual clock, a sound device, a file
// manager over a temporary folder, and a counter-signal decoder ("CNT" files) whose samples count
// frames, so a mix can be checked sample for sample against where each sound should be.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "files/temp_folder.h"
#include "sound/sound_device.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"

namespace soundtest {

// What a counter file asks of its stream.
struct Counter {
    uint32_t rate = 44100;
    uint16_t channels = 2;
    uint16_t bits = 16;
    uint32_t frames = 44100;
    uint32_t start = 0;          // the first frame's count
    uint32_t announceExtra = 0;  // bytes announced beyond those delivered
    uint32_t failAt = 0;         // bytes after which Read delivers nothing (0: never)
    uint32_t stallAt = 0;        // bytes after which one Read waits for ReleaseStall (0: never)
};

// Sample c of frame f of a counter stream: left counts up, right counts down (16-bit); 8-bit
// samples count in the low byte.
inline int16_t CounterSample(const Counter& c, uint32_t frame, int channel)
{
    const uint32_t n = c.start + frame;
    if (c.bits == 8)
        return static_cast<int16_t>((static_cast<int>(static_cast<uint8_t>(n)) - 128) * 256);
    const auto v = static_cast<int16_t>(n & 0x3FFF);
    return channel == 0 ? v : static_cast<int16_t>(-v);
}

inline std::string CounterFile(const Counter& c)
{
    std::string s = "CNT1";
    s.append(reinterpret_cast<const char*>(&c), sizeof c);
    return s;
}

// The stall gate shared by every counter stream.
struct Stall {
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    std::atomic<bool> entered{false};
};
inline Stall& TheStall()
{
    static Stall stall;
    return stall;
}
inline void ReleaseStall()
{
    std::lock_guard<std::mutex> lock(TheStall().mutex);
    TheStall().released = true;
    TheStall().cv.notify_all();
}

class CounterStream : public CDecodeStream {
public:
    explicit CounterStream(const Counter& c) : m_c(c)
    {
        const auto align = static_cast<WORD>(c.channels * c.bits / 8);
        m_format = WAVEFORMATEX{WAVE_FORMAT_PCM, c.channels, c.rate, c.rate * align, align, c.bits, 0};
        m_total = c.frames * align;
    }
    DWORD GetLength() override { return static_cast<DWORD>(uint64_t{m_c.frames} * 1000 / m_c.rate); }
    DWORD GetTotalBytes() override { return m_total + m_c.announceExtra; }
    int Seek(DWORD ms) override
    {
        const uint64_t frame = uint64_t{ms} * m_c.rate / 1000;
        if (frame > m_c.frames)
            return 5;
        m_pos = static_cast<uint32_t>(frame * m_format.nBlockAlign);
        m_end = false;
        return 0;
    }
    DWORD GetPosition() override { return static_cast<DWORD>(uint64_t{m_pos} * 1000 / m_format.nAvgBytesPerSec); }
    bool IsEnd() override { return m_end; }
    DWORD Read(void* buffer, DWORD bytes) override
    {
        if (m_c.stallAt && m_pos >= m_c.stallAt && !m_stalled) {
            m_stalled = true;
            Stall& s = TheStall();
            s.entered = true;
            std::unique_lock<std::mutex> lock(s.mutex);
            s.cv.wait(lock, [&] { return s.released; });
        }
        uint32_t limit = m_total;
        if (m_c.failAt && m_c.failAt < limit)
            limit = m_c.failAt;
        if (m_pos >= limit) {
            if (m_pos >= m_total)
                m_end = true;
            return 0;
        }
        DWORD n = std::min<DWORD>(bytes, limit - m_pos) / m_format.nBlockAlign * m_format.nBlockAlign;
        if (m_c.stallAt && m_pos < m_c.stallAt && !m_stalled)
            n = std::min<DWORD>(n, m_c.stallAt - m_pos);
        auto* out = static_cast<uint8_t*>(buffer);
        for (DWORD i = 0; i < n; i += m_format.nBlockAlign) {
            const uint32_t frame = (m_pos + i) / m_format.nBlockAlign;
            for (int ch = 0; ch < m_c.channels; ++ch) {
                const int16_t v = CounterSample(m_c, frame, ch);
                if (m_c.bits == 8) {
                    out[i + ch] = static_cast<uint8_t>(v / 256 + 128);
                } else {
                    std::memcpy(out + i + 2 * ch, &v, 2);
                }
            }
        }
        m_pos += n;
        if (m_pos >= m_total)
            m_end = true;
        return n;
    }
    WAVEFORMATEX* GetFormat() override { return &m_format; }

private:
    Counter m_c;
    WAVEFORMATEX m_format{};
    uint32_t m_total = 0;
    uint32_t m_pos = 0;
    bool m_end = false;
    bool m_stalled = false;
};

class CounterDecoder : public CSoundDecoder {
public:
    CDecodeStream* Open(CFileStream* file, int* outCode) override
    {
        char head[4 + sizeof(Counter)] = {};
        if (file->Read(head, sizeof head) != sizeof head || std::memcmp(head, "CNT1", 4) != 0) {
            file->SeekSet(0);
            if (outCode)
                *outCode = 1;
            return nullptr;
        }
        Counter c;
        std::memcpy(&c, head + 4, sizeof c);
        delete file;
        return new CounterStream(c);
    }
};

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(1000000);
        winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
        winapi::Dsound() = winapi::DsoundSwitches{};
        {
            std::lock_guard<std::mutex> lock(TheStall().mutex);
            TheStall().released = false;
            TheStall().entered = false;
        }
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_pFileManager = &files;
        sll.Register(new CounterDecoder, "CNT\0", "counter", 100, nullptr, nullptr, nullptr);
        g_pSllManager = &sll;
        g_bStreamNotify = 0;
        device = new CSoundDevice;
        g_pSoundDevice = device;
        g_pSoundList = device;
        ASSERT_EQ(device->CreateDevice(reinterpret_cast<HWND>(1), false, false, nullptr), 0);
        winapi::DsoundClearRecorded();
    }
    void TearDown() override
    {
        ReleaseStall();
        delete device;
        g_pSoundDevice = nullptr;
        g_pSoundList = nullptr;
        g_pSllManager = nullptr;
        g_pFileManager = nullptr;
        g_bStreamNotify = 0;
        winapi::Dsound() = winapi::DsoundSwitches{};
        winapi::SetDsoundOutput(winapi::DsoundOutput::Auto);
        winapi::UseVirtualClock(false);
    }

    void Write(const std::string& name, const Counter& c) { dir.Write(name, CounterFile(c)); }
    void Write(const std::string& name, const std::string& bytes) { dir.Write(name, bytes); }

    // Moves the clock in steps, letting `workers` stream workers catch up after each.
    static void Run(uint32_t ms, uint32_t step = 50, int workers = 0)
    {
        for (uint32_t t = 0; t < ms; t += step) {
            winapi::AdvanceVirtualClock(std::min(step, ms - t));
            if (workers) {
                EXPECT_TRUE(winapi::WaitForClockWaiters(workers));
            }
        }
    }

    // Moves the clock in steps; after each, waits for the stream's worker to be back in its wait
    // (or gone).
    template <typename S> static void Play(S& stream, uint32_t ms, uint32_t step = 100)
    {
        for (uint32_t t = 0; t < ms; t += step) {
            winapi::AdvanceVirtualClock(std::min(step, ms - t));
            while (stream.IsWorkerRunning() && !winapi::WaitForClockWaiters(1, 20)) {
            }
        }
    }

    static std::vector<int16_t> Mixed() { return winapi::DsoundRecorded().samples; }

    // Index of the first frame where the stereo mix differs from the expectation, or -1.
    template <typename F> static int64_t FirstMismatch(const std::vector<int16_t>& mix, size_t frames, F expect)
    {
        for (size_t i = 0; i < frames && 2 * i + 1 < mix.size(); ++i)
            for (int c = 0; c < 2; ++c)
                if (mix[2 * i + c] != expect(i, c))
                    return static_cast<int64_t>(i);
        return mix.size() / 2 < frames ? static_cast<int64_t>(mix.size() / 2) : -1;
    }

    TempFolder dir;
    CFileManager files;
    CSllManager sll;
    CSoundDevice* device = nullptr;
};

} // namespace soundtest
