#include "natives/input_natives.h"

#include "display/app_frame.h"
#include "platform/input_manager.h"
#include "platform/keyboard_device.h"
#include "platform/skip_key.h"

uint32_t NativeIsSkipKeyDown(SobNativeArgs&)
{
    return g_pAppFrame != nullptr && IsSkipKeyDown(g_pAppFrame->GetInput().GetKeyboard()) ? 1 : 0;
}
