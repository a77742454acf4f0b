#include "natives/caption.h"

#include <new>

#include "controls/control.h"
#include "controls/control_parts.h"
#include "display/path_move_task.h"
#include "display/screen.h"
#include "display/sprite_setup.h"
#include "drawing/text_image.h"
#include "effects/cursor_move.h"
#include "natives/game_app_link.h"
#include "natives/main_form.h"
#include "platform/timer_manager.h"
#include "sound/sound_player.h"

CCaption g_Caption;
CCaption* g_pCaption = nullptr;

namespace {
constexpr LONG kX = 12;
constexpr LONG kHiddenY = 600;
constexpr uint32_t kSegmentMs = 400;
constexpr uint32_t kGlideMs = 140;
// In from below, three segments in place, out again fading.
constexpr int32_t kPath[] = {12, 575, 255, 12, 575, 255, 12, 575, 255, 12, 575, 255, 12, 600, 0};
} // namespace

void CCaption::SetUp()
{
    m_font.SetFont(14, 0, 0, nullptr);
    m_font.SetTextColor(0, 0, 0);
    m_font.SetEffect(3, 0, 0, 0);
    m_bigFont.SetFont(19, 0, 0, nullptr);
    m_bigFont.SetTextColor(255, 255, 255);
    m_bigFont.SetEffect(4, 34, 75, 179);
    m_bigFont.SetOutline(m_bigFont.m_outlineStrength, 2);
    m_form = &g_MainForm;
    ApplyPopupHintSettings();
    g_pCaption = this;
}

void CCaption::TearDown()
{
    DropMotionTask();
    m_sprite.DetachFromList();
    m_sprite.Reset();
    m_image.Destroy();
    m_spriteInUse = 0;
    m_form = nullptr;
    if (g_pCaption == this)
        g_pCaption = nullptr;
}

void CCaption::DropMotionTask()
{
    if (m_task != nullptr && g_pObjectManager != nullptr)
        g_pObjectManager->Cancel(m_task);
    m_task = nullptr;
}

CPathMoveTask* CCaption::GetValidHandle() const
{
    return m_task != nullptr && g_pObjectManager != nullptr && g_pObjectManager->Contains(m_task) ? m_task : nullptr;
}

int CCaption::ShowText(const char* text, uint32_t time)
{
    if (CreateTextImage(&m_image, text, &m_font, 0) != 0)
        return 1;
    if (m_spriteInUse) {
        m_sprite.SetImage(&m_image, nullptr, kX, kHiddenY);
        m_sprite.SetAlpha(255);
        m_sprite.SetVisible(true);
    } else {
        // Layer 2, with the display's current layer as it was.
        const DWORD layer = g_pDisplay != nullptr ? g_pDisplay->GetDrawableGroup() : 0;
        if (g_pDisplay != nullptr)
            g_pDisplay->SetDrawableGroup(2);
        const int placed = SetUpSpriteFromImage(&m_sprite, &m_image, kX, kHiddenY, 0, 0, -1, 0, 0, 0, 100, true, 0,
                                                nullptr);
        if (g_pDisplay != nullptr)
            g_pDisplay->SetDrawableGroup(layer);
        m_spriteInUse = placed == 0 ? 1 : 0;
    }
    DropMotionTask();
    auto* task = new (std::nothrow) CPathMoveTask(kSegmentMs, time, 1, 0.0, 1, 0, 0, 0);
    if (task == nullptr)
        return 2;
    if (task->SetPoints(std::size(kPath) / 3, kPath) != 0) {
        delete task;
        return 2;
    }
    if (g_pObjectManager == nullptr || task->SetTarget(g_pObjectManager, &m_sprite) != 0) {
        if (g_pObjectManager != nullptr && g_pObjectManager->Contains(task))
            g_pObjectManager->Cancel(task);
        else
            delete task;
        return 3;
    }
    m_task = task;
    task->SetOwnerSlot(&m_task);
    if (g_pSoundManager != nullptr)
        g_pSoundManager->StartChannel(0, false);
    return 0;
}

int CCaption::MoveCursorToObject(CControl* object, bool wait, CControl** out)
{
    if (object == nullptr || m_form == nullptr)
        return -2;
    int x = 0, y = 0;
    m_form->GetCursorPos(&x, &y);
    const ControlPart part = GetObjectPart(object, 0);
    // The parked place is the screen's last pixel, whatever the screen's size.
    if (!part || (x == m_form->GetWidth() - 1 && y == m_form->GetHeight() - 1)) {
        m_form->SetFocus(object);
        return 1;
    }
    RECT r{object->GetX(), object->GetY(), object->GetX() + object->GetWidth(), object->GetY() + object->GetHeight()};
    if (part.drawable != nullptr)
        part.drawable->GetScreenRect(&r);
    CCursorMoveEffect* task = nullptr;
    StartCursorMove((r.left + r.right) / 2, (r.top + r.bottom) / 2, kGlideMs, 1, 1, &task);
    if (out != nullptr)
        *out = object;
    if (!wait || task == nullptr)
        return 0;
    // The slot is nulled when the task ends and is deleted.
    task->SetOwnerSlot(&task);
    while (task != nullptr) {
        if (g_pGameApp == nullptr || g_pGameApp->StepFrame() == 0) {
            if (task != nullptr)
                task->SetOwnerSlot<CCursorMoveEffect>(nullptr);
            return -1;
        }
    }
    return 0;
}
