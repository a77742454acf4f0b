#include "natives/native_table.h"

#include <array>
#include <cstdio>
#include <utility>

#include "natives/app_state_natives.h"
#include "natives/file_natives.h"
#include "natives/input_natives.h"
#include "natives/movie_natives.h"
#include "natives/plugin_natives.h"
#include "natives/request_natives.h"
#include "natives/sound_natives.h"
#include "natives/stream_natives.h"
#include "natives/string_natives.h"
#include "natives/tgs_natives.h"
#include "natives/transfer_natives.h"
#include "natives/variable_file_natives.h"

namespace {

// The groups by number range, as scripts number them.
struct GroupRange {
    uint16_t first, last;
    const char* group;
};

constexpr GroupRange kGroups[] = {
    {0, 2, "script transfer"},
    {3, 38, "application state"},
    {39, 54, "interrupt and save data"},
    {55, 56, "no-op"},
    {57, 58, "interrupt and save data"},
    {59, 165, "strings, heap, random, files"},
    {166, 316, "fonts, surfaces, scene objects"},
    {317, 438, "drawing"},
    {439, 439, "sound and system"},
    {440, 465, "drawing"},
    {466, 509, "script text"},
    {510, 540, "owned lists"},
    {541, 595, "time, input, desktop"},
    {596, 631, "sound and system"},
    {632, 651, "movie"},
    {652, 684, "sound and system"},
    {685, 790, "form, controls, text objects"},
    {791, 794, "scenario frame"},
    {795, 795, "no-op"},
    {796, 799, "time, input, desktop"},
    {800, 801, "no-op"},
    {802, 808, "time, input, desktop"},
};

// The natives built so far; every other number gets its group's stub.
struct BuiltNative {
    uint16_t number;
    SobNative function;
};

constexpr BuiltNative kBuilt[] = {
    {0, NativeCallScript},
    {1, NativeJumpScript},
    {2, NativeReturnScript},
    {3, NativeScreenModeMenu},
    {4, NativeSetEngineOption},
    {5, NativeGetEngineOption},
    {6, NativeFrameState},
    {7, NativeAppString},
    {8, NativeSetSetting},
    {9, NativeGetSetting},
    {10, NativeSetVoiceEntry},
    {11, NativeGetVoiceEntry},
    {12, NativeApplyTextSettings},
    {13, NativeSetScreenMode},
    {14, NativeSetScriptFlag},
    {15, NativePushSyncOverride},
    {16, NativePopSyncOverride},
    {17, NativePushTimerOverride},
    {18, NativePopTimerOverride},
    {19, NativeLowerPriority},
    {20, NativeRestorePriority},
    {21, NativeApplyFrameTiming},
    {22, NativeFrameTimerValue},
    {23, NativeSetLateFrames},
    {24, NativeSystemMenu},
    {25, NativeDialogBusy},
    {26, NativeResetVariables},
    {27, NativeClearVariables},
    {28, NativeSnapshotVariables},
    {29, NativeRestoreSnapshot},
    {30, NativeSnapshotVariable},
    {31, NativeSaveVariableFile},
    {32, NativeReadVariableFileHeader},
    {33, NativeLoadVariableFile},
    {34, NativeSetPersistentFile},
    {35, NativeSavePersistent},
    {36, NativeLoadPersistent},
    {37, NativeNoOp},
    {38, NativeTakeNoticeFlag},
    {55, NativeNoOp},
    {56, NativeNoOp},
    {59, NativeStrCopy},
    {60, NativeStrCopyFrom},
    {61, NativeStrCopyUntil},
    {62, NativeStrCat},
    {63, NativeStrLen},
    {64, NativeStrCmp},
    {65, NativeStrCmpI},
    {66, NativeStrCompareAt},
    {67, NativeStrFormat},
    {68, NativeStrToInt},
    {69, NativeStrToFloat},
    {70, NativeStrUpper},
    {71, NativeStrLower},
    {72, NativeCopyToClipboard},
    {73, NativeInputText},
    {74, NativeSetInputText},
    {75, NativeHeapAlloc},
    {76, NativeHeapAllocZeroed},
    {77, NativeHeapFree},
    {78, NativeFillWords},
    {79, NativeFillBytes},
    {80, NativeCopyBytes},
    {81, NativeSin},
    {82, NativeCos},
    {83, NativeCirclePoint},
    {84, NativeRan3Draw},
    {85, NativeRan3Seed},
    {86, NativeTwisterDraw},
    {87, NativeTwisterSeed},
    {88, NativeFloatAdd},
    {89, NativeFloatSub},
    {90, NativeFloatMul},
    {91, NativeFloatDiv},
    {92, NativeArgMax},
    {93, NativeArgMin},
    {94, NativeSetBaseFolder},
    {95, NativeGetBaseFolder},
    {96, NativeAddSearchFolder},
    {97, NativeRemoveSearchFolder},
    {98, NativeGetSearchFolder},
    {99, NativeClearSearchFolders},
    {100, NativeFindFile},
    {101, NativeFindFileOnCd},
    {102, NativeGetFileSize},
    {103, NativeLoadDecoderPlugin},
    {104, NativeLoadDecoderFolder},
    {105, NativeUnloadDecoders},
    {106, NativeCallDecoder},
    {107, NativeMount},
    {108, NativeUnmount},
    {109, NativeGetMountCount},
    {110, NativeUnmountAll},
    {111, NativeGetMountEntryCount},
    {112, NativeGetMountEntryName},
    {113, NativeMountEntryInfo},
    {114, NativeQueryArchive},
    {115, NativeFindFileOrEntry},
    {116, NativeLoadSpiPlugin},
    {117, NativeLoadSpiFolder},
    {118, NativeCutLastPathComponent},
    {119, NativeGetFileName},
    {120, NativeSplitPath},
    {121, NativeGetFileExtension},
    {122, NativeStripExtension},
    {123, NativeSetCurrentFolder},
    {124, NativeStreamNew},
    {125, NativeStreamRelease},
    {126, NativeStreamReleaseAll},
    {127, NativeStreamOpenInMemory},
    {128, NativeStreamOpenEntry},
    {129, NativeStreamOpen},
    {130, NativeStreamCreate},
    {131, NativeStreamOpenReadWrite},
    {132, NativeStreamClose},
    {133, NativeStreamBuffer},
    {134, NativeStreamSize},
    {135, NativeStreamPath},
    {136, NativeStreamTell},
    {137, NativeStreamSeekSet},
    {138, NativeStreamSeekCurrent},
    {139, NativeStreamRead},
    {140, NativeStreamReadLine},
    {141, NativeStreamWrite},
    {142, NativeStreamPrintf},
    {143, NativeLoaderAlloc},
    {144, NativeLoaderStart},
    {145, NativeLoaderWait},
    {146, NativeLoaderClose},
    {147, NativeLoaderBuffer},
    {148, NativeLoaderSize},
    {149, NativeListFolder},
    {150, NativeListName},
    {151, NativeListSecondName},
    {152, NativeListAttributes},
    {153, NativeListTime},
    {154, NativeListClear},
    {155, NativeEnableDrops},
    {156, NativeDroppedFile},
    {157, NativeClearDrops},
    {158, NativeOpenFileDialog},
    {159, NativeSaveFileDialog},
    {160, NativeFolderDialog},
    {161, NativeRunProcess},
    {162, NativeMakeFolder},
    {163, NativeMoveFile},
    {164, NativeCopyFile},
    {165, NativeFileDateTime},
    {439, NativeSoundIsPlaying},
    {541, NativeTimeNow},
    {542, NativeLocalTime},
    {543, NativeTimersCreate},
    {544, NativeTimerReset},
    {545, NativeTimerElapsed},
    {546, NativeTimerSetElapsed},
    {547, NativeTimerPause},
    {548, NativeTimerResume},
    {549, NativeTimersPauseAll},
    {550, NativeTimersResumeAll},
    {551, NativeActionPushed},
    {552, NativeActionDown},
    {553, NativeActionFirstPushed},
    {554, NativeActionFirstDown},
    {555, NativeActionBind},
    {556, NativeActionUnbind},
    {557, NativeActionRebind},
    {558, NativeAction4Pushed},
    {559, NativeAction5Pushed},
    {560, NativeAction0Pushed},
    {561, NativeAction1Pushed},
    {562, NativeAction2Pushed},
    {563, NativeAction3Pushed},
    {564, NativeAction4Down},
    {565, NativeAction5Down},
    {566, NativeAction0Down},
    {567, NativeAction1Down},
    {568, NativeAction2Down},
    {569, NativeAction3Down},
    {570, NativeIsSkipKeyPushed},
    {571, NativeIsSkipKeyDown},
    {572, NativeKeyPushed},
    {573, NativeKeyDown},
    {574, NativeKeyScrollLock},
    {575, NativeKeyCapsLock},
    {576, NativeKeyNumLock},
    {577, NativeKeySetRepeat},
    {578, NativeKeyRepeated},
    {579, NativeCursorShape},
    {580, NativeCursorImage},
    {581, NativeShowCursorRequest},
    {582, NativeCursorPosition},
    {583, NativeSetCursorPosition},
    {584, NativeFrameActive},
    {585, NativeMouse0Pushed},
    {586, NativeMouse1Pushed},
    {587, NativeMouse2Pushed},
    {588, NativeMouse0Down},
    {589, NativeMouse1Down},
    {590, NativeMouse2Down},
    {591, NativeMouseWheelUp},
    {592, NativeMouseWheelDown},
    {593, NativeJoystickButtons},
    {594, NativeJoystickPushed},
    {595, NativeJoystickDown},
    {596, NativeSoundFormat},
    {597, NativeSoundStreamOff},
    {598, NativeSoundLoadPlugin},
    {599, NativeSoundLoadFolder},
    {600, NativeSoundUnload},
    {601, NativeSoundAssist},
    {602, NativeSoundClear},
    {603, NativeSoundCreate},
    {604, NativeSoundCopy},
    {605, NativeSoundStream},
    {606, NativeSoundStreamLoop},
    {607, NativeSoundDestroy},
    {608, NativeSoundPlay},
    {609, NativeSoundPlayLooped},
    {610, NativeSoundPause},
    {611, NativeSoundResume},
    {612, NativeSoundStop},
    {613, NativeSoundFadeIn},
    {614, NativeSoundFadeOut},
    {615, NativeSoundPauseAll},
    {616, NativeSoundResumeAll},
    {617, NativeSoundStopAll},
    {618, NativeSoundSetPosition},
    {619, NativeSoundGetFormat},
    {620, NativeSoundLength},
    {621, NativeSoundPosition},
    {622, NativeSoundIsPlaying},
    {623, NativeSoundSetVolume},
    {624, NativeSoundSetPan},
    {625, NativeSoundSetFrequency},
    {626, NativeSoundChange},
    {627, NativeSoundVolPanFreq},
    {628, NativeSoundDataBytes},
    {629, NativeSoundSample},
    {630, NativeSoundLevel},
    {631, NativeSoundToWav},
    {632, NativeMovieOpen},
    {633, NativeMovieClose},
    {634, NativeMovieLoop},
    {635, NativeMoviePlay},
    {636, NativeMovieStop},
    {637, NativeMovieControlA},
    {638, NativeMovieControlB},
    {639, NativeMovieRect},
    {640, NativeMoviePosition},
    {641, NativeMovieWidth},
    {642, NativeMovieHeight},
    {643, NativeMovieSeek},
    {644, NativeMovieDuration},
    {645, NativeMovieState},
    {646, NativeMovieVolume},
    {647, NativeMovieQuery},
    {648, NativeMovieSet},
    {649, NativeMovieDoubleA},
    {650, NativeMovieDoubleB},
    {651, NativeMovieSprite},
    {652, NativeSoundSetting},
    {653, NativeSoundGetSetting},
    {654, NativeSoundKindVolume},
    {655, NativeMusicVolume},
    {656, NativeMusicPan},
    {657, NativeMusicPlay},
    {658, NativeMusicStop},
    {659, NativeMusicPause},
    {660, NativeMusicResume},
    {661, NativeMusicFade},
    {662, NativeMusicFadeIn},
    {663, NativeMusicFadeOut},
    {664, NativeMusicCrossFade},
    {665, NativeMusicPlaying},
    {666, NativeMusicFadeState},
    {667, NativeMusicActiveSlot},
    {668, NativeChannelCount},
    {669, NativeChannelVolume},
    {670, NativeChannelPan},
    {671, NativeChannelKind},
    {672, NativeChannelLoad},
    {673, NativeChannelLoadStream},
    {674, NativeChannelRelease},
    {675, NativeChannelStart},
    {676, NativeChannelStop},
    {677, NativeChannelFade},
    {678, NativeChannelFadeIn},
    {679, NativeChannelFadeOut},
    {680, NativeChannelPlaying},
    {681, NativeChannelFading},
    {682, NativeChannelSound},
    {683, NativeVoicePlay},
    {684, NativeVoiceDucking},
    {791, NativeTgsCreate},
    {792, NativeTgsDelete},
    {793, NativeTgsRun},
    {794, NativeTgsSetStartValue},
    {795, NativeNoOp},
    {796, NativeInfoBox},
    {797, NativeYesNoBox},
    {798, NativeOkCancelBox},
    {799, NativeMessageDialog},
    {800, NativeNoOp},
    {801, NativeNoOp},
    {802, NativeOpenDocument},
    {803, NativeSpecialFolder},
    {804, NativeOpenFolder},
    {805, NativeCopyWholeFile},
    {806, NativeSetWallpaper},
    {807, NativeSetScreenSaver},
    {808, NativeStartScreenSaver},
};

constexpr const char* GroupOf(uint32_t n)
{
    for (const GroupRange& g : kGroups) {
        if (n >= g.first && n <= g.last)
            return g.group;
    }
    return "none";
}

bool g_Reported[kNativeCount];

template <uint32_t N>
uint32_t NativeStub(SobNativeArgs&)
{
    if (!g_Reported[N]) {
        g_Reported[N] = true;
        std::fprintf(stderr, "native %u (%s) not built\n", N, GroupOf(N));
    }
    return 0;
}

template <size_t... N>
std::array<NativeRow, kNativeCount> MakeRows(std::index_sequence<N...>)
{
    std::array<NativeRow, kNativeCount> rows = {
        NativeRow{static_cast<uint16_t>(N), GroupOf(N), &NativeStub<N>, false}...};
    for (const BuiltNative& b : kBuilt) {
        rows[b.number].function = b.function;
        rows[b.number].built = true;
    }
    return rows;
}

const std::array<NativeRow, kNativeCount> kRows = MakeRows(std::make_index_sequence<kNativeCount>());

} // namespace

const NativeRow& GetNativeRow(uint32_t n)
{
    return kRows[n < kNativeCount ? n : 0];
}

uint32_t NativeNoOp(SobNativeArgs&)
{
    return 0;
}
