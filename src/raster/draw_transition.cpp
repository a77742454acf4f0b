// The wipe table and its dispatcher.
#include "raster/draw_transition.h"

#include "raster/image.h"
#include "raster/wipes.h"

const TransitionOp g_TransitionOps[kTransitionCount] = {
    WipeMirrorColumns,               // 0
    WipeMirrorRows,                  // 1
    WipeStretchRows,                 // 2
    WipeStretchColumns,              // 3
    WipeJitterRows,                  // 4
    WipeScatterBlocks,               // 5
    WipeDissolveBlocks,              // 6
    WipeDissolveFromTop,             // 7
    WipeDissolveFromBottom,          // 8
    WipeDissolveFromLeft,            // 9
    WipeDissolveFromRight,           // 10
    WipeSquareFromCenter,            // 11
    WipeSquareFromTopLeft,           // 12
    WipeSquareFromTopRight,          // 13
    WipeSquareFromBottomLeft,        // 14
    WipeSquareFromBottomRight,       // 15
    WipeInterleaveRows,              // 16
    WipeInterleaveColumns,           // 17
    WipeInterleaveRows4,             // 18
    WipeInterleaveColumns4,          // 19
    WipeNoisyCircle,                 // 20
    WipeTornFromTop,                 // 21
    WipeTornFromBottom,              // 22
    WipeWaveRows,                    // 23
    WipeWaveRowsInverted,            // 24
    WipeWaveRowsFine,                // 25
    WipeWaveRowsFineInverted,        // 26
    WipeHalfDiscFromTop,             // 27
    WipeHalfDiscFromBottom,          // 28
    WipeHalfDiscFromLeft,            // 29
    WipeHalfDiscFromRight,           // 30
    WipeDiscFromCenter,              // 31
    WipeGrowCells4,                  // 32
    WipeGrowCells8,                  // 33
    WipeGrowCells16,                 // 34
    WipeBlindsColumns8,              // 35
    WipeBlindsColumns8Reverse,       // 36
    WipeBlindsColumns16,             // 37
    WipeBlindsColumns16Reverse,      // 38
    WipeBlindsRows8,                 // 39
    WipeBlindsRows8Reverse,          // 40
    WipeBlindsRows16,                // 41
    WipeBlindsRows16Reverse,         // 42
    WipeSlantedDashes8,              // 43
    WipeSlantedDashes16,             // 44
    WipeTileSpiralIn1,               // 45
    WipeTileSpiralOut1,              // 46
    WipeTileSpiralIn2,               // 47
    WipeTileSpiralOut2,              // 48
    WipeTileSpiralIn4,               // 49
    WipeTileSpiralOut4,              // 50
    WipeTileSpiralIn8,               // 51
    WipeTileSpiralOut8,              // 52
    WipeCrossFade,                   // 53
    WipeScatterNoise,                // 54
    WipeBurstBlocks,                 // 55
    WipeBurstBlocks2,                // 56
    WipeBurstSwirl,                  // 57
    WipeSpinOut,                     // 58
    WipeZoomOut,                     // 59
    WipeRotateBlocks2,               // 60
    WipeRotateBlocks4,               // 61
    WipeRotateBlocks8,               // 62
    WipeRotateBurst,                 // 63
    WipeDropCells8,                  // 64
    WipeDropCells16,                 // 65
    WipeJitterBlocks,                // 66
    WipeJitterBlocksLinear,          // 67
    WipeMosaicCentred,               // 68
    WipeMosaicCorner,                // 69
    WipeNegativeFlash,               // 70
    WipeBandsColumns16FromLeft,      // 71
    WipeBandsColumns16FromRight,     // 72
    WipeBandsColumns8FromLeft,       // 73
    WipeBandsColumns8FromRight,      // 74
    WipeBandsRows16FromTop,          // 75
    WipeBandsRows16FromBottom,       // 76
    WipeBandsRows8FromTop,           // 77
    WipeBandsRows8FromBottom,        // 78
    WipeSlideSmearFromRight,         // 79
    WipeSlideSmearFromLeft,          // 80
    WipeSlideSmearFromBottom,        // 81
    WipeSlideSmearFromTop,           // 82
    WipeFourSectorsClockwise,        // 83
    WipeFourSectorsCounterClockwise, // 84
    WipeHalvesFromSides,             // 85
    WipeHalvesFromTopAndBottom,      // 86
};

namespace {

bool IsDeviceSource(const CSurface* s)
{
    return s->GetKind() == kSurfaceDDImage || s->GetKind() == kSurfaceDDSurface;
}

} // namespace

int32_t DrawTransition(int32_t index, CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                       int32_t mode, const CDisplayTarget* screen)
{
    if (screen != nullptr) {
        if (src == nullptr || !IsDeviceSource(src))
            return 1;
        mode = kTransitionDeviceBlit;
    } else {
        if (dst == nullptr || src == nullptr)
            return 1;
        if (dst->GetKind() == kSurfaceMemoryImage && src->GetKind() == kSurfaceMemoryImage) {
            // The memory modes draw through the image class; a bare memory surface cannot hold
            // the drawing state they keep.
            if (dynamic_cast<CImage*>(dst) == nullptr)
                return 1;
        } else {
            if (dst->GetKind() != kSurfaceDDImage || !IsDeviceSource(src))
                return 1;
            mode = kTransitionDeviceBlit;
        }
    }
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(kTransitionCount))
        return -1;
    return g_TransitionOps[index](dst, src, progress, x, y, mode, screen);
}
