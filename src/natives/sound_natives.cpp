#include "natives/sound_natives.h"

#include <algorithm>
#include <string>

#include "files/sll_manager.h"
#include "files/wav_export.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_host.h"
#include "platform/app_config.h"
#include "platform/timer_manager.h"
#include "sound/loaded_sound.h"
#include "sound/sound_device.h"
#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"
#include "sound/stream_sound.h"

namespace {

constexpr uint32_t kNoFile = 65535;
// More channels than any game uses; a larger count is refused before anything is allocated.
constexpr int32_t kMaxChannels = 1024;
// The plug-ins' argument block: at most this many words follow the type.
constexpr uint32_t kMaxAssistWords = 16;

uint32_t Code(int value)
{
    return static_cast<uint32_t>(value);
}

template <class T>
T* Sound(SobNativeArgs& args, uint32_t k = 0)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t handle = args.U32(k);
    if (args.Faulted() || host == nullptr)
        return nullptr;
    return host->Object<T>(handle);
}

// The handle keeps the object's own kind, so that loaded-only natives find it.
template <class T>
uint32_t Handle(SobNativeArgs& args, T* sound)
{
    CScriptHostBase* host = NativeHost(args);
    return sound != nullptr && host != nullptr ? host->ObjectHandle(sound) : 0;
}

// Word k as a path inside the host's roots → false for null, a bad address (the call marked) or
// a path outside every root.
bool RootedPath(SobNativeArgs& args, uint32_t k, std::string* path)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    if (args.Faulted() || name == nullptr || host == nullptr)
        return false;
    return host->ResolveScriptPath(name, path);
}

// Where the free sounds fade: the application's task list, else the sound manager's.
CTimerManager* FadeTasks()
{
    if (g_pTaskList != nullptr)
        return g_pTaskList;
    return g_pSoundManager != nullptr ? g_pSoundManager->GetTaskScheduler() : nullptr;
}

CTimerManager* MusicTasks()
{
    return g_pSoundManager != nullptr ? g_pSoundManager->GetTaskScheduler() : nullptr;
}

uint8_t KindBit(int32_t kind)
{
    return kind == 0 ? 1 : kind == 1 ? 2 : kind == 2 ? 4 : 0;
}

// A file and its loop part (65535: none) as the manager's (main, intro): with a loop part the
// file is the intro and the loop part the piece that loops.
struct MusicNames {
    const char* main = nullptr;
    const char* intro = nullptr;
    bool noLoopPart = false;
};

MusicNames ReadMusicNames(SobNativeArgs& args, uint32_t fileWord, uint32_t loopWord)
{
    MusicNames names;
    const char* file = NativeOptionalString(args, fileWord);
    names.noLoopPart = args.U32(loopWord) == kNoFile;
    const char* loopPart = names.noLoopPart ? nullptr : NativeOptionalString(args, loopWord);
    if (loopPart != nullptr) {
        names.main = loopPart;
        names.intro = file;
    } else {
        names.main = file;
    }
    return names;
}

} // namespace

uint32_t NativeSoundStreamOff(SobNativeArgs& args)
{
    const uint8_t value = static_cast<uint8_t>(args.U32(0));
    if (args.Faulted() || g_pSllManager == nullptr)
        return 0;
    if (value <= 1)
        g_pSllManager->SetStreamOff(value != 0);
    else
        g_pSllManager->SetStreamOff(g_pGameApp != nullptr && g_pGameApp->GetStreamOffDefault());
    return 0;
}

// Plug-ins run code: only files and folders in the roots load (elsewhere a bad path).
uint32_t NativeSoundLoadPlugin(SobNativeArgs& args)
{
    std::string path;
    const bool rooted = RootedPath(args, 0, &path);
    if (args.Faulted() || g_pSllManager == nullptr)
        return SLL_FAILED;
    return rooted ? Code(g_pSllManager->LoadPlugin(path.c_str())) : 1;
}

uint32_t NativeSoundLoadFolder(SobNativeArgs& args)
{
    std::string path;
    const bool rooted = RootedPath(args, 0, &path);
    if (args.Faulted() || g_pSllManager == nullptr || !rooted)
        return Code(-1);
    return Code(g_pSllManager->LoadFolder(path.c_str()));
}

