#include "effects/layer_effect.h"

#include "display/screen_filter.h"
#include "drawing/draw_list.h"
#include "drawing/drawable.h"
#include "files/object_plugin_manager.h"

uint8_t g_bKeepEffectPriority = 0;

CLayerEffect::~CLayerEffect()
{
    if (m_busyState == 2 && g_pfnRestoreThreadPriority != nullptr)
        g_pfnRestoreThreadPriority();
}

int CLayerEffect::SetParamsV(const CEffectArgs&)
{
    return -2;
}

int CLayerEffect::QueryV(const CEffectArgs&, CEffectArgs*)
{
    return -2;
}

void CLayerEffect::MoveInItsList(CDrawable* drawable, uint32_t priority)
{
    if (drawable != nullptr && drawable->GetOwnerList() != nullptr)
        drawable->GetOwnerList()->SetPriority(drawable, priority, true);
}

void CLayerEffect::BeginBusy()
{
    if (m_busyState == 1 && g_pfnLowerThreadPriority != nullptr) {
        g_pfnLowerThreadPriority();
        m_busyState = 2;
    }
}

int CreateLayerEffect(const char* name, CImageObject* target, const CEffectArgs& args, CLayerEffect** holder)
{
    if (g_pObjectPluginManager == nullptr || name == nullptr)
        return 1;
    CPluginEffect* object = g_pObjectPluginManager->CreateRaw(name);
    if (object == nullptr)
        return 1;
    // A DCP plug-in's object is no engine effect: it cannot run in the scheduler.
    auto* effect = dynamic_cast<CLayerEffect*>(object);
    if (effect == nullptr) {
        object->Release();
        return 2;
    }
    if (g_bKeepEffectPriority != 0 && effect->GetBusyState() == 1)
        effect->SetBusyState(0);
    if (effect->SetUpV(g_pObjectManager, target, args) != 0) {
        effect->Release();
        return 2;
    }
    if (holder != nullptr) {
        *holder = effect;
        effect->SetOwnerSlot(holder);
    }
    return 0;
}
