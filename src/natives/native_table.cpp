#include "natives/native_table.h"

#include <array>
#include <cstdio>
#include <utility>

#include "natives/blit_natives.h"
#include "natives/file_natives.h"
#include "natives/font_natives.h"
#include "natives/input_natives.h"
#include "natives/movie_natives.h"
#include "natives/stream_natives.h"
#include "natives/string_natives.h"
#include "natives/surface_natives.h"
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
    {31, NativeSaveVariableFile},
    {32, NativeReadVariableFileHeader},
    {33, NativeLoadVariableFile},
    {37, NativeNoOp},
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
    {107, NativeMount},
    {108, NativeUnmount},
    {109, NativeGetMountCount},
    {110, NativeUnmountAll},
    {111, NativeGetMountEntryCount},
    {112, NativeGetMountEntryName},
    {113, NativeMountEntryInfo},
    {115, NativeFindFileOrEntry},
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
    {152, NativeListAttributes},
    {153, NativeListTime},
    {154, NativeListClear},
    {155, NativeEnableDrops},
    {156, NativeDroppedFile},
    {157, NativeClearDrops},
    {161, NativeRunProcess},
    {162, NativeMakeFolder},
    {163, NativeMoveFile},
    {164, NativeCopyFile},
    {165, NativeFileDateTime},
    {166, NativeDeleteAllFonts},
    {167, NativeCreateGdiFont},
    {168, NativeCreateGlyphFont},
    {169, NativeDeleteFont},
    {170, NativeSetDefaultFont},
    {171, NativeFontFaceName},
    {172, NativeFontHeight},
    {173, NativeFontStyle},
    {174, NativeFontAngle},
    {175, NativeFontAntialias},
    {176, NativeFontTextColor},
    {177, NativeFontShadowSpacing},
    {178, NativeFontBackColor},
    {179, NativeFontSetColors},
    {180, NativeFontEffectMode},
    {181, NativeFontUnderline},
    {182, NativeFontQuality},
    {183, NativeFontBackground},
    {184, NativeFontImageGlyphs},
    {185, NativeFontGradient},
    {186, NativeFontOutline},
    {187, NativeFontMeasure},
    {188, NativeRotateRectToQuad},
    {189, NativeDrawTextRotated},
    {190, NativeDrawTextRotatedB},
    {191, NativeDrawTextIntoImage},
    {192, NativeDrawGlyphText},
    {193, NativeEnumInstalledFonts},
    {194, NativeInstalledFontName},
    {195, NativeInstalledFontRecord},
    {196, NativeSetPresentRequest},
    {197, NativeGetPresentRequest},
    {198, NativeSetClearColor},
    {199, NativeSetAppDrawFlag},
    {200, NativeDeleteAllObjects},
    {201, NativeSetObjectGroup},
    {202, NativeDeleteObjectsByGroup},
    {203, NativeSetImageCacheBudget},
    {204, NativeReleaseCachedImage},
    {205, NativePreloadCachedImage},
    {206, NativeHasImageLoader},
    {207, NativeUnloadImageLoaders},
    {208, NativeHasAssistFunc},
    {209, NativeGetScreenMode},
    {210, NativeGetOutputRect},
    {211, NativeCancelKind},
    {212, NativePauseKind},
    {213, NativeResumeKind},
    {214, NativeObjectTaskNull},
    {215, NativeObjectTaskNull},
    {216, NativeObjectTaskNull},
    {217, NativeObjectTaskNull},
    {218, NativeIsSceneActive},
    {219, NativeObjectTaskNull},
    {220, NativeObjectTaskNull},
    {221, NativeNullZero},
    {222, NativeCreateDDImage},
    {223, NativeCreateDDImageFromFile},
    {224, NativeCreateDDImageFromData},
    {225, NativeCreateDDSurface},
    {226, NativeCreateCanvasSurface},
    {227, NativeCreateFileImageSurface},
    {228, NativeCreateFileImageSurfaceFromData},
    {229, NativeNullZero},
    {230, NativeNullZero},
    {231, NativeCreateImage},
    {232, NativeCreateImageFromFile},
    {233, NativeCreateImageFromFilePal},
    {234, NativeCreateImageFromData},
    {235, NativeCreateImageFromDataPal},
    {236, NativeNullZero},
    {237, NativeCreateImageCopy},
    {238, NativeCreateSurfaceSprite},
    {239, NativeCreateSurfaceSprite10},
    {240, NativeSurfaceSecondValue},
    {241, NativeGetFrameSurface},
    {242, NativeSetFrameImage},
    {243, NativeDeleteSurface},
    {244, NativeSurfaceWidth},
    {245, NativeSurfaceHeight},
    {246, NativeColorKeyAt},
    {247, NativeColorKeyRgb},
    {248, NativeClearColorKey},
    {249, NativeSurfaceTag},
    {250, NativeSurfaceGroup},
    {251, NativeFillSurface},
    {252, NativeDrawTransition},
    {253, NativeSetBackCanvas},
    {254, NativeCanvasNull},
    {255, NativeSetSceneActive},
    {256, NativeSetSceneNoBackground},
    {257, NativeSetSceneListsHidden},
    {258, NativeInvalidateCanvas},
    {259, NativeSetCanvasDepth},
    {333, NativeBlit333},
    {334, NativeBlit334},
    {335, NativeBlit335},
    {336, NativeBlit336},
    {337, NativeBlit337},
    {338, NativeBlit338},
    {339, NativeBlit339},
    {340, NativeBlit340},
    {341, NativeBlit341},
    {342, NativeBlit342},
    {343, NativeBlit343},
    {344, NativeBlit344},
    {345, NativeBlit345},
    {346, NativeBlit346},
    {347, NativeBlit347},
    {348, NativeBlit348},
    {349, NativeBlit349},
    {350, NativeBlit350},
    {352, NativeBlit352},
    {353, NativeBlit353},
    {354, NativeBlit354},
    {357, NativeBlit357},
    {358, NativeBlit358},
    {359, NativeBlit359},
    {360, NativeBlit360},
    {361, NativeBlit361},
    {362, NativeBlit362},
    {363, NativeBlit363},
    {364, NativeBlit364},
    {365, NativeBlit365},
    {366, NativeBlit366},
    {367, NativeBlit367},
    {368, NativeBlit368},
    {371, NativeBlit371},
    {372, NativeBlit372},
    {373, NativeBlit373},
    {378, NativeBlit378},
    {379, NativeBlit379},
    {380, NativeBlit380},
    {381, NativeBlit381},
    {382, NativeBlit382},
    {383, NativeBlit383},
    {384, NativeBlit384},
    {385, NativeBlit385},
    {571, NativeIsSkipKeyDown},
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
    {795, NativeNoOp},
    {800, NativeNoOp},
    {801, NativeNoOp},
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
