// The DirectSound stand-in: refusals, cursors, locks, notifications, duplicates, focus, the
// primary format, the enumeration, the test switches and the outputs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <unistd.h>

#include "dsound_support.h"
#include "winapi/kernel.h"
#include "winapi/user.h"

using dstest::DsoundTest;
using dstest::Pcm;

namespace {

std::vector<uint8_t> Ramp16(size_t frames, int channels)
{
    std::vector<int16_t> s(frames * channels);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    std::vector<uint8_t> bytes(s.size() * 2);
    std::memcpy(bytes.data(), s.data(), bytes.size());
    return bytes;
}

bool Signalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace

TEST_F(DsoundTest, CreateSoundBufferRefusesBadDescriptions)
{
    struct Case {
        const char* name;
        DWORD flags;
        DWORD bytes;
        WAVEFORMATEX format;
        bool nullFormat;
        HRESULT want;
    };
    const WAVEFORMATEX good = Pcm(22050, 2, 16);
    auto with = [&](auto change) {
        WAVEFORMATEX f = good;
        change(f);
        return f;
    };
    const Case cases[] = {
        {"good", 0, 4096, good, false, DS_OK},
        {"size 3", 0, 3, good, false, DSERR_INVALIDPARAM},
        {"size above 0x0FFFFFFF", 0, 0x10000000, good, false, DSERR_INVALIDPARAM},
        {"no format", 0, 4096, good, true, DSERR_INVALIDPARAM},
        {"not PCM", 0, 4096, with([](auto& f) { f.wFormatTag = 3; }), false, DSERR_BADFORMAT},
        {"24-bit", 0, 4096, Pcm(22050, 2, 24), false, DSERR_BADFORMAT},
        {"3 channels", 0, 4096, Pcm(22050, 3, 16), false, DSERR_BADFORMAT},
        {"99 Hz", 0, 4096, Pcm(99, 1, 8), false, DSERR_BADFORMAT},
        {"100001 Hz", 0, 4096, Pcm(100001, 1, 8), false, DSERR_BADFORMAT},
        {"100 Hz", 0, 4096, Pcm(100, 1, 8), false, DS_OK},
        {"wrong block align", 0, 4096, with([](auto& f) { f.nBlockAlign = 2; }), false, DSERR_BADFORMAT},
        {"wrong byte rate", 0, 4096, with([](auto& f) { f.nAvgBytesPerSec += 1; }), false, DSERR_BADFORMAT},
        {"primary with a size", DSBCAPS_PRIMARYBUFFER, 4096, good, true, DSERR_INVALIDPARAM},
        {"primary", DSBCAPS_PRIMARYBUFFER, 0, good, true, DS_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WAVEFORMATEX f = c.format;
        DSBUFFERDESC desc{sizeof(desc), c.flags, c.bytes, 0, c.nullFormat ? nullptr : &f, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), c.want);
        EXPECT_EQ(b != nullptr, c.want == DS_OK);
        if (b)
            b->Release();
    }
}

TEST_F(DsoundTest, ControlsNeedTheirFlagsAndRanges)
{
    auto* plain = Make(Pcm(22050, 1, 16), Ramp16(1000, 1), 0);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
    auto* b = Make(Pcm(22050, 1, 16), Ramp16(1000, 1));
    struct Case {
        const char* name;
        HRESULT got;
        HRESULT want;
    };
    const Case cases[] = {
        {"volume 1", b->SetVolume(1), DSERR_INVALIDPARAM},
        {"volume -10001", b->SetVolume(-10001), DSERR_INVALIDPARAM},
        {"volume -10000", b->SetVolume(-10000), DS_OK},
        {"pan 10001", b->SetPan(10001), DSERR_INVALIDPARAM},
        {"pan -10001", b->SetPan(-10001), DSERR_INVALIDPARAM},
        {"pan -10000", b->SetPan(-10000), DS_OK},
        {"frequency 99", b->SetFrequency(99), DSERR_INVALIDPARAM},
        {"frequency 100001", b->SetFrequency(100001), DSERR_INVALIDPARAM},
        {"frequency 100000", b->SetFrequency(100000), DS_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << c.name;
    DWORD hz = 0;
    ASSERT_EQ(b->SetFrequency(0), DS_OK);
    ASSERT_EQ(b->GetFrequency(&hz), DS_OK);
    EXPECT_EQ(hz, 22050u); // 0 = the format's rate
    LONG v = 0;
    LONG p = 0;
    b->GetVolume(&v);
    b->GetPan(&p);
    EXPECT_EQ(v, -10000);
    EXPECT_EQ(p, -10000);
}

TEST_F(DsoundTest, LocksWrapAndUnlockOnlyWhatTheyGave)
{
    auto* b = Make(Pcm(44100, 2, 16), Ramp16(250, 2)); // 1000 bytes
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0;
    DWORD n2 = 0;
    EXPECT_EQ(b->Lock(1000, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 1001, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->Lock(900, 300, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 200u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 900);
    int other = 0;
    EXPECT_EQ(b->Unlock(&other, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, 101, p2, 200), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DSERR_INVALIDPARAM); // already given back
    ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
}

TEST_F(DsoundTest, CursorsMoveWithTheMixAndOneShotsEndAtTheStart)
{
    auto* b = Make(Pcm(22050, 2, 16), Ramp16(22050, 2)); // one second, 88200 bytes
    DWORD play = 1;
    DWORD write = 1;
    ASSERT_EQ(b->SetCurrentPosition(4003), DS_OK);
    b->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 4000u); // rounded down to the block
    EXPECT_EQ(write, play); // stopped: no lead
    EXPECT_EQ(b->SetCurrentPosition(88200), DSERR_INVALIDPARAM);
    b->SetCurrentPosition(0);
    b->Play(0, 0, 0);
    winapi::AdvanceVirtualClock(100); // 4410 output frames = 2205 source frames
    b->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 2205u * 4);
    EXPECT_EQ(write, play + (256 + 32) * 4); // one period at the buffer's rate and the margin
    b->Stop();
    winapi::AdvanceVirtualClock(100);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 2205u * 4); // Stop keeps the position
    b->Play(0, 0, 0);
    winapi::AdvanceVirtualClock(1000);
    DWORD status = 0;
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
    // A playing buffer only takes the new loop flag.
    b->SetCurrentPosition(0);
    b->Play(0, 0, 0);
    winapi::AdvanceVirtualClock(20);
    b->GetCurrentPosition(&play, nullptr);
    b->Play(0, 0, DSBPLAY_LOOPING);
    DWORD again = 0;
    b->GetCurrentPosition(&again, nullptr);
    EXPECT_EQ(again, play);
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    winapi::AdvanceVirtualClock(2000);
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST_F(DsoundTest, NotificationsFireAsThePlayCursorPassesThem)
{
    // 4410 frames at 44100 Hz: 100 ms a lap, 17640 bytes.
    auto* b = Make(Pcm(44100, 2, 16), Ramp16(4410, 2), DSBCAPS_CTRLPOSITIONNOTIFY);
    IDirectSoundNotify* notify = nullptr;
    ASSERT_EQ(b->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)), S_OK);
    HANDLE events[4];
    for (auto& e : events)
        e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DSBPOSITIONNOTIFY positions[] = {
        {4410, events[0]}, {8820, events[1]}, {17639, events[2]}, {DSBPN_OFFSETSTOP, events[3]}};
    EXPECT_EQ(notify->SetNotificationPositions(1, &positions[0]), DS_OK);
    const DSBPOSITIONNOTIFY past{17640, events[0]};
    EXPECT_EQ(notify->SetNotificationPositions(1, &past), DSERR_INVALIDPARAM);
    ASSERT_EQ(notify->SetNotificationPositions(4, positions), DS_OK);
    b->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(notify->SetNotificationPositions(4, positions), DSERR_INVALIDCALL);
    struct Step {
        uint32_t ms;
        bool want[4];
    };
    const Step steps[] = {
        {20, {false, false, false, false}}, // 3528 bytes: none passed
        {10, {true, false, false, false}},  // 5292: the quarter
        {30, {false, true, false, false}},  // 10584: the half
        {50, {false, false, true, false}},  // wraps to 1764: the last byte
        {250, {true, true, true, false}},   // more than a lap: all of them
    };
    for (const Step& s : steps) {
        winapi::AdvanceVirtualClock(s.ms);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Signalled(events[i]), s.want[i]) << s.ms << " event " << i;
    }
    b->Stop();
    EXPECT_TRUE(Signalled(events[3]));
    notify->Release();
    for (auto e : events)
        CloseHandle(e);
    IDirectSoundNotify* none = nullptr;
    auto* plain = Make(Pcm(44100, 2, 16), Ramp16(10, 2));
    EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
}