uint32_t NativeSoundUnload(SobNativeArgs& args)
{
    const int32_t type = args.I32(0);
    if (args.Faulted() || g_pSllManager == nullptr)
        return 0;
    if (type == -1)
        g_pSllManager->UnloadAll();
    else
        g_pSllManager->UnloadType(static_cast<DWORD>(type));
    return 0;
}

// The words after the type go to the plug-in as a block of 16 (those past script memory read
// as 0); what it writes comes back to the words that lie in memory.
uint32_t NativeSoundAssist(SobNativeArgs& args)
{
    const DWORD type = args.U32(0);
    if (args.Faulted())
        return 0;
    PluginAssistFunc assist = g_pSllManager != nullptr ? g_pSllManager->GetAssistFunc2ByType(type) : nullptr;
    if (assist == nullptr)
        return Code(-2);
    uint32_t block[kMaxAssistWords] = {};
    bool present[kMaxAssistWords] = {};
    for (uint32_t i = 0; i < kMaxAssistWords; ++i) {
        const uint64_t at = static_cast<uint64_t>(args.Address()) + 4 * (i + 1);
        present[i] = at <= UINT32_MAX - 3 && args.Memory().Load32(static_cast<uint32_t>(at), &block[i]);
    }
    const DWORD result = assist(block);
    for (uint32_t i = 0; i < kMaxAssistWords; ++i)
        if (present[i])
            args.Memory().Store32(args.Address() + 4 * (i + 1), block[i]);
    return result;
}

uint32_t NativeSoundClear(SobNativeArgs&)
{
    if (g_pSoundList != nullptr)
        g_pSoundList->ClearSounds();
    return 0;
}

uint32_t NativeSoundCreate(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const int32_t mode = args.I32(1);
    if (args.Faulted() || g_pSoundList == nullptr || name == nullptr)
        return 0;
    CLoadedSound* sound = nullptr;
    g_pSoundList->CreateSound(&sound, name, mode);
    return Handle(args, sound);
}

uint32_t NativeSoundCopy(SobNativeArgs& args)
{
    CSoundBuffer* source = Sound<CSoundBuffer>(args);
    if (args.Faulted() || source == nullptr || g_pSoundList == nullptr)
        return 0;
    if (source->IsStreamed())
        return 2;
    CLoadedSound* sound = nullptr;
    g_pSoundList->CreateSoundCopy(&sound, static_cast<CLoadedSound*>(source));
    return Handle(args, sound);
}

uint32_t NativeSoundStream(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    if (args.Faulted() || g_pSoundList == nullptr || name == nullptr)
        return 0;
    CStreamSound* sound = nullptr;
    g_pSoundList->CreateStream(&sound, name, nullptr);
    return Handle(args, sound);
}

uint32_t NativeSoundStreamLoop(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const char* loopName = NativeOptionalString(args, 1);
    if (args.Faulted() || g_pSoundList == nullptr || name == nullptr)
        return 0;
    CStreamSound* sound = nullptr;
    g_pSoundList->CreateStream(&sound, name, loopName);
    return Handle(args, sound);
}

uint32_t NativeSoundDestroy(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t cell = args.U32(0);
    uint32_t handle = 0;
    if (args.Faulted())
        return 0;
    if (!args.Memory().Load32(cell, &handle)) {
        args.MarkFault();
        return 0;
    }
    if (handle == 0)
        return 1;
    CSoundBuffer* sound = host != nullptr ? host->Object<CSoundBuffer>(handle) : nullptr;
    if (sound == nullptr || g_pSoundList == nullptr)
        return 2;
    const int result = g_pSoundList->DestroySound(sound);
    if (result == 0)
        args.Memory().Store32(cell, 0);
    return Code(result);
}

#define TESSARO_SOUND_CALL(NAME, CALL, NULL_RESULT)       \
    uint32_t NAME(SobNativeArgs& args)                    \
    {                                                     \
        CSoundBuffer* sound = Sound<CSoundBuffer>(args);  \
        if (sound == nullptr)                             \
            return Code(NULL_RESULT);                     \
        return Code(static_cast<int>(sound->CALL));       \
    }

