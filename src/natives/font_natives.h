// Natives 166-199: the screen's fonts, their settings, measuring and drawing text into images,
// the installed-font list and a few screen settings. Font words are handles; a null, stale or
// foreign word gives the row's null result (docs/natives-drawing.md lists each row's words).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

class CInstalledFontList;

// The program-wide list that 193 fills and 194, 195 read.
CInstalledFontList& ScriptInstalledFonts();

uint32_t NativeDeleteAllFonts(SobNativeArgs& args);      // 166
uint32_t NativeCreateGdiFont(SobNativeArgs& args);       // 167
uint32_t NativeCreateGlyphFont(SobNativeArgs& args);     // 168
uint32_t NativeDeleteFont(SobNativeArgs& args);          // 169
uint32_t NativeSetDefaultFont(SobNativeArgs& args);      // 170
uint32_t NativeFontFaceName(SobNativeArgs& args);        // 171
uint32_t NativeFontHeight(SobNativeArgs& args);          // 172
uint32_t NativeFontStyle(SobNativeArgs& args);           // 173
uint32_t NativeFontAngle(SobNativeArgs& args);           // 174
uint32_t NativeFontAntialias(SobNativeArgs& args);       // 175
uint32_t NativeFontTextColor(SobNativeArgs& args);       // 176
uint32_t NativeFontShadowSpacing(SobNativeArgs& args);   // 177
uint32_t NativeFontBackColor(SobNativeArgs& args);       // 178
uint32_t NativeFontSetColors(SobNativeArgs& args);       // 179
uint32_t NativeFontEffectMode(SobNativeArgs& args);      // 180
uint32_t NativeFontUnderline(SobNativeArgs& args);       // 181
uint32_t NativeFontQuality(SobNativeArgs& args);         // 182
uint32_t NativeFontBackground(SobNativeArgs& args);      // 183
uint32_t NativeFontImageGlyphs(SobNativeArgs& args);     // 184
uint32_t NativeFontGradient(SobNativeArgs& args);        // 185
uint32_t NativeFontOutline(SobNativeArgs& args);         // 186
uint32_t NativeFontMeasure(SobNativeArgs& args);         // 187
uint32_t NativeRotateRectToQuad(SobNativeArgs& args);    // 188
uint32_t NativeDrawTextRotated(SobNativeArgs& args);     // 189
uint32_t NativeDrawTextRotatedB(SobNativeArgs& args);    // 190
uint32_t NativeDrawTextIntoImage(SobNativeArgs& args);   // 191
uint32_t NativeDrawGlyphText(SobNativeArgs& args);       // 192
uint32_t NativeEnumInstalledFonts(SobNativeArgs& args);  // 193
uint32_t NativeInstalledFontName(SobNativeArgs& args);   // 194
uint32_t NativeInstalledFontRecord(SobNativeArgs& args); // 195
uint32_t NativeSetPresentRequest(SobNativeArgs& args);   // 196
uint32_t NativeGetPresentRequest(SobNativeArgs& args);   // 197
uint32_t NativeSetClearColor(SobNativeArgs& args);       // 198
uint32_t NativeSetAppDrawFlag(SobNativeArgs& args);      // 199