TEST_F(DsoundTest, DuplicatesShareSamplesButNothingElse)
{
    auto* a = Make(Pcm(44100, 1, 16), Ramp16(4410, 1));
    IDirectSoundBuffer* d = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &d), DS_OK);
    buffers.push_back(d);
    a->SetVolume(-10000);
    a->SetCurrentPosition(200);
    a->Play(0, 0, DSBPLAY_LOOPING);
    LONG v = 1;
    d->GetVolume(&v);
    EXPECT_EQ(v, 0);
    DWORD status = 0;
    d->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    // New samples written through the original play from the duplicate.
    void* p = nullptr;
    DWORD n = 0;
    a->Lock(0, 8, &p, &n, nullptr, nullptr, 0);
    const int16_t values[4] = {1000, -2000, 3000, -4000};
    std::memcpy(p, values, 8);
    a->Unlock(p, n, nullptr, 0);
    d->Play(0, 0, 0);
    winapi::AdvanceVirtualClock(1);
    const auto mixed = Mixed();
    ASSERT_GE(mixed.size(), 8u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mixed[2 * i], values[i]);
}

TEST_F(DsoundTest, AnotherProgramsWindowSilencesAllButGlobalFocusBuffers)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "DsoundFocus";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, "DsoundFocus", "focus", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND other = CreateWindowExA(0, "DsoundFocus", "other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    // A window the game's window owns (a dialog of the game) keeps the focus with the game.
    HWND owned = CreateWindowExA(0, "DsoundFocus", "owned", WS_POPUP, 0, 0, 50, 50, window, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window && other && owned);
    ASSERT_EQ(ds->SetCooperativeLevel(window, DSSCL_PRIORITY), DS_OK);
    const std::vector<int16_t> one(200, 1000);
    auto* local = Make(Pcm(44100, 1, 16), dstest::DsoundTest::Samples16(one));
    auto* global = Make(Pcm(44100, 1, 16), dstest::DsoundTest::Samples16(one),
                        DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS);
    struct Case {
        HWND foreground;
        IDirectSoundBuffer* buffer;
        int16_t want;
    };
    for (const Case& c : {Case{window, local, 1000}, Case{owned, local, 1000}, Case{other, local, 0},
                          Case{other, global, 1000}}) {
        ShowWindow(c.foreground, SW_SHOW);
        SetForegroundWindow(c.foreground);
        c.buffer->SetCurrentPosition(0);
        c.buffer->Play(0, 0, DSBPLAY_LOOPING);
        winapi::DsoundClearRecorded();
        winapi::AdvanceVirtualClock(2);
        const auto mixed = Mixed();
        ASSERT_FALSE(mixed.empty());
        EXPECT_EQ(mixed[0], c.want);
        DWORD play = 0;
        c.buffer->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(play, 88u * 2 % 400); // silent or not, it runs on
        c.buffer->Stop();
    }
    DestroyWindow(owned);
    DestroyWindow(window);
    DestroyWindow(other);
}

