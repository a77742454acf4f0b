// CLayerEffect: the base of every effect object the effect registry makes by name (the layer
// effects, the bg_* and sp_* effects). An effect is a timed task of the effect scheduler
// g_pObjectManager that changes the sprites and pictures of the canvas it was set up on; it may
// lower the game thread's priority while it runs (busy hooks). CreateLayerEffect is the one road
// by which the scenario engine and the natives make one.
#pragma once

#include <cstdint>
#include <utility>

#include "files/plugin_object.h"
#include "platform/timed_task.h"
#include "platform/timer_manager.h"

class CDrawable;
class CImageObject;

// Task kind of the layer effects.
constexpr int32_t kLayerEffectKind = 14003;

// Set from the user block (byte 15): effects made while it is set never lower the priority.
extern uint8_t g_bKeepEffectPriority;

class CLayerEffect : public CTimedTask, public CPluginEffect {
public:
    // Calls the end hook (g_pfnRestoreThreadPriority) when the begin hook was called.
    ~CLayerEffect() override;

    int32_t GetKind() override { return 0; }
    // The name and kind byte the class is registered under.
    virtual const char* GetName() = 0;
    virtual uint8_t GetObjectType() = 0;
    // 0 running; the effect's failure code otherwise (1 null manager, target or arguments,
    // 4 a picture could not be made, 5 not registered or not added; a class adds its own).
    virtual int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) = 0;
    // -2: not supported.
    virtual int SetParamsV(const CEffectArgs& args);
    // Answers go into out at their word's index. -2: not supported.
    virtual int QueryV(const CEffectArgs& in, CEffectArgs* out);
    // Busy state 1 with a begin hook: the hook is called and the state becomes 2.
    virtual void BeginBusy();
    // The drawables the effect shows in place of the sprite it changes (a work sprite, the
    // fading-out picture) move to priority in their lists, as the sprite itself did. The base has
    // none.
    virtual void MoveOwnSprites(uint32_t priority) { (void)priority; }

    template <typename... A>
    int SetUp(CTimerManager* manager, CImageObject* target, A&&... args)
    {
        return SetUpV(manager, target, CEffectArgs::Of(std::forward<A>(args)...));
    }
    template <typename... A>
    int SetParams(A&&... args)
    {
        return SetParamsV(CEffectArgs::Of(std::forward<A>(args)...));
    }
    template <typename... A>
    int Query(CEffectArgs* out, A&&... args)
    {
        return QueryV(CEffectArgs::Of(std::forward<A>(args)...), out);
    }

    // 0 disarmed, 1 armed, 2 the begin hook was called.
    uint8_t GetBusyState() const { return m_busyState; }
    void SetBusyState(uint8_t state) { m_busyState = state; }

protected:
    CLayerEffect() = default;
    // One drawable to priority in the list that holds it (none: nothing).
    static void MoveInItsList(CDrawable* drawable, uint32_t priority);

private:
    uint8_t m_busyState = 1;
};

// Makes the named effect through g_pObjectPluginManager, sets it up on target in
// g_pObjectManager and, when it runs, stores it in *holder (which it clears when it ends).
// 0 running; 1 no registry or the name is not registered (exact bytes); 2 the set-up failed or
// the object is no CLayerEffect (it is released).
int CreateLayerEffect(const char* name, CImageObject* target, const CEffectArgs& args, CLayerEffect** holder);
