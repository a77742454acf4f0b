// The sound device: creation codes, the primary format, the sound list and the enumeration.
#include "sound/loaded_sound.h"
#include "sound/stream_sound.h"

#include "sound_support.h"

using soundtest::Counter;
using soundtest::SoundTest;

TEST_F(SoundTest, CreateDeviceReportsEachFailure)
{
    struct Case {
        const char* name;
        winapi::DsoundSwitches switches;
        HWND window;
        int want;
    };
    const Case cases[] = {
        {"no DirectSound object", {false, false, true, false, false}, reinterpret_cast<HWND>(1), 2},
        {"Initialize refused", {false, false, false, true, false}, reinterpret_cast<HWND>(1), 3},
        {"no cooperative level", {}, nullptr, 4},
        {"no silence buffer", {true, false, false, false, false}, reinterpret_cast<HWND>(1), 5},
        {"normal level only", {false, true, false, false, false}, reinterpret_cast<HWND>(1), 0},
    };
    for (const Case& c : cases) {
        winapi::Dsound() = c.switches;
        CSoundDevice d;
        EXPECT_EQ(d.CreateDevice(c.window, true, false, nullptr), c.want) << c.name;
        EXPECT_EQ(d.GetDirectSound() != nullptr, c.want == 0) << c.name;
    }
}

TEST_F(SoundTest, PrimaryFormatMapsRateCodes)
{
    EXPECT_EQ(device->SetPrimaryFormat(reinterpret_cast<HWND>(1), false, false, nullptr, 2, 44, 16), 0);
    EXPECT_EQ(winapi::DsoundRecorded().rate, 44100u);
    EXPECT_EQ(device->SetPrimaryFormat(reinterpret_cast<HWND>(1), false, false, nullptr, 1, 22, 16), 0);
    winapi::AdvanceVirtualClock(10);
    EXPECT_EQ(winapi::DsoundRecorded().rate, 22050u);
    EXPECT_EQ(winapi::DsoundRecorded().channels, 1);
    // 48 is taken as 48 Hz, which no output takes.
    EXPECT_EQ(device->SetPrimaryFormat(reinterpret_cast<HWND>(1), false, false, nullptr, 2, 48, 16), -2);
    winapi::Dsound().normalOnly = true;
    CSoundDevice normal;
    EXPECT_EQ(normal.SetPrimaryFormat(reinterpret_cast<HWND>(1), false, false, nullptr, 2, 44, 16), -1);
    EXPECT_EQ(normal.GetPrimaryBuffer(), nullptr);
    EXPECT_EQ(normal.GetCooperativeLevel(), static_cast<DWORD>(DSSCL_NORMAL));
}

TEST_F(SoundTest, SoundListOwnsWhatItMakes)
{
    Write("a.cnt", Counter{});
    CLoadedSound* a = nullptr;
    CLoadedSound* copy = nullptr;
    CStreamSound* stream = nullptr;
    EXPECT_EQ(device->CreateSound(&a, "missing.cnt", 0), 2);
    EXPECT_EQ(a, nullptr);
    ASSERT_EQ(device->CreateSound(&a, "a.cnt", 0), 0);
    ASSERT_EQ(device->CreateSoundCopy(&copy, a), 0);
    ASSERT_EQ(device->CreateStream(&stream, "a.cnt", nullptr), 0);
    ASSERT_EQ(device->GetSounds().size(), 3u);
    a->Play();
    copy->PlayLooped();
    device->PauseAllSounds();
    EXPECT_FALSE(a->IsPlaying(nullptr, nullptr));
    device->ResumeAllSounds();
    EXPECT_TRUE(copy->IsPlaying(nullptr, nullptr));
    device->StopAllSounds();
    EXPECT_FALSE(copy->IsPlaying(nullptr, nullptr));
    CLoadedSound stranger;
    EXPECT_EQ(device->DestroySound(nullptr), 1);
    EXPECT_EQ(device->DestroySound(&stranger), 2);
    EXPECT_EQ(device->DestroySound(copy), 0);
    EXPECT_EQ(device->GetSounds().size(), 2u);
    device->ClearSounds();
    EXPECT_TRUE(device->GetSounds().empty());
}

TEST_F(SoundTest, EnumerationListsThePrimaryDriverFirst)
{
    ASSERT_EQ(EnumerateSoundDevices(), 0);
    ASSERT_NE(g_pSoundDeviceList, nullptr);
    EXPECT_EQ(g_pSoundDeviceList->pGuid, nullptr);
    EXPECT_EQ(g_pSoundDeviceList->description, "Primary Sound Driver");
    ASSERT_NE(g_pSoundDeviceList->next, nullptr);
    const SoundDeviceRecord* output = g_pSoundDeviceList->next;
    EXPECT_EQ(output->pGuid, &output->guid);
    CSoundDevice d;
    EXPECT_EQ(d.CreateDevice(reinterpret_cast<HWND>(1), false, false, output->pGuid), 0);
    FreeSoundDeviceList();
    EXPECT_EQ(g_pSoundDeviceList, nullptr);
}
