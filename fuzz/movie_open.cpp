// Fuzzes the movie libraries with the input as a movie: the first byte picks the factory (sprite,
// primitive, window) and whether the movie comes by path or as a stream, the next 50 bytes are the
// controls of 50 steps of 40 ms on the virtual clock (pauses, resumes, seeks, stops, plays, rate),
// the rest is the file. A refused movie is fine; nothing may crash, leak, overrun or hang, and an
// accepted one plays its 2 s whatever its timestamps say.
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "support/fuzz_input.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"
#include "winapi/kernel.h"
#include "winapi/movie.h"

namespace {

class Bytes final : public IMovieReadStream {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    LONG ReadMovie(void* buffer, LONG bytes) override
    {
        if (bytes <= 0 || m_pos >= m_size)
            return 0;
        const size_t n = std::min(static_cast<size_t>(bytes), m_size - m_pos);
        std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        return static_cast<LONG>(n);
    }
    bool SeekMovie(int64_t position) override
    {
        if (position < 0 || static_cast<size_t>(position) > m_size)
            return false;
        m_pos = static_cast<size_t>(position);
        return true;
    }
    int64_t MovieSize() override { return static_cast<int64_t>(m_size); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class Frame final : public IMovieFrameTarget {
public:
    void LockFrame() override {}
    void UnlockFrame() override {}
    bool ResizeFrame(int width, int height) override
    {
        m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
        m_width = width;
        return true;
    }
    BYTE* FramePixels() override { return m_pixels.data(); }
    LONG FramePitch() override { return m_width * 4; }

private:
    std::vector<BYTE> m_pixels;
    int m_width = 0;
};

template <class Ctrl>
void Drive(Ctrl* ctrl, FuzzInput& controls, bool sprite)
{
    ctrl->SetVolume(-600);
    if constexpr (requires { ctrl->Play(); })
        ctrl->Play();
    else
        ctrl->Run();
    for (int step = 0; step < 50; ++step) {
        const uint8_t op = controls.Byte();
        switch (op % 12) {
        case 4:
            ctrl->Pause();
            break;
        case 5:
            ctrl->Resume();
            break;
        case 6: {
            const int64_t to = static_cast<int64_t>(op >> 4) * 1000000;
            ctrl->SetPosition(static_cast<DWORD>(to), static_cast<DWORD>(to >> 32));
            break;
        }
        case 7:
            ctrl->Stop();
            break;
        case 8:
            if constexpr (requires { ctrl->Play(); })
                ctrl->Play();
            else
                ctrl->Run();
            break;
        case 9:
            ctrl->SetRate(0.25 + (op >> 4) / 8.0);
            break;
        default:
            break;
        }
        winapi::AdvanceVirtualClock(40);
        winapi::WaitMovieThreadsIdle(30000);
        if (sprite) {
            if constexpr (requires { ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 0); })
                ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255);
        }
        int64_t value = 0;
        ctrl->GetPosition(&value);
        ctrl->GetDuration(&value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        winapi::UseVirtualClock(true);
        winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
        RegisterMovieModules();
        return true;
    }();
    (void)ready;
    if (size < 51)
        return 0;
    const uint8_t mode = data[0];
    FuzzInput controls{data + 1, 50};
    const uint8_t* movie = data + 51;
    const size_t movieSize = size - 51;
    Bytes stream(movie, movieSize);
    std::string path;
    const bool byPath = (mode & 4) != 0;
    static std::string file = "/tmp/tessaro-movie-fuzz-" + std::to_string(getpid()) + ".bin";
    if (byPath) {
        FILE* f = std::fopen(file.c_str(), "wb");
        if (f == nullptr)
            return 0;
        std::fwrite(movie, 1, movieSize, f);
        std::fclose(f);
        path = "Z:" + file;
    }
    IMovieReadStream* source = byPath ? nullptr : &stream;
    const char* name = byPath ? path.c_str() : nullptr;
    Frame frames[2];
    switch (mode % 3) {
    case 0: {
        auto factory = reinterpret_cast<GetDShowGdiSpriteCtrlProc>(GetProcAddress(LoadLibraryA("DS_SPRITE.DLL"), "GetDShowGdiSpriteCtrl"));
        IMovieSpriteCtrl* ctrl = nullptr;
        if (factory(&ctrl, &frames[0], &frames[1], nullptr, source, 0, name, 0, 0, 1) == 0) {
            Drive(ctrl, controls, true);
            ctrl->Release();
        }
        break;
    }
    case 1: {
        auto factory = reinterpret_cast<GetDShowPrimCtrlProc>(GetProcAddress(LoadLibraryA("DS_PRIM.DLL"), "GetDShowPrimCtrl"));
        IMovieSpriteCtrl* ctrl = nullptr;
        if (factory(&ctrl, &frames[0], &frames[1], source, 0, name, 0, 0, 1) == 0) {
            Drive(ctrl, controls, true);
            ctrl->Release();
        }
        break;
    }
    default: {
        auto factory = reinterpret_cast<GetMovieObjectProc>(GetProcAddress(LoadLibraryA("DS_MOVIE.DLL"), "GetMovieObject"));
        IMovieWindowObject* ctrl = nullptr;
        if (factory(&ctrl, source, 0, name, nullptr, nullptr, 0) == 0) {
            Drive(ctrl, controls, false);
            HDC dc = CreateCompatibleDC(nullptr);
            ctrl->PaintDC(dc);
            DeleteDC(dc);
            BOOL present = FALSE;
            LONG code = 0;
            while (ctrl->NextEvent(&present, &code, nullptr, nullptr) == S_OK && present) {
            }
            ctrl->Release();
        }
        break;
    }
    }
    if (byPath)
        std::remove(file.c_str());
    return 0;
}
