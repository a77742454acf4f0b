// Fuzzes the DirectSound stand-in with call sequences: each step picks a call and its arguments
// from the input (buffer creation with any description, duplicates, releases, locks and unlocks,
// positions, play and stop, volume, pan and frequency, notifications, the primary format, lost
// buffers, device loss) and the headless clock mixes between them. Every call must answer a code;
// nothing may crash, overrun or hang.
#include <cstring>
#include <vector>

#include "support/fuzz_input.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"
#include "winapi/kernel.h"

namespace {

struct Lock {
    IDirectSoundBuffer* buffer;
    void* p1;
    DWORD n1;
    void* p2;
    DWORD n2;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    winapi::UseVirtualClock(true);
    winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
    static const HRESULT comReady = CoInitialize(nullptr);
    (void)comReady;
    FuzzInput in{data, size};
    IDirectSound* ds = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                                reinterpret_cast<void**>(&ds))))
        return 0;
    if (FAILED(ds->Initialize(nullptr))) {
        ds->Release();
        return 0;
    }
    ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), in.Small(2) ? DSSCL_PRIORITY : DSSCL_NORMAL);
    std::vector<IDirectSoundBuffer*> buffers;
    std::vector<Lock> locks;
    HANDLE events[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    auto pick = [&]() -> IDirectSoundBuffer* {
        return buffers.empty() ? nullptr : buffers[static_cast<size_t>(in.Small(static_cast<int>(buffers.size())))];
    };
    for (int step = 0; step < 200 && !in.AtEnd(); ++step) {
        switch (in.Small(14)) {
        case 0: {
            WAVEFORMATEX f{};
            f.wFormatTag = static_cast<WORD>(in.Small(3));
            f.nChannels = static_cast<WORD>(in.Small(4));
            f.wBitsPerSample = static_cast<WORD>(in.Small(3) * 8);
            f.nSamplesPerSec = in.Small(4) ? 8000u * static_cast<DWORD>(in.Small(13) + 1) : in.U32();
            f.nBlockAlign = static_cast<WORD>(f.nChannels * f.wBitsPerSample / 8 + (in.Small(8) == 0 ? 1 : 0));
            f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
            DSBUFFERDESC desc{sizeof(desc), in.U32() & 0x0001FFFFu, static_cast<DWORD>(in.Small(20000)), 0,
                              in.Small(8) ? &f : nullptr, {}};
            IDirectSoundBuffer* b = nullptr;
            if (SUCCEEDED(ds->CreateSoundBuffer(&desc, &b, nullptr)) && b)
                buffers.push_back(b);
            break;
        }
        case 1: {
            IDirectSoundBuffer* d = nullptr;
            if (IDirectSoundBuffer* b = pick(); b && SUCCEEDED(ds->DuplicateSoundBuffer(b, &d)) && d)
                buffers.push_back(d);
            break;
        }
        case 2:
            if (!buffers.empty()) {
                const size_t i = static_cast<size_t>(in.Small(static_cast<int>(buffers.size())));
                std::erase_if(locks, [&](const Lock& l) { return l.buffer == buffers[i]; });
                buffers[i]->Release();
                buffers.erase(buffers.begin() + static_cast<std::ptrdiff_t>(i));
            }
            break;
        case 3:
            if (IDirectSoundBuffer* b = pick()) {
                Lock l{b, nullptr, 0, nullptr, 0};
                const bool two = in.Small(2);
                if (SUCCEEDED(b->Lock(in.U32() % 30000, in.U32() % 30000, &l.p1, &l.n1, two ? &l.p2 : nullptr,
                                      two ? &l.n2 : nullptr, in.Small(4)))) {
                    std::memset(l.p1, in.Small(256), l.n1);
                    if (l.p2)
                        std::memset(l.p2, in.Small(256), l.n2);
                    locks.push_back(l);
                }
            }
            break;
        case 4:
            if (!locks.empty()) {
                const size_t i = static_cast<size_t>(in.Small(static_cast<int>(locks.size())));
                const Lock l = locks[i];
                if (in.Small(4) == 0)
                    l.buffer->Unlock(reinterpret_cast<uint8_t*>(l.p1) + 1, l.n1, l.p2, l.n2);
                else
                    l.buffer->Unlock(l.p1, l.n1, l.p2, l.n2);
                locks.erase(locks.begin() + static_cast<std::ptrdiff_t>(i));
            }
            break;
        case 5:
            if (IDirectSoundBuffer* b = pick())
                b->SetCurrentPosition(in.U32() % 30000);
            break;
        case 6:
            if (IDirectSoundBuffer* b = pick())
                b->Play(0, 0, in.Small(2) ? DSBPLAY_LOOPING : 0);
            break;
        case 7:
            if (IDirectSoundBuffer* b = pick())
                b->Stop();
            break;
        case 8:
            if (IDirectSoundBuffer* b = pick()) {
                b->SetVolume(in.I32() % 12000);
                b->SetPan(in.I32() % 12000);
                b->SetFrequency(in.U32() % 120000);
            }
            break;
        case 9:
            if (IDirectSoundBuffer* b = pick()) {
                IDirectSoundNotify* n = nullptr;
                if (SUCCEEDED(b->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&n))) && n) {
                    DSBPOSITIONNOTIFY p[3];
                    for (auto& x : p)
                        x = DSBPOSITIONNOTIFY{in.Small(4) ? in.U32() % 20000 : DSBPN_OFFSETSTOP, events[in.Small(2)]};
                    n->SetNotificationPositions(static_cast<DWORD>(in.Small(4)), p);
                    n->Release();
                }
            }
            break;
        case 10:
            winapi::AdvanceVirtualClock(static_cast<uint64_t>(in.Small(300)));
            WaitForSingleObject(events[0], 0);
            WaitForSingleObject(events[1], 0);
            break;
        case 11:
            if (IDirectSoundBuffer* b = pick()) {
                WAVEFORMATEX f{WAVE_FORMAT_PCM, static_cast<WORD>(in.Small(3)), 11025u * static_cast<DWORD>(in.Small(5)),
                               0, 0, 16, 0};
                f.nBlockAlign = static_cast<WORD>(f.nChannels * 2);
                f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
                b->SetFormat(&f);
                DWORD play = 0, write = 0, status = 0;
                b->GetCurrentPosition(&play, &write);
                b->GetStatus(&status);
                b->GetFormat(&f, sizeof f, nullptr);
            }
            break;
        case 12:
            if (IDirectSoundBuffer* b = pick()) {
                if (in.Small(2))
                    winapi::DsoundMarkLost(b);
                else
                    b->Restore();
            }
            break;
        default:
            if (in.Small(2))
                winapi::DsoundDropOutput();
            else
                winapi::DsoundReturnOutput();
            break;
        }
    }
    winapi::DsoundReturnOutput();
    for (auto* b : buffers)
        b->Release();
    ds->Release();
    CloseHandle(events[0]);
    CloseHandle(events[1]);
    winapi::DsoundClearRecorded();
    return 0;
}