TESSARO_SOUND_CALL(NativeSoundPlay, Play(), -1)
TESSARO_SOUND_CALL(NativeSoundPlayLooped, PlayLooped(), -1)
TESSARO_SOUND_CALL(NativeSoundPause, Pause(), -1)
TESSARO_SOUND_CALL(NativeSoundResume, Resume(), -1)
TESSARO_SOUND_CALL(NativeSoundStop, Stop(), -1)
#undef TESSARO_SOUND_CALL

uint32_t NativeSoundFadeIn(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const uint32_t duration = args.U32(1);
    const bool looped = args.U32(2) != 0;
    if (args.Faulted() || sound == nullptr)
        return Code(-2);
    return Code(sound->FadeIn(FadeTasks(), duration, looped));
}

uint32_t NativeSoundFadeOut(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const uint32_t duration = args.U32(1);
    if (args.Faulted() || sound == nullptr)
        return Code(-2);
    return Code(sound->FadeOut(FadeTasks(), duration));
}

uint32_t NativeSoundPauseAll(SobNativeArgs&)
{
    if (g_pSoundList != nullptr)
        g_pSoundList->PauseAllSounds();
    return 0;
}

uint32_t NativeSoundResumeAll(SobNativeArgs&)
{
    if (g_pSoundList != nullptr)
        g_pSoundList->ResumeAllSounds();
    return 0;
}

uint32_t NativeSoundStopAll(SobNativeArgs&)
{
    if (g_pSoundList != nullptr)
        g_pSoundList->StopAllSounds();
    return 0;
}

uint32_t NativeSoundSetPosition(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const uint32_t ms = args.U32(1);
    if (args.Faulted() || sound == nullptr)
        return Code(-1);
    return Code(sound->SetPositionMs(ms));
}

uint32_t NativeSoundGetFormat(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    if (!NativeOutCellsOk(args, 1, 3) || sound == nullptr)
        return Code(-1);
    int channels = 0, rate = 0, bits = 0;
    const int result = sound->GetFormat(&channels, &rate, &bits);
    NativeStoreOutCell(args, 1, Code(channels));
    NativeStoreOutCell(args, 2, Code(rate));
    NativeStoreOutCell(args, 3, Code(bits));
    return Code(result);
}

uint32_t NativeSoundLength(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    return sound != nullptr ? sound->GetLengthMs() : 0;
}

uint32_t NativeSoundPosition(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    return sound != nullptr ? sound->GetPositionMs() : 0;
}

uint32_t NativeSoundIsPlaying(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    if (!NativeOutCellsOk(args, 1, 2) || sound == nullptr)
        return 0;
    DWORD play = 0, write = 0;
    const bool playing = sound->IsPlaying(&play, &write);
    NativeStoreOutCell(args, 1, play);
    NativeStoreOutCell(args, 2, write);
    return playing ? 1 : 0;
}

uint32_t NativeSoundSetVolume(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const int32_t volume = args.I32(1);
    if (args.Faulted() || sound == nullptr)
        return Code(-2);
    return Code(sound->SetVolume(volume));
}

uint32_t NativeSoundSetPan(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const int32_t pan = args.I32(1);
    if (args.Faulted() || sound == nullptr)
        return Code(-1);
    return Code(sound->SetPan(pan));
}

uint32_t NativeSoundSetFrequency(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const uint32_t hz = args.U32(1);
    if (args.Faulted() || sound == nullptr)
        return Code(-1);
    return Code(sound->SetFrequency(hz));
}

uint32_t NativeSoundChange(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    const int32_t volume = args.I32(1), pan = args.I32(2), frequency = args.I32(3);
    if (args.Faulted() || sound == nullptr)
        return Code(-1);
    return Code(sound->ChangeVolPanFreq(volume, pan, frequency));
}

uint32_t NativeSoundVolPanFreq(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    if (!NativeOutCellsOk(args, 1, 3) || sound == nullptr)
        return Code(-1);
    int32_t volume = 0;
    LONG pan = 0;
    DWORD frequency = 0;
    const int result = sound->GetVolPanFreq(&volume, &pan, &frequency);
    NativeStoreOutCell(args, 1, Code(volume));
    NativeStoreOutCell(args, 2, Code(pan));
    NativeStoreOutCell(args, 3, frequency);
    return Code(result);
}

