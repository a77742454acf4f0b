#include "platform/skip_key.h"

#include "platform/app_config.h"
#include "platform/input_source.h"

namespace {
constexpr int kScanLeftControl = 0x1D;
constexpr int kScanRightControl = 0x9D;
constexpr int kScanLeftShift = 0x2A;
constexpr int kScanRightShift = 0x36;
} // namespace

bool IsSkipKeyDown(CInputSource* keyboard)
{
    if (keyboard == nullptr)
        return false;
    if (g_pAppConfig != nullptr && g_pAppConfig->fastForwardKey == 0)
        return keyboard->IsDown(kScanLeftShift) || keyboard->IsDown(kScanRightShift);
    return keyboard->IsDown(kScanLeftControl) || keyboard->IsDown(kScanRightControl);
}

bool IsSkipKeyPushed(CInputSource* keyboard)
{
    if (keyboard == nullptr)
        return false;
    if (g_pAppConfig != nullptr && g_pAppConfig->fastForwardKey == 0)
        return keyboard->IsPushed(kScanLeftShift) || keyboard->IsPushed(kScanRightShift);
    return keyboard->IsPushed(kScanLeftControl) || keyboard->IsPushed(kScanRightControl);
}
