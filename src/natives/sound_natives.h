// Natives of the group "sound and system" (439, 597-631, 652-684): the sound decoders, the free
// sound objects of g_pSoundList, and the host's sound manager (music, channels, fades, voices).
#pragma once

#include "script/sob_native_args.h"

// 597-601: g_pSllManager.
uint32_t NativeSoundStreamOff(SobNativeArgs& args);
uint32_t NativeSoundLoadPlugin(SobNativeArgs& args);
uint32_t NativeSoundLoadFolder(SobNativeArgs& args);
uint32_t NativeSoundUnload(SobNativeArgs& args);
uint32_t NativeSoundAssist(SobNativeArgs& args);
// 602-631 (and 439, the same as 622): the sound list and its objects.
uint32_t NativeSoundClear(SobNativeArgs& args);
uint32_t NativeSoundCreate(SobNativeArgs& args);
uint32_t NativeSoundCopy(SobNativeArgs& args);
uint32_t NativeSoundStream(SobNativeArgs& args);
uint32_t NativeSoundStreamLoop(SobNativeArgs& args);
uint32_t NativeSoundDestroy(SobNativeArgs& args);
uint32_t NativeSoundPlay(SobNativeArgs& args);
uint32_t NativeSoundPlayLooped(SobNativeArgs& args);
uint32_t NativeSoundPause(SobNativeArgs& args);
uint32_t NativeSoundResume(SobNativeArgs& args);
uint32_t NativeSoundStop(SobNativeArgs& args);
uint32_t NativeSoundFadeIn(SobNativeArgs& args);
uint32_t NativeSoundFadeOut(SobNativeArgs& args);
uint32_t NativeSoundPauseAll(SobNativeArgs& args);
uint32_t NativeSoundResumeAll(SobNativeArgs& args);
uint32_t NativeSoundStopAll(SobNativeArgs& args);
uint32_t NativeSoundSetPosition(SobNativeArgs& args);
uint32_t NativeSoundGetFormat(SobNativeArgs& args);
uint32_t NativeSoundLength(SobNativeArgs& args);
uint32_t NativeSoundPosition(SobNativeArgs& args);
uint32_t NativeSoundIsPlaying(SobNativeArgs& args);
uint32_t NativeSoundSetVolume(SobNativeArgs& args);
uint32_t NativeSoundSetPan(SobNativeArgs& args);
uint32_t NativeSoundSetFrequency(SobNativeArgs& args);
uint32_t NativeSoundChange(SobNativeArgs& args);
uint32_t NativeSoundVolPanFreq(SobNativeArgs& args);
uint32_t NativeSoundDataBytes(SobNativeArgs& args);
uint32_t NativeSoundSample(SobNativeArgs& args);
uint32_t NativeSoundLevel(SobNativeArgs& args);
uint32_t NativeSoundToWav(SobNativeArgs& args);
// 652-684: g_pSoundManager.
uint32_t NativeSoundSetting(SobNativeArgs& args);
uint32_t NativeSoundGetSetting(SobNativeArgs& args);
uint32_t NativeSoundKindVolume(SobNativeArgs& args);
uint32_t NativeMusicVolume(SobNativeArgs& args);
uint32_t NativeMusicPan(SobNativeArgs& args);
uint32_t NativeMusicPlay(SobNativeArgs& args);
uint32_t NativeMusicStop(SobNativeArgs& args);
uint32_t NativeMusicPause(SobNativeArgs& args);
uint32_t NativeMusicResume(SobNativeArgs& args);
uint32_t NativeMusicFade(SobNativeArgs& args);
uint32_t NativeMusicFadeIn(SobNativeArgs& args);
uint32_t NativeMusicFadeOut(SobNativeArgs& args);
uint32_t NativeMusicCrossFade(SobNativeArgs& args);
uint32_t NativeMusicPlaying(SobNativeArgs& args);
uint32_t NativeMusicFadeState(SobNativeArgs& args);
uint32_t NativeMusicActiveSlot(SobNativeArgs& args);
uint32_t NativeChannelCount(SobNativeArgs& args);
uint32_t NativeChannelVolume(SobNativeArgs& args);
uint32_t NativeChannelPan(SobNativeArgs& args);
uint32_t NativeChannelKind(SobNativeArgs& args);
uint32_t NativeChannelLoad(SobNativeArgs& args);
uint32_t NativeChannelLoadStream(SobNativeArgs& args);
uint32_t NativeChannelRelease(SobNativeArgs& args);
uint32_t NativeChannelStart(SobNativeArgs& args);
uint32_t NativeChannelStop(SobNativeArgs& args);
uint32_t NativeChannelFade(SobNativeArgs& args);
uint32_t NativeChannelFadeIn(SobNativeArgs& args);
uint32_t NativeChannelFadeOut(SobNativeArgs& args);
uint32_t NativeChannelPlaying(SobNativeArgs& args);
uint32_t NativeChannelFading(SobNativeArgs& args);
uint32_t NativeChannelSound(SobNativeArgs& args);
uint32_t NativeVoicePlay(SobNativeArgs& args);
uint32_t NativeVoiceDucking(SobNativeArgs& args);