uint32_t NativeSoundDataBytes(SobNativeArgs& args)
{
    CSoundBuffer* sound = Sound<CSoundBuffer>(args);
    return sound != nullptr ? sound->GetDataBytes() : 0;
}

// Streams and other words answer 0.
uint32_t NativeSoundSample(SobNativeArgs& args)
{
    CLoadedSound* sound = Sound<CLoadedSound>(args);
    const uint32_t offset = args.U32(1);
    if (args.Faulted() || sound == nullptr)
        return 0;
    return Code(sound->GetSample(offset));
}

uint32_t NativeSoundLevel(SobNativeArgs& args)
{
    CLoadedSound* sound = Sound<CLoadedSound>(args);
    const uint32_t offset = args.U32(1), scale = args.U32(2);
    if (args.Faulted() || sound == nullptr)
        return 0;
    return sound->GetLevel(offset, scale);
}

// The WAV file must lie in the roots (elsewhere: 1, bad arguments).
uint32_t NativeSoundToWav(SobNativeArgs& args)
{
    const char* source = NativeOptionalString(args, 0);
    std::string destination;
    const bool rooted = RootedPath(args, 1, &destination);
    if (args.Faulted())
        return 0;
    if (source == nullptr || !rooted)
        return 1;
    return Code(ConvertSoundToWav(source, destination.c_str(), g_pSllManager));
}

uint32_t NativeSoundSetting(SobNativeArgs& args)
{
    const int32_t code = args.I32(0), a = args.I32(1), b = args.I32(2), c = args.I32(3), d = args.I32(4);
    CSoundPlayer* m = g_pSoundManager;
    if (args.Faulted() || m == nullptr)
        return 0;
    switch (code) {
    case 0: m->EnableMusic(a != 0, false); break;
    case 1: m->SetKindEnabled(a != 0, static_cast<uint8_t>(b), c != 0, d != 0); break;
    case 2:
        if (KindBit(a) != 0)
            m->SetKindEnabled(b != 0, KindBit(a), false, false);
        break;
    case 3:
        if (a == 0)
            m->m_defaultVolume1 = b;
        else if (a == 1)
            m->m_defaultVolume2 = b;
        else if (a == 2)
            m->m_defaultVolume4 = b;
        break;
    case 4:
        if (a == 0)
            m->SetEnableMask(static_cast<uint8_t>(b), c != 0);
        else if (a == 1)
            m->SetMasterVolume(b, c != 0);
        else if (a == 2)
            m->SetVoiceMasterVolume(b);
        break;
    default: break;
    }
    return 0;
}

uint32_t NativeSoundGetSetting(SobNativeArgs& args)
{
    const int32_t code = args.I32(0), a = args.I32(1);
    CSoundPlayer* m = g_pSoundManager;
    if (args.Faulted() || m == nullptr)
        return 0;
    switch (code) {
    case 0: return m->GetMusicEnabled();
    case 2: return KindBit(a) != 0 ? m->GetKindEnabled(KindBit(a)) : 0;
    case 3: return Code(a == 0 ? m->m_defaultVolume1 : a == 1 ? m->m_defaultVolume2 : a == 2 ? m->m_defaultVolume4 : 0);
    case 4: return Code(a == 0 ? m->GetMasterMask() : a == 1 ? m->GetMasterVolume() : a == 2 ? m->GetVoiceMasterVolume() : 0);
    default: return 0;
    }
}

uint32_t NativeSoundKindVolume(SobNativeArgs& args)
{
    const uint8_t kinds = static_cast<uint8_t>(args.U32(0));
    const bool loopsOnly = args.U32(1) != 0;
    const int32_t volume = args.I32(2);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->SetKindVolume(volume, loopsOnly, kinds);
    return 0;
}

// A scale the script sets ends the voice ducking.
uint32_t NativeMusicVolume(SobNativeArgs& args)
{
    const int32_t volume = args.I32(0), scale = args.I32(1);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->SetMusicVolume(volume, scale, true);
    return 0;
}

uint32_t NativeMusicPan(SobNativeArgs& args)
{
    const int32_t pan = args.I32(0);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->SetMusicPan(pan);
    return 0;
}