TEST_F(DsoundTest, PrimaryFormatNeedsPriorityAndSetsTheOutput)
{
    DSBUFFERDESC desc{sizeof(desc), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    buffers.push_back(primary);
    WAVEFORMATEX f{};
    DWORD written = 0;
    ASSERT_EQ(primary->GetFormat(&f, sizeof(f), &written), DS_OK);
    EXPECT_EQ(written, sizeof(f));
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.nChannels, 2);
    WAVEFORMATEX bad = Pcm(48000, 1, 16);
    bad.nAvgBytesPerSec = 1;
    EXPECT_EQ(primary->SetFormat(&bad), DSERR_BADFORMAT);
    const WAVEFORMATEX mono48 = Pcm(48000, 1, 16);
    ASSERT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&mono48), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
    ASSERT_EQ(primary->SetFormat(&mono48), DS_OK);
    auto* b = Make(Pcm(48000, 2, 16), Ramp16(4800, 2));
    b->SetPan(-10000);
    b->Play(0, 0, DSBPLAY_LOOPING);
    winapi::AdvanceVirtualClock(10);
    const auto rec = winapi::DsoundRecorded();
    EXPECT_EQ(rec.rate, 48000u);
    EXPECT_EQ(rec.channels, 1);
    ASSERT_EQ(rec.samples.size(), 480u);
    // A mono output takes half of each side: the left alone here.
    const auto ramp = Ramp16(4800, 2);
    int16_t left0;
    std::memcpy(&left0, ramp.data(), 2);
    EXPECT_EQ(rec.samples[0], left0 >> 1);
}

