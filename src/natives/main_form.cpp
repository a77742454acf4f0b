#include "natives/main_form.h"

#include <algorithm>

#include "display/app_frame.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "natives/game_app_link.h"
#include "platform/app_config.h"
#include "platform/input_manager.h"
#include "platform/keyboard_device.h"
#include "platform/mouse_device.h"
#include "platform/timer_resolution.h"
#include "sound/sound_manager.h"
#include "winapi/kernel_module.h"

CMainForm g_MainForm;

namespace {
constexpr UINT kShowCursorMessage = 0x9000;
constexpr uint32_t kHintPriority = 255;

struct CursorKindRow {
    int code;
    int hintY;
};
// Codes 13 and above name the application's cursor resources 107 + code.
constexpr CursorKindRow kCursorKinds[] = {{0, 20}, {13, 24}, {0, 20}, {5, 22}, {3, 9}, {14, 4}, {7, 22}};

CMouseDevice* FrameMouse() { return g_pAppFrame != nullptr ? g_pAppFrame->GetInput().GetMouse() : nullptr; }
} // namespace

CMainForm::~CMainForm() { m_hintSprite.DetachFromList(); }

void CMainForm::SetCursorPos(int x, int y)
{
    if (g_pAppFrame != nullptr)
        g_pAppFrame->SetCursorPos(x, y);
}

void CMainForm::GetCursorPos(int* x, int* y)
{
    CursorPosition at{-1, -1};
    if (g_pAppFrame != nullptr)
        at = g_pAppFrame->GetCursorPosition();
    if (x != nullptr)
        *x = at.x;
    if (y != nullptr)
        *y = at.y;
}

bool CMainForm::SetCursorKind(int kind)
{
    // Negative kinds would index before the table: ignored like those above it.
    if (kind < 0 || kind >= static_cast<int>(std::size(kCursorKinds)))
        return false;
    if (kind == m_cursorKind)
        return true;
    const CursorKindRow& row = kCursorKinds[kind];
    if (CMouseDevice* mouse = FrameMouse())
        mouse->SetCursorShape(row.code, GetModuleHandleA(nullptr), row.code >= 13 ? 107 + row.code : 0);
    m_cursorKind = kind;
    m_hintOffsetY = row.hintY;
    return true;
}

void CMainForm::SetCursorVisible(bool visible)
{
    if (CMouseDevice* mouse = FrameMouse())
        mouse->SetCursorVisible(visible, g_pAppFrame->GetMainWindow(), kShowCursorMessage);
}

void CMainForm::RestartHintTimer() { m_hoverStart = TimerNow(); }

int CMainForm::GetWidth()
{
    if (g_pDisplay != nullptr && g_pDisplay->GetOutputRect().right > 0)
        return g_pDisplay->GetOutputRect().right;
    return g_pAppFrame != nullptr ? g_pAppFrame->m_options.screenWidth : 0;
}

int CMainForm::GetHeight()
{
    if (g_pDisplay != nullptr && g_pDisplay->GetOutputRect().bottom > 0)
        return g_pDisplay->GetOutputRect().bottom;
    return g_pAppFrame != nullptr ? g_pAppFrame->m_options.screenHeight : 0;
}

void CMainForm::ParkPointer() { SetCursorPos(GetWidth() - 1, GetHeight() - 1); }

int CMainForm::PlaySound(const char*, int channel, int, int)
{
    if (m_sound == nullptr)
        return -2;
    if (channel < 0) {
        if (channel < -4 || channel > -2 || m_eventChannels[channel + 4] < 0)
            return -2;
        channel = m_eventChannels[channel + 4];
    }
    return m_sound->StartChannel(channel, false);
}

bool CMainForm::SetEventChannel(int event, int channel)
{
    if (event < -4 || event > -2)
        return false;
    m_eventChannels[event + 4] = channel < 0 ? -1 : channel;
    return true;
}

int CMainForm::TakeActivatedValue()
{
    const int value = m_result;
    m_result = -1;
    return value;
}

void CMainForm::SetImeOpen(bool open)
{
    if (g_pAppFrame != nullptr)
        g_pAppFrame->SetImeOpen(open);
}

CActionMap* CMainForm::GetActionMap() { return g_pGameApp != nullptr ? g_pGameApp->GetActionMap() : nullptr; }

CInputSource* CMainForm::GetKeyboard()
{
    return g_pAppFrame != nullptr ? g_pAppFrame->GetInput().GetKeyboard() : nullptr;
}

CInputSource* CMainForm::GetMouse() { return FrameMouse(); }

void CMainForm::Reset()
{
    m_result = -1;
    CControlContainer::Reset();
}

