// Natives over the script text objects (see text_object_natives.h).
#include "natives/text_object_natives.h"

#include <cstring>

#include "controls/toggle_button.h"
#include "drawing/cell_sheet.h"
#include "natives/native_args.h"
#include "natives/text_object.h"
#include "natives/typed_control_natives.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

CTextObject* TextObjectAt(SobNativeArgs& args, uint32_t k)
{
    return dynamic_cast<CTextObject*>(NativeControlOfType(args, k, {kControlTextObject}));
}

} // namespace

uint32_t NativeSetClickAdvance(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    const bool on = args.U32(1) != 0;
    if (args.Faulted() || text == nullptr)
        return 0;
    text->SetClickAdvance(on);
    return 1;
}

uint32_t NativeIsTextObject(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    return !args.Faulted() && text != nullptr ? 0 : 1;
}

uint32_t NativeStartTyping(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    const bool flag = args.U32(1) != 0;
    if (args.Faulted() || text == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(text->StartTyping(flag));
}

uint32_t NativeAdvanceTyping(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    if (args.Faulted() || text == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(text->AdvanceTyping());
}

uint32_t NativeControlTyping(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    const uint8_t code = static_cast<uint8_t>(args.U32(1));
    if (args.Faulted() || text == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(text->ControlTyping(code));
}

uint32_t NativeSetTypingAnimation(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    CTextObject* text = TextObjectAt(args, 0);
    const uint32_t word = args.U32(1);
    if (args.Faulted() || text == nullptr || host == nullptr)
        return 0;
    // A word that names no sheet leaves the object without a wait animation.
    text->SetTypingAnimation(host->Object<CCellSheet>(word));
    return 1;
}

uint32_t NativeLinkNamePanel(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    auto* panel = dynamic_cast<CTextPanel*>(NativeControlOfType(args, 1, {kControlTextPanel}));
    const uint8_t flag = static_cast<uint8_t>(args.U32(2));
    if (args.Faulted() || text == nullptr)
        return 1;
    if (panel == nullptr)
        return 2;
    text->SetNamePanel(panel, flag);
    return 0;
}

uint32_t NativeLinkControl(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    auto* toggle = dynamic_cast<CToggleButton*>(NativeControlOfType(args, 1, {kControlToggle}));
    if (args.Faulted() || text == nullptr)
        return 1;
    if (toggle == nullptr)
        return 2;
    text->SetLinkedControl(toggle);
    return 0;
}

uint32_t NativeTypingPhase(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    if (args.Faulted() || text == nullptr || text->TypingTask() == nullptr)
        return 0;
    return text->TypingTask()->GetPhase();
}

uint32_t NativeTypingFastForward(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    if (args.Faulted() || text == nullptr || text->TypingTask() == nullptr)
        return 0;
    return text->TypingTask()->IsFastForward() ? 1 : 0;
}

uint32_t NativeCopyVoiceName(SobNativeArgs& args)
{
    CTextObject* text = TextObjectAt(args, 0);
    const uint32_t buffer = args.U32(1);
    if (args.Faulted() || text == nullptr || buffer == 0)
        return 0;
    const char* name = text->GetVoiceName();
    const uint32_t length = static_cast<uint32_t>(std::strlen(name));
    if (length == 0)
        return 0;
    uint8_t* dst = NativeBlockSpan(args, buffer, length + 1);
    if (dst == nullptr)
        return 0;
    std::memcpy(dst, name, length + 1);
    return 1;
}