TEST_F(DsoundTest, LostBuffersRefuseUntilRestored)
{
    auto* b = Make(Pcm(22050, 1, 8), std::vector<uint8_t>(100, 0x80));
    b->Play(0, 0, DSBPLAY_LOOPING);
    winapi::DsoundMarkLost(b);
    DWORD status = 0;
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Lock(0, 10, &p, &n, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Restore(), DS_OK);
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
}

TEST_F(DsoundTest, SwitchesRefuseWithTheirCodes)
{
    winapi::Dsound().refuseCreateBuffer = true;
    WAVEFORMATEX f = Pcm(8000, 1, 8);
    DSBUFFERDESC desc{sizeof(desc), 0, 800, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_OUTOFMEMORY);
    winapi::Dsound().normalOnly = true;
    EXPECT_NE(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_NORMAL), DS_OK);
    IDirectSound* other = nullptr;
    winapi::Dsound().failCoCreate = true;
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                                        reinterpret_cast<void**>(&other))));
    EXPECT_EQ(other, nullptr);
    winapi::Dsound().failCoCreate = false;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                               reinterpret_cast<void**>(&other)),
              S_OK);
    winapi::Dsound().failInitialize = true;
    EXPECT_EQ(other->Initialize(nullptr), DSERR_NODRIVER);
    winapi::Dsound().failInitialize = false;
    const GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(other->Initialize(&unknown), DSERR_NODRIVER);
    other->Release();
    EXPECT_NE(CoCreateInstance(IID_IDirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                               reinterpret_cast<void**>(&other)),
              S_OK);
}

TEST_F(DsoundTest, EnumerationListsThePrimaryDriverAndTheOutput)
{
    HMODULE dll = LoadLibraryA("DSOUND.DLL");
    ASSERT_TRUE(dll);
    using Enumerate = HRESULT(WINAPI*)(LPDSENUMCALLBACKA, LPVOID);
    auto enumerate = reinterpret_cast<Enumerate>(GetProcAddress(dll, "DirectSoundEnumerateA"));
    ASSERT_TRUE(enumerate);
    struct Entry {
        bool hasGuid;
        GUID guid;
        std::string description;
    };
    std::vector<Entry> entries;
    auto callback = [](GUID* guid, LPCSTR description, LPCSTR, LPVOID context) -> BOOL {
        static_cast<std::vector<Entry>*>(context)->push_back(
            Entry{guid != nullptr, guid ? *guid : GUID{}, description});
        return TRUE;
    };
    ASSERT_EQ(enumerate(callback, &entries), DS_OK);
    FreeLibrary(dll);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(entries[0].hasGuid);
    EXPECT_EQ(entries[0].description, "Primary Sound Driver");
    ASSERT_TRUE(entries[1].hasGuid);
    IDirectSound* other = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                               reinterpret_cast<void**>(&other)),
              S_OK);
    EXPECT_EQ(other->Initialize(&entries[1].guid), DS_OK);
    other->Release();
}

TEST_F(DsoundTest, DroppedOutputKeepsTimeMovingAndComesBack)
{
    auto* b = Make(Pcm(44100, 1, 16), Ramp16(441, 1));
    b->Play(0, 0, 0);
    winapi::DsoundDropOutput();
    winapi::AdvanceVirtualClock(20);
    EXPECT_TRUE(Mixed().empty());
    DWORD status = 1;
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u); // the one-shot ended while nothing was heard
    winapi::DsoundReturnOutput();
    winapi::AdvanceVirtualClock(20);
    EXPECT_EQ(Mixed().size(), 882u * 2);
}

