// Natives over timed tasks: the object manager's task operations (214-217), the motion-path tasks
// on scene objects (315, 316) and on sprites (446-450), and the wipe-runner functions (386-389).
// Tasks are handed out as TimedTask handles; a task's end retires its handle. Words of each row:
// docs/natives-drawing.md.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

class CImage;
class CWipeTask;
struct CWipeRunner;

uint32_t NativeCancelTask(SobNativeArgs& args);   // 214
uint32_t NativeContainsTask(SobNativeArgs& args); // 215
uint32_t NativePauseTask(SobNativeArgs& args);    // 216
uint32_t NativeResumeTask(SobNativeArgs& args);   // 217
// 219 / 220: an effect object's SetParamsV / QueryV (a TimedTask handle whose task is an effect in
// g_pObjectManager) with words 1-kPluginWords as integers → its answer; -1 when the word names no
// running effect. A query's out values (integers, and decimals as float bits) are stored through
// the words at their indexes that are not 0.
uint32_t NativeEffectSetParams(SobNativeArgs& args); // 219
uint32_t NativeEffectQuery(SobNativeArgs& args);     // 220

uint32_t NativeScenePathText(SobNativeArgs& args);    // 315
uint32_t NativeScenePathPoints(SobNativeArgs& args);  // 316
uint32_t NativeMovePathText(SobNativeArgs& args);     // 446
uint32_t NativeMovePathPoints(SobNativeArgs& args);   // 447
uint32_t NativeSizePathText(SobNativeArgs& args);     // 448
uint32_t NativeSizePathPoints(SobNativeArgs& args);   // 449
uint32_t NativeRotatePathText(SobNativeArgs& args);   // 450

// 54: drawable, mode (1 centred, else top-left kept), time, scale text, start-scale text or 0:
// a size path from start × the drawable's size to scale × it → the task's handle, 0 when it
// cannot start (sizes below 1 or past 16384 pixels a side, unreadable scales).
uint32_t NativeScaleTask(SobNativeArgs& args);

uint32_t NativeStartWipeTask(SobNativeArgs& args);  // 386
uint32_t NativeFinishWipeTask(SobNativeArgs& args); // 387
uint32_t NativeCancelWipeTask(SobNativeArgs& args); // 388
uint32_t NativeIsWipeTaskAlive(SobNativeArgs& args); // 389

// Ends the script-made path tasks whose sprite is being destroyed (object: the drawable), before
// they could move it after its end; the host calls it for every object that ends.
void ForgetPathTaskTarget(const void* object);

// What 386 calls to start a wipe: StartWipeTask unless a test puts a recorder in.
using WipeStarter = CWipeTask* (*)(CWipeRunner* runner, int32_t kind, uint32_t duration, CImage* destination,
                                   CImage* source, const int32_t words[8]);
extern WipeStarter g_pfnNativeStartWipe;

// Path lists from scripts (316, 447, 449): 2 to this many (x, y, value) points.
constexpr uint32_t kMaxScriptPathPoints = 65536;