void CMainForm::ShowHint(const char* text, int x, int y)
{
    if (m_hintFont == nullptr || m_target == nullptr || text == nullptr || *text == '\0')
        return;
    SIZE size{};
    int32_t ox = 0, oy = 0;
    if (m_hintFont->MeasureString(text, &size, &ox, &oy, 1, nullptr) < 1)
        return;
    const LONG w = size.cx + 10, h = size.cy + 10;
    if (w > 4096 || h > 4096)
        return;
    if (m_hintImage.GetWidth() != w || m_hintImage.GetHeight() != h || m_hintImage.GetBits() == nullptr) {
        m_hintImage.Destroy();
        if (m_hintImage.Create(w, h, 32, 0) != 0)
            return;
    }
    m_hintImage.SetAlphaFlag(true);
    // The fills below cover every pixel but the two 4 x 4 corners the shadow's offset leaves clear.
    m_hintImage.FillRect32XYWH(w - 4, 0, 4, 4, 0);
    m_hintImage.FillRect32XYWH(0, h - 4, 4, 4, 0);
    const RECT inside{1, 1, w - 5, h - 5};
    m_hintImage.FillRect32(0xD0FFFFE1u, &inside);
    constexpr DWORD kFrame = 0xFF445F97u;
    m_hintImage.FillRect32XYWH(0, 0, w - 4, 1, kFrame);
    m_hintImage.FillRect32XYWH(0, h - 5, w - 4, 1, kFrame);
    m_hintImage.FillRect32XYWH(0, 0, 1, h - 4, kFrame);
    m_hintImage.FillRect32XYWH(w - 5, 0, 1, h - 4, kFrame);
    // The shadow band is offset by its own width: its outer corners stay clear.
    constexpr DWORD kShadow = 0x80000000u;
    m_hintImage.FillRect32XYWH(w - 4, 4, 4, h - 4, kShadow);
    m_hintImage.FillRect32XYWH(4, h - 4, w - 8, 4, kShadow);
    m_hintFont->DrawString(&m_hintImage, 3 + ox, 3 + oy, text, nullptr, nullptr);
    if (!m_hintInList || m_hintSprite.GetOwnerList() == nullptr) {
        CDrawList* list = m_target->GetOverlay() != nullptr ? m_target->GetOverlay() : &m_target->GetList();
        m_hintSprite.DetachFromList();
        if (list->Insert(&m_hintSprite, kHintPriority, 0) != 0)
            return;
        m_hintInList = 1;
    }
    m_hintSprite.SetImage(&m_hintImage, nullptr, 0, 0);
    m_hintSprite.SetBlendMode(2);
    PlaceHint(x, y);
    m_hintSprite.SetVisible(true);
}

void CMainForm::PlaceHint(int pointerX, int pointerY)
{
    const int w = m_hintImage.GetWidth(), h = m_hintImage.GetHeight();
    int x = pointerX + m_hintOffsetX, y = pointerY + m_hintOffsetY;
    if (x + w > GetWidth())
        x = GetWidth() - w;
    if (y + h > GetHeight())
        y = pointerY - h;
    // A box larger than the screen starts at its edge rather than off it.
    m_hintSprite.SetPosition(std::max(x, 0), std::max(y, 0));
}

void CMainForm::OnHideHint() { m_hintSprite.SetVisible(false); }

bool CMainForm::PreInput(uint32_t time, bool*, int x, int y)
{
    if (IsHintShown() && m_hintInList)
        PlaceHint(x, y);
    for (CControl* control : GetControls())
        if (control->IsVisible() && control->IsEnabled())
            control->Update(time);
    return true;
}

bool CMainForm::DeliverTextInput(CControl* control)
{
    if (g_pAppFrame == nullptr || control == nullptr || control->GetType() != kControlTextInput)
        return false;
    // The frame hands keys and text to the field's own handlers.
    struct Target : ITextInputTarget {
        CControl* field;
        explicit Target(CControl* c) : field(c) {}
        uint8_t OnKeyDown(int key) override { return field->OnKeyDown(key) ? 1 : 0; }
        uint8_t OnTextInput(const char* bytes, int count) override { return field->OnTextInput(bytes, count) ? 1 : 0; }
    } target(control);
    return g_pAppFrame->DeliverTextInput(&target) != 0;
}

void CMainForm::DetachAndSetTarget(CScene* scene, const void* owner)
{
    m_hintSprite.DetachFromList();
    m_hintInList = 0;
    m_target = scene;
    m_targetOwner = owner;
}

void CMainForm::ForgetObject(const void* object)
{
    if (object == nullptr)
        return;
    if (object == m_target || (m_targetOwner != nullptr && object == m_targetOwner))
        DetachAndSetTarget(nullptr);
    if (object == m_hintFont)
        m_hintFont = nullptr;
}

void ApplyPopupHintSettings()
{
    if (g_pAppConfig != nullptr)
        g_MainForm.SetHintOptions(g_pAppConfig->popupHints != 0, g_pAppConfig->popupHintDelay, 0);
}
