// The second render-state object; see render_state_object_b.h.
#include "display/render_state_object_b.h"

#include "display/screen.h"

int CRenderStateObjectB::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    if (context == nullptr)
        return 1;
    using Setter = int (CD3DDevice::*)(DWORD);
    static constexpr Setter kSetters[kCount] = {
        &CD3DDevice::SetAlphaBlendEnable, &CD3DDevice::SetSrcBlend,  &CD3DDevice::SetDestBlend,
        &CD3DDevice::SetColorOp,          &CD3DDevice::SetColorArg1, &CD3DDevice::SetColorArg2,
        &CD3DDevice::SetAlphaOp,          &CD3DDevice::SetAlphaArg1, &CD3DDevice::SetAlphaArg2,
    };
    for (size_t i = 0; i < kCount; ++i)
        if (m_states[i] != 255)
            (context->*kSetters[i])(m_states[i]);
    return 0;
}
