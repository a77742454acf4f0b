// The first render-state object; see render_state_object_a.h.
#include "display/render_state_object_a.h"

#include "display/screen.h"

int CRenderStateObjectA::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    if (context == nullptr)
        return 1;
    using Setter = int (CD3DDevice::*)(DWORD);
    static constexpr Setter kSetters[kCount] = {
        &CD3DDevice::SetCullMode,        &CD3DDevice::SetShadeMode,      &CD3DDevice::SetColorKeyEnable,
        &CD3DDevice::SetAlphaBlendEnable, &CD3DDevice::SetSrcBlend,      &CD3DDevice::SetDestBlend,
        &CD3DDevice::SetAlphaTestEnable, &CD3DDevice::SetAlphaRef,       &CD3DDevice::SetAlphaFunc,
    };
    for (size_t i = 0; i < kCount; ++i)
        if (m_states[i] != 255)
            (context->*kSetters[i])(m_states[i]);
    return 0;
}
