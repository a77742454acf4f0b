// Natives 200-259: the screen's surfaces and images (creation, deletion, the frame image), the
// surface interface, the image-loader manager and object-manager settings, fills, transitions
// and canvas settings. Surface words are handles; docs/natives-drawing.md lists each row's words.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

// Sides of images and surfaces made by scripts: 1 to this many pixels (checked before anything is
// allocated).
constexpr int32_t kMaxScriptImageSide = 16384;

uint32_t NativeDeleteAllObjects(SobNativeArgs& args);       // 200
uint32_t NativeSetObjectGroup(SobNativeArgs& args);         // 201
uint32_t NativeDeleteObjectsByGroup(SobNativeArgs& args);   // 202
uint32_t NativeSetImageCacheBudget(SobNativeArgs& args);    // 203
uint32_t NativeReleaseCachedImage(SobNativeArgs& args);     // 204
uint32_t NativePreloadCachedImage(SobNativeArgs& args);     // 205
uint32_t NativeHasImageLoader(SobNativeArgs& args);         // 206
uint32_t NativeUnloadImageLoaders(SobNativeArgs& args);     // 207
uint32_t NativeHasAssistFunc(SobNativeArgs& args);          // 208
uint32_t NativeGetScreenMode(SobNativeArgs& args);          // 209
uint32_t NativeGetOutputRect(SobNativeArgs& args);          // 210
uint32_t NativeCancelKind(SobNativeArgs& args);             // 211
uint32_t NativePauseKind(SobNativeArgs& args);              // 212
uint32_t NativeResumeKind(SobNativeArgs& args);             // 213
uint32_t NativeIsSceneActive(SobNativeArgs& args);          // 218
// 221: kind name, then the words of the kind's second callback, laid out by the callback's
// signature (objects as handles, texts as addresses, decimal values as float words, then one
// address per out value, 0 to skip it) → the callback's answer; -2 no such callback; -1 an object
// word that names no object of its kind. A callback the engine does not know takes words 1-16 as
// integers and hands nothing back.
uint32_t NativeCallAssist2(SobNativeArgs& args);
uint32_t NativeCreateDDImage(SobNativeArgs& args);          // 222
uint32_t NativeCreateDDImageFromFile(SobNativeArgs& args);  // 223
uint32_t NativeCreateDDImageFromData(SobNativeArgs& args);  // 224
uint32_t NativeCreateDDSurface(SobNativeArgs& args);        // 225
uint32_t NativeCreateCanvasSurface(SobNativeArgs& args);    // 226
uint32_t NativeCreateFileImageSurface(SobNativeArgs& args); // 227
uint32_t NativeCreateFileImageSurfaceFromData(SobNativeArgs& args); // 228
uint32_t NativeCreateImage(SobNativeArgs& args);            // 231
uint32_t NativeCreateImageFromFile(SobNativeArgs& args);    // 232
uint32_t NativeCreateImageFromFilePal(SobNativeArgs& args); // 233
uint32_t NativeCreateImageFromData(SobNativeArgs& args);    // 234
uint32_t NativeCreateImageFromDataPal(SobNativeArgs& args); // 235
uint32_t NativeCreateTextSurface(SobNativeArgs& args);      // 229
uint32_t NativeCreateCanvasTexture(SobNativeArgs& args);    // 230
uint32_t NativeCreateTextImage(SobNativeArgs& args);        // 236
uint32_t NativeCreateImageCopy(SobNativeArgs& args);        // 237
uint32_t NativeCreateSurfaceSprite(SobNativeArgs& args);    // 238
uint32_t NativeCreateSurfaceSprite10(SobNativeArgs& args);  // 239
uint32_t NativeSurfaceSecondValue(SobNativeArgs& args);     // 240
uint32_t NativeGetFrameSurface(SobNativeArgs& args);        // 241
uint32_t NativeSetFrameImage(SobNativeArgs& args);          // 242
uint32_t NativeDeleteSurface(SobNativeArgs& args);          // 243
uint32_t NativeSurfaceWidth(SobNativeArgs& args);           // 244
uint32_t NativeSurfaceHeight(SobNativeArgs& args);          // 245
uint32_t NativeColorKeyAt(SobNativeArgs& args);             // 246
uint32_t NativeColorKeyRgb(SobNativeArgs& args);            // 247
uint32_t NativeClearColorKey(SobNativeArgs& args);          // 248
uint32_t NativeSurfaceTag(SobNativeArgs& args);             // 249
uint32_t NativeSurfaceGroup(SobNativeArgs& args);           // 250
uint32_t NativeFillSurface(SobNativeArgs& args);            // 251
uint32_t NativeDrawTransition(SobNativeArgs& args);         // 252
uint32_t NativeSetBackCanvas(SobNativeArgs& args);          // 253
uint32_t NativeCanvasNull(SobNativeArgs& args);             // 254
uint32_t NativeSetSceneActive(SobNativeArgs& args);         // 255
uint32_t NativeSetSceneNoBackground(SobNativeArgs& args);   // 256
uint32_t NativeSetSceneListsHidden(SobNativeArgs& args);    // 257
uint32_t NativeInvalidateCanvas(SobNativeArgs& args);       // 258
uint32_t NativeSetCanvasDepth(SobNativeArgs& args);         // 259
