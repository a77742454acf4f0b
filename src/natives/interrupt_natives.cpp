// Natives 57 and 58 (see interrupt_natives.h).
#include "natives/interrupt_natives.h"

#include "controls/control.h"
#include "effects/cursor_move.h"
#include "natives/caption.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "platform/timer_manager.h"
#include "script/tgs_frame.h"

namespace {

constexpr uint32_t kUnknownCode = 1;

// The function codes of 58.
enum : uint32_t {
    kPlayBgm = 0,
    kCurrentBgm = 1,
    kTaskListed = 2,
    kCancelTaskInCell = 3,
    kCursorMove = 4,
    kShowCaption = 5,
    kCursorToControl = 6,
    kFrameRequest = 7,
    kFrameRequestToo = 8,
    kReadCounts = 9,
    kFindVariable = 10,
};

// Code 3: the task in a 4-byte cell is cancelled in the frame's task list → 0 and the cell
// cleared; 1 a null cell or one holding 0; 2 a handle that names no task the list holds (the cell unchanged).
uint32_t CancelTaskInCell(SobNativeArgs& args, CScriptHostBase& host)
{
    const uint32_t cell = args.U32(1);
    if (args.Faulted())
        return 0;
    return NativeReleaseByCell(args, cell, [&](uint32_t handle) {
        CTimedTask* task = host.Object<CTimedTask>(handle);
        if (task == nullptr || g_pTaskList == nullptr || !g_pTaskList->Contains(task))
            return 2;
        g_pTaskList->Cancel(task);
        return 0;
    });
}

// Code 4: a glide of the pointer on the frame's task list; with wait the frames are stepped until
// it ends (or the frame loop ends) → the task's handle (0 when none was started or it ended).
uint32_t CursorMove(SobNativeArgs& args, CScriptHostBase& host)
{
    const int32_t x = args.I32(1), y = args.I32(2);
    const uint32_t time = args.U32(3);
    const uint8_t forced = static_cast<uint8_t>(args.U32(4));
    const bool wait = args.U32(5) != 0;
    if (args.Faulted())
        return 0;
    CCursorMoveEffect* task = nullptr;
    if (StartCursorMove(x, y, time, forced, 1, &task) != 0 || task == nullptr)
        return 0;
    const uint32_t handle = host.ObjectHandle(static_cast<CTimedTask*>(task));
    if (!wait)
        return handle;
    // The slot is nulled when the task ends and is deleted.
    task->SetOwnerSlot(&task);
    while (task != nullptr) {
        if (g_pGameApp == nullptr || g_pGameApp->StepFrame() == 0) {
            if (task != nullptr)
                task->SetOwnerSlot<CCursorMoveEffect>(nullptr);
            break;
        }
    }
    return host.Object<CTimedTask>(handle) != nullptr ? handle : 0;
}

// Code 9: the scenario frame's read counts by sub-code over a script name (0: all scripts).
uint32_t ReadCounts(SobNativeArgs& args)
{
    const uint32_t sub = args.U32(1);
    const char* name = NativeOptionalString(args, 2);
    if (args.Faulted() || g_pTgsFrame == nullptr)
        return 0;
    switch (sub) {
    case 0:
        return g_pTgsFrame->GetMessageCount(name);
    case 1:
        return g_pTgsFrame->GetReadMessageCount(name);
    case 2:
        return g_pTgsFrame->IsAllRead(name) ? 1 : 0;
    default:
        return 0;
    }
}

} // namespace

uint32_t NativeCaptionFont(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t which = args.U32(0);
    const uint32_t kind = args.U32(1);
    if (args.Faulted() || host == nullptr || which != 0)
        return 0;
    if (kind == 0)
        return host->ObjectHandle(static_cast<CFont*>(&g_Caption.Font()));
    if (kind == 1)
        return host->ObjectHandle(static_cast<CFont*>(&g_Caption.BigFont()));
    return 0;
}

uint32_t NativeHostFunction(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t code = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    switch (code) {
    case kPlayBgm: {
        const int32_t number = args.I32(1);
        const uint32_t fade = args.U32(2);
        const int32_t loop = args.I32(3);
        return args.Faulted() ? 0 : static_cast<uint32_t>(PlayBgmByNumber(number, fade, loop));
    }
    case kCurrentBgm:
        return static_cast<uint32_t>(g_CurrentBgmNumber);
    case kTaskListed: {
        CTimedTask* task = host->Object<CTimedTask>(args.U32(1));
        return task != nullptr && g_pTaskList != nullptr && g_pTaskList->Contains(task) ? 1 : 0;
    }
    case kCancelTaskInCell:
        return CancelTaskInCell(args, *host);
    case kCursorMove:
        return CursorMove(args, *host);
    case kShowCaption: {
        const char* text = NativeOptionalString(args, 1);
        const uint32_t time = args.U32(2);
        return args.Faulted() ? 0 : static_cast<uint32_t>(g_Caption.ShowText(text, time));
    }
    case kCursorToControl: {
        CControl* control = host->Object<CControl>(args.U32(1));
        const bool wait = args.U32(2) != 0;
        return args.Faulted() ? 0 : static_cast<uint32_t>(g_Caption.MoveCursorToObject(control, wait, nullptr));
    }
    case kFrameRequest:
    case kFrameRequestToo:
        // The frame posts its requests to the application as it makes them: nothing waits here.
        return 0;
    case kReadCounts:
        return ReadCounts(args);
    case kFindVariable: {
        const uint32_t address = args.U32(1);
        return args.Faulted() ? 0 : static_cast<uint32_t>(host->FindVariable(address));
    }
    default:
        return kUnknownCode;
    }
}
