// The entries of the wipe table (reached only through DrawTransition) and the four shared band and
// slide routines that entries 71 to 82 call with fixed arguments. Every entry has the arguments
// and results of TransitionOp.
#pragma once

#include "raster/draw_transition.h"

#define TESSARO_WIPE(name)                                                                                   \
    int32_t name(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, int32_t mode,         \
                 const CDisplayTarget* screen)

// Entries 0 to 33.
TESSARO_WIPE(WipeMirrorColumns);
TESSARO_WIPE(WipeMirrorRows);
TESSARO_WIPE(WipeStretchRows);
TESSARO_WIPE(WipeStretchColumns);
TESSARO_WIPE(WipeJitterRows);
TESSARO_WIPE(WipeScatterBlocks);
TESSARO_WIPE(WipeDissolveBlocks);
TESSARO_WIPE(WipeDissolveFromTop);
TESSARO_WIPE(WipeDissolveFromBottom);
TESSARO_WIPE(WipeDissolveFromLeft);
TESSARO_WIPE(WipeDissolveFromRight);
TESSARO_WIPE(WipeSquareFromCenter);
TESSARO_WIPE(WipeSquareFromTopLeft);
TESSARO_WIPE(WipeSquareFromTopRight);
TESSARO_WIPE(WipeSquareFromBottomLeft);
TESSARO_WIPE(WipeSquareFromBottomRight);
TESSARO_WIPE(WipeInterleaveRows);
TESSARO_WIPE(WipeInterleaveColumns);
TESSARO_WIPE(WipeInterleaveRows4);
TESSARO_WIPE(WipeInterleaveColumns4);
TESSARO_WIPE(WipeNoisyCircle);
TESSARO_WIPE(WipeTornFromTop);
TESSARO_WIPE(WipeTornFromBottom);
TESSARO_WIPE(WipeWaveRows);
TESSARO_WIPE(WipeWaveRowsInverted);
TESSARO_WIPE(WipeWaveRowsFine);
TESSARO_WIPE(WipeWaveRowsFineInverted);
TESSARO_WIPE(WipeHalfDiscFromTop);
TESSARO_WIPE(WipeHalfDiscFromBottom);
TESSARO_WIPE(WipeHalfDiscFromLeft);
TESSARO_WIPE(WipeHalfDiscFromRight);
TESSARO_WIPE(WipeDiscFromCenter);
TESSARO_WIPE(WipeGrowCells4);
TESSARO_WIPE(WipeGrowCells8);

// Entries 34 to 67.
TESSARO_WIPE(WipeGrowCells16);
TESSARO_WIPE(WipeBlindsColumns8);
TESSARO_WIPE(WipeBlindsColumns8Reverse);
TESSARO_WIPE(WipeBlindsColumns16);
TESSARO_WIPE(WipeBlindsColumns16Reverse);
TESSARO_WIPE(WipeBlindsRows8);
TESSARO_WIPE(WipeBlindsRows8Reverse);
TESSARO_WIPE(WipeBlindsRows16);
TESSARO_WIPE(WipeBlindsRows16Reverse);
TESSARO_WIPE(WipeSlantedDashes8);
TESSARO_WIPE(WipeSlantedDashes16);
TESSARO_WIPE(WipeTileSpiralIn1);
TESSARO_WIPE(WipeTileSpiralOut1);
TESSARO_WIPE(WipeTileSpiralIn2);
TESSARO_WIPE(WipeTileSpiralOut2);
TESSARO_WIPE(WipeTileSpiralIn4);
TESSARO_WIPE(WipeTileSpiralOut4);
TESSARO_WIPE(WipeTileSpiralIn8);
TESSARO_WIPE(WipeTileSpiralOut8);
TESSARO_WIPE(WipeCrossFade);
TESSARO_WIPE(WipeScatterNoise);
TESSARO_WIPE(WipeBurstBlocks);
TESSARO_WIPE(WipeBurstBlocks2);
TESSARO_WIPE(WipeBurstSwirl);
TESSARO_WIPE(WipeSpinOut);
TESSARO_WIPE(WipeZoomOut);
TESSARO_WIPE(WipeRotateBlocks2);
TESSARO_WIPE(WipeRotateBlocks4);
TESSARO_WIPE(WipeRotateBlocks8);
TESSARO_WIPE(WipeRotateBurst);
TESSARO_WIPE(WipeDropCells8);
TESSARO_WIPE(WipeDropCells16);
TESSARO_WIPE(WipeJitterBlocks);
TESSARO_WIPE(WipeJitterBlocksLinear);

// Entries 68 to 86.
TESSARO_WIPE(WipeMosaicCentred);
TESSARO_WIPE(WipeMosaicCorner);
TESSARO_WIPE(WipeNegativeFlash);
TESSARO_WIPE(WipeBandsColumns16FromLeft);
TESSARO_WIPE(WipeBandsColumns16FromRight);
TESSARO_WIPE(WipeBandsColumns8FromLeft);
TESSARO_WIPE(WipeBandsColumns8FromRight);
TESSARO_WIPE(WipeBandsRows16FromTop);
TESSARO_WIPE(WipeBandsRows16FromBottom);
TESSARO_WIPE(WipeBandsRows8FromTop);
TESSARO_WIPE(WipeBandsRows8FromBottom);
TESSARO_WIPE(WipeSlideSmearFromRight);
TESSARO_WIPE(WipeSlideSmearFromLeft);
TESSARO_WIPE(WipeSlideSmearFromBottom);
TESSARO_WIPE(WipeSlideSmearFromTop);
TESSARO_WIPE(WipeFourSectorsClockwise);
TESSARO_WIPE(WipeFourSectorsCounterClockwise);
TESSARO_WIPE(WipeHalvesFromSides);
TESSARO_WIPE(WipeHalvesFromTopAndBottom);

// Bands of n columns (rows) that fill one after another in a staircase; direction non-zero: from
// the left (top) edge, 0: from the right (bottom) edge.
int32_t WipeBandsColumns(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                         uint8_t direction, int32_t mode, int32_t n, const CDisplayTarget* screen);
int32_t WipeBandsRows(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, uint8_t direction,
                      int32_t mode, int32_t n, const CDisplayTarget* screen);
// The revealed part of the source slides in and its first hidden column (row) is stretched over
// the rest of the destination; direction 0: revealed from the left (top), non-zero: from the
// right (bottom).
int32_t WipeSlideSmearColumns(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                              uint8_t direction, int32_t mode, const CDisplayTarget* screen);
int32_t WipeSlideSmearRows(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                           uint8_t direction, int32_t mode, const CDisplayTarget* screen);