uint32_t NativeMusicPlay(SobNativeArgs& args)
{
    const MusicNames names = ReadMusicNames(args, 0, 1);
    const bool loop = names.noLoopPart || args.U32(2) != 0;
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 0;
    return Code(g_pSoundManager->PlayMusic(names.main, names.intro, loop));
}

uint32_t NativeMusicStop(SobNativeArgs&)
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->StopMusic();
    return 0;
}

uint32_t NativeMusicPause(SobNativeArgs&)
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->PauseMusic();
    return 0;
}

uint32_t NativeMusicResume(SobNativeArgs&)
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->ResumeMusic();
    return 0;
}

// The music and channel fades run on the manager's scheduler (the frame's task list the host
// gave it), where the manager cancels them.
uint32_t NativeMusicFade(SobNativeArgs& args)
{
    const int32_t target = args.I32(0);
    const uint32_t time = args.U32(1);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CMusicFadeTask::Start(MusicTasks(), g_pSoundManager, g_pSoundManager->GetActiveSlot(), target, time);
    return 0;
}

uint32_t NativeMusicFadeIn(SobNativeArgs& args)
{
    const uint32_t time = args.U32(0);
    const MusicNames names = ReadMusicNames(args, 1, 2);
    const bool loop = names.noLoopPart || args.U32(3) != 0;
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CMusicFadeInTask::Start(MusicTasks(), g_pSoundManager, g_pSoundManager->GetActiveSlot(), names.main,
                                names.intro, loop, time);
    return 0;
}

uint32_t NativeMusicFadeOut(SobNativeArgs& args)
{
    const uint32_t time = args.U32(0);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CMusicFadeOutTask::Start(MusicTasks(), g_pSoundManager, g_pSoundManager->GetActiveSlot(), time);
    return 0;
}

uint32_t NativeMusicCrossFade(SobNativeArgs& args)
{
    const uint32_t time = args.U32(0);
    const char* file = NativeOptionalString(args, 1);
    const bool defaults = args.U32(2) == kNoFile;
    const char* loopPart = defaults ? nullptr : NativeOptionalString(args, 3);
    const uint32_t overlapWord = args.U32(4);
    const int32_t value = args.I32(5);
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 0;
    const bool defaultOverlap = defaults || overlapWord == kNoFile;
    const char* main = loopPart != nullptr ? loopPart : file;
    const char* intro = loopPart != nullptr ? file : nullptr;
    CMusicCrossFadeTask::Start(MusicTasks(), g_pSoundManager, main, intro, defaultOverlap ? -1 : value, time,
                               defaultOverlap ? time : overlapWord);
    return 0;
}

uint32_t NativeMusicPlaying(SobNativeArgs&)
{
    return g_pSoundManager != nullptr && g_pSoundManager->IsMusicPlaying() ? 1 : 0;
}

uint32_t NativeMusicFadeState(SobNativeArgs&)
{
    return g_pSoundManager != nullptr ? g_pSoundManager->m_musicFadeState : 0;
}

// The slot as its index (0 or 1): engine addresses are no script addresses.
uint32_t NativeMusicActiveSlot(SobNativeArgs&)
{
    if (g_pSoundManager == nullptr)
        return 0;
    return g_pSoundManager->GetActiveSlot() < g_pSoundManager->GetOtherSlot() ? 0 : 1;
}

uint32_t NativeChannelCount(SobNativeArgs& args)
{
    const int32_t count = args.I32(0);
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 0;
    if (count < 1 || count > kMaxChannels)
        return 1;
    return Code(g_pSoundManager->SetChannelCount(count));
}

uint32_t NativeChannelVolume(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0), volume = args.I32(1), volume2 = args.I32(2);
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 1;
    return Code(g_pSoundManager->SetChannelVolume(channel, volume, volume2));
}

uint32_t NativeChannelPan(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0), pan = args.I32(1);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->SetChannelPan(channel, pan);
    return 0;
}

uint32_t NativeChannelKind(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    const uint8_t kind = static_cast<uint8_t>(args.U32(1));
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 1;
    return Code(g_pSoundManager->SetChannelKind(channel, kind));
}

namespace {

uint32_t ChannelLoad(SobNativeArgs& args, bool streamed)
{
    const int32_t channel = args.I32(0);
    const char* name = NativeOptionalString(args, 1);
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 1;
    return Code(g_pSoundManager->SetChannelSound(channel, name, 0, streamed));
}

} // namespace