TEST_F(DsoundTest, ReleasedDeviceWritesItsRecordingToTheWavFile)
{
    const std::string path = ::testing::TempDir() + "dsound_record_" + std::to_string(getpid()) + ".wav";
    // The device opens its file when it starts.
    ds->Release();
    setenv("TESSARO_AUDIO_WAV", path.c_str(), 1);
    ReopenDevice();
    auto* b = Make(Pcm(44100, 2, 16), Ramp16(441, 2));
    b->Play(0, 0, DSBPLAY_LOOPING);
    winapi::AdvanceVirtualClock(10);
    for (auto* x : buffers)
        x->Release();
    buffers.clear();
    ds->Release();
    ds = nullptr;
    unsetenv("TESSARO_AUDIO_WAV");
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 44u + 441 * 4);
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF");
    const auto ramp = Ramp16(441, 2);
    EXPECT_EQ(std::memcmp(bytes.data() + 44, ramp.data(), ramp.size()), 0);
    std::remove(path.c_str());
}

// Without a reader in the process the mix is not kept in memory (an endless headless game grew by
// 176 KB a virtual second); TESSARO_AUDIO_WAV gets it as it is mixed, not only at the end.
TEST_F(DsoundTest, UnkeptRecordingStreamsToTheWavFile)
{
    const std::string path = ::testing::TempDir() + "dsound_stream_" + std::to_string(getpid()) + ".wav";
    ds->Release();
    setenv("TESSARO_AUDIO_WAV", path.c_str(), 1);
    winapi::DsoundKeepRecording(false);
    ReopenDevice();
    winapi::DsoundKeepRecording(true);
    unsetenv("TESSARO_AUDIO_WAV");
    auto* b = Make(Pcm(44100, 2, 16), Ramp16(441, 2));
    b->Play(0, 0, DSBPLAY_LOOPING);
    winapi::AdvanceVirtualClock(10);
    EXPECT_TRUE(winapi::DsoundRecorded().samples.empty());
    auto read = [&path] {
        std::ifstream f(path, std::ios::binary);
        return std::vector<char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read().size(), 44u + 441 * 4);  // on disk while the device lives
    for (auto* x : buffers)
        x->Release();
    buffers.clear();
    ds->Release();
    ds = nullptr;
    const std::vector<char> bytes = read();
    ASSERT_EQ(bytes.size(), 44u + 441 * 4);
    auto u32 = [&bytes](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                     static_cast<uint8_t>(bytes[at + 2]) << 16 |
                                     static_cast<uint8_t>(bytes[at + 3]) << 24);
    };
    EXPECT_EQ(u32(4), 36u + 441 * 4);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(40), 441u * 4);
    const auto ramp = Ramp16(441, 2);
    EXPECT_EQ(std::memcmp(bytes.data() + 44, ramp.data(), ramp.size()), 0);
    std::remove(path.c_str());
}

TEST_F(DsoundTest, SdlDiskOutputHoldsTheMix)
{
    const std::string path = ::testing::TempDir() + "dsound_disk_" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    winapi::SetDsoundOutput(winapi::DsoundOutput::Sdl);
    IDirectSound* sdl = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                               reinterpret_cast<void**>(&sdl)),
              S_OK);
    ASSERT_EQ(sdl->Initialize(nullptr), DS_OK);
    ASSERT_EQ(sdl->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
    std::vector<int16_t> ramp(4410 * 2);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(1 + i % 3000);
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    DSBUFFERDESC desc{sizeof(desc), 0, static_cast<DWORD>(ramp.size() * 2), 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(sdl->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    void* p = nullptr;
    DWORD n = 0;
    b->Lock(0, desc.dwBufferBytes, &p, &n, nullptr, nullptr, 0);
    std::memcpy(p, ramp.data(), n);
    b->Unlock(p, n, nullptr, 0);
    b->Play(0, 0, 0);
    for (int i = 0; i < 400; ++i) {
        DWORD status = 0;
        b->GetStatus(&status);
        if (!status)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The mix runs up to two periods ahead of the output: let those reach the file.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    b->Release();
    sdl->Release();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    std::ifstream in(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    std::vector<int16_t> got(raw.size() / 2);
    std::memcpy(got.data(), raw.data(), got.size() * 2);
    // SDL writes silence whenever the queue runs dry (a loaded machine delays the mixing thread);
    // the ramp holds no zero sample, so what remains without the silence is exactly the ramp.
    got.erase(std::remove(got.begin(), got.end(), int16_t{0}), got.end());
    ASSERT_GE(got.size(), ramp.size());
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), got.begin()));
}