uint32_t NativeChannelLoad(SobNativeArgs& args) { return ChannelLoad(args, false); }
uint32_t NativeChannelLoadStream(SobNativeArgs& args) { return ChannelLoad(args, true); }

uint32_t NativeChannelRelease(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->ReleaseChannel(channel);
    return 0;
}

uint32_t NativeChannelStart(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    const bool loop = args.U32(1) != 0;
    if (args.Faulted() || g_pSoundManager == nullptr)
        return 0;
    return Code(g_pSoundManager->StartChannel(channel, loop));
}

uint32_t NativeChannelStop(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        g_pSoundManager->StopChannel(channel);
    return 0;
}

uint32_t NativeChannelFade(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0), target = args.I32(1);
    const uint32_t time = args.U32(2);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CChannelFadeTask::Start(MusicTasks(), g_pSoundManager, channel, target, time);
    return 0;
}

// Without the load flag the channel's present sound fades in.
uint32_t NativeChannelFadeIn(SobNativeArgs& args)
{
    const uint32_t time = args.U32(0);
    const int32_t channel = args.I32(1);
    const bool load = args.U32(3) != 0;
    const char* name = load ? NativeOptionalString(args, 2) : nullptr;
    const bool loop = args.U32(4) != 0;
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CChannelFadeInTask::Start(MusicTasks(), g_pSoundManager, name, channel, loop, time);
    return 0;
}

uint32_t NativeChannelFadeOut(SobNativeArgs& args)
{
    const uint32_t time = args.U32(0);
    const int32_t channel = args.I32(1);
    if (!args.Faulted() && g_pSoundManager != nullptr)
        CChannelFadeOutTask::Start(MusicTasks(), g_pSoundManager, channel, time);
    return 0;
}

uint32_t NativeChannelPlaying(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    return !args.Faulted() && g_pSoundManager != nullptr && g_pSoundManager->IsChannelPlaying(channel) ? 1 : 0;
}

uint32_t NativeChannelFading(SobNativeArgs& args)
{
    const int32_t channel = args.I32(0);
    return !args.Faulted() && g_pSoundManager != nullptr && g_pSoundManager->GetChannelFadeFlag(channel) != 0 ? 1 : 0;
}

// The channel's sound as a handle, else its sound name by mirror.
uint32_t NativeChannelSound(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t channel = args.I32(0);
    if (args.Faulted() || g_pSoundManager == nullptr || host == nullptr)
        return 0;
    CSoundChannel* record = g_pSoundManager->GetChannelRecord(channel);
    if (record == nullptr)
        return 0;
    if (record->current != nullptr)
        return host->ObjectHandle(record->current);
    return host->MirrorString(&record->streamName, record->streamName.c_str());
}

// Word 2 counts the characters that follow (at most 16, each read before the voice plays).
uint32_t NativeVoicePlay(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const int32_t channel = args.I32(1);
    const uint32_t count = std::min<uint32_t>(args.U32(2), kMaxAssistWords);
    int32_t characters[kMaxAssistWords] = {};
    for (uint32_t i = 0; i < count; ++i)
        characters[i] = args.I32(3 + i);
    if (args.Faulted())
        return 0;
    if (g_pSoundManager == nullptr)
        return Code(-5);
    return Code(g_pSoundManager->PlayVoice(channel, name, static_cast<int32_t>(count), characters));
}

// Ratio 0 takes the settings' level for the music under a voice (50: half).
uint32_t NativeVoiceDucking(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t hundredths = args.I32(0), channel = args.I32(1);
    if (args.Faulted() || g_pSoundManager == nullptr || host == nullptr)
        return 0;
    double ratio = hundredths * 0.01;
    if (hundredths == 0) {
        const int32_t setting = g_pAppConfig != nullptr ? g_pAppConfig->bgmLevelForVoice : 50;
        ratio = setting == 50 ? -1.0 : setting * 0.01;
    }
    CTimerManager* tasks = MusicTasks();
    if (g_pSoundManager->StartVoiceDucking(tasks, channel, ratio) != 0 || tasks == nullptr)
        return 0;
    return host->ObjectHandle(tasks->FindKind(kMusicDuckKind));
}
