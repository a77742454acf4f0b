// The system menu of the scenario screen: twelve items from a parts file over a background
// picture, placed near the pointer, each answering a result code to the frame's run loop; the
// last one ends the game after a question.
#include <algorithm>

#include "controls/control.h"
#include "controls/control_container.h"
#include "controls/control_set.h"
#include "controls/parts_file_b.h"
#include "display/image_object.h"
#include "drawing/draw_list.h"
#include "drawing/sprite.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "sound/sound_player.h"
#include "winapi/text.h"

namespace {

constexpr int kItemPitch = 22;
constexpr int kFirstItemCentre = 19;
constexpr uint32_t kButtonFadeMs = 150;
constexpr int kQuitItem = 11;
constexpr int kSkipItem = 5;
constexpr int kRightX = CTgsFrame::kScreenWidth - CTgsFrame::kSystemMenuWidth;   // 667
constexpr int kLowY = CTgsFrame::kScreenHeight - CTgsFrame::kSystemMenuHeight;   // 320

const AppConfig* Settings()
{
    return g_pAppConfig;
}

} // namespace

void CTgsFrame::SystemMenuPlace(int x, int y, int start, int* left, int* top)
{
    start = std::clamp(start, 0, kSystemMenuItems - 1);
    POINT p{0, 0};
    if (x == -2) {
        p.x = kRightX;
    } else {
        p.x = x - 66;
        if (p.x < 0)
            p.x = 0;
        if (p.x + kSystemMenuWidth > kScreenWidth)
            p.x = kRightX;
    }
    if (y == -2) {
        p.y = kLowY;
    } else {
        p.y = y - (start * kItemPitch + kFirstItemCentre);
        if (p.y < 0)
            p.y = 0;
        if (p.y + kSystemMenuHeight > kScreenHeight)
            p.y = kLowY;
    }
    *left = p.x;
    *top = p.y;
}

int CTgsFrame::SystemMenuResult(int item)
{
    static constexpr int kResults[] = {9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18};
    return item >= 0 && item < static_cast<int>(std::size(kResults)) ? kResults[item] : -1;
}

void CTgsFrame::PlaySystemSound(int32_t channel)
{
    if (g_pSoundManager != nullptr && (Settings() == nullptr || Settings()->systemSeOn != 0))
        g_pSoundManager->StartChannel(channel, false);
}

int CTgsFrame::FadeAlpha(uint32_t time, bool in, const std::function<void(int)>& apply)
{
    const uint32_t start = Clock();
    while (true) {
        const uint32_t e = Clock() - start;
        const int level = e >= time ? 255 : static_cast<int>(uint64_t{e} * 255 / time);
        apply(in ? level : 255 - level);
        if (e >= time)
            return 0;
        if (StepFrame() == 0) {
            apply(in ? 255 : 0);
            return -1;
        }
    }
}

void CTgsFrame::SetSystemButtonsAlpha(int alpha)
{
    for (CControl* c : m_systemButtons)
        if (c != nullptr)
            c->SetAlpha(alpha);
    if (m_systemMenuSprite)
        m_systemMenuSprite->SetAlpha(static_cast<BYTE>(alpha));
}

int CTgsFrame::ShowSystemButtons(bool fade, bool show)
{
    m_systemButtonsShown = show ? 1 : 0;
    auto visible = [&](bool on) {
        for (CControl* c : m_systemButtons)
            if (c != nullptr)
                c->SetVisible(on);
        if (m_systemMenuSprite)
            m_systemMenuSprite->SetVisible(on);
    };
    if (show)
        visible(true);
    int r = 0;
    if (fade)
        r = FadeAlpha(kButtonFadeMs, show, [&](int alpha) { SetSystemButtonsAlpha(alpha); });
    else
        SetSystemButtonsAlpha(255);
    if (!show) {
        visible(false);
        SetSystemButtonsAlpha(255);
    }
    return r;
}

void CTgsFrame::CloseSystemMenu()
{
    CControlSet* set = m_link != nullptr ? m_link->ScriptControls() : nullptr;
    for (CControl*& c : m_systemButtons) {
        if (c != nullptr && set != nullptr)
            set->RemoveControl(c);
        c = nullptr;
    }
    if (m_systemMenuSprite) {
        if (CDrawList* list = m_systemMenuSprite->GetOwnerList())
            list->Remove(m_systemMenuSprite.get());
        m_systemMenuSprite.reset();
    }
    m_systemMenuImage.reset();
    m_systemButtonsShown = 0;
}

int CTgsFrame::RunSystemMenu()
{
    if (!m_setUp || m_link == nullptr || m_form == nullptr)
        return -1;
    CControlSet* set = m_link->ScriptControls();
    CDrawList* overlay = m_canvas->GetOverlayList();
    if (set == nullptr || overlay == nullptr)
        return -1;
    StopTransition();
    if (m_messageWindow)
        m_messageWindow->ShowWaitIcon(false);
    CloseSystemMenu();

    CPartsFileB parts;
    const int32_t savedId = set->currentId;
    const uint8_t savedOverlay = set->useOverlay;
    set->currentId = kSystemMenuId;
    set->useOverlay = 1;
    const int loaded = parts.Load(set, m_form, "SYS/SM_BG.GMP", kSystemMenuValue, kSystemMenuPriority + 1, false,
                                  nullptr);
    set->currentId = savedId;
    set->useOverlay = savedOverlay;
    if (loaded != 0)
        return -1;
    for (size_t i = 0; i < m_systemButtons.size() && i < parts.GetCount(); ++i)
        m_systemButtons[i] = parts.GetControl(i);
    // Controls past the twelfth are no items: they go at once.
    for (size_t i = m_systemButtons.size(); i < parts.GetCount(); ++i)
        set->RemoveControl(parts.GetControl(i));
    parts.Clear();

    int mx = 0, my = 0;
    m_link->GetMousePos(&mx, &my);
    const int start = Settings() != nullptr ? Settings()->systemMenuStart : 0;
    int atX = 0, atY = 0;
    SystemMenuPlace(mx, my, start, &atX, &atY);
    m_systemMenuImage = LoadPicture("SYS/SM_BASE.ELG");
    if (m_systemMenuImage) {
        m_systemMenuSprite = std::make_unique<CSprite>();
        m_systemMenuSprite->SetImage(m_systemMenuImage.get(), nullptr, atX, atY);
        m_systemMenuSprite->SetBlendMode(2);
        overlay->Insert(m_systemMenuSprite.get(), kSystemMenuPriority, 0);
    }
    for (size_t i = 0; i < m_systemButtons.size(); ++i) {
        CControl* c = m_systemButtons[i];
        if (c == nullptr)
            continue;
        c->SetPosition(c->GetX() + atX, c->GetY() + atY);
        if (i < static_cast<size_t>(kMenuItems))
            c->SetEnabled(m_menuState[i] != 0);
    }
    // The items are pictures: the text they carry is their hint. The skip item names its action
    // while a skip to the next choice is possible.
    if (CControl* skip = m_systemButtons[kSkipItem]; skip != nullptr && m_menuState[kSkipItem] != 0)
        skip->SetHintText(winapi::Utf8ToSjis("次の選択肢までスキップ").c_str());
    // A choice made before the menu opened is not the menu's.
    m_form->TakeActivatedValue();
    PlaySystemSound(1);
    const bool quick = Settings() != nullptr && Settings()->fastSystemScreens != 0;
    if (ShowSystemButtons(!quick, true) < 0) {
        CloseSystemMenu();
        return -2;
    }

    int result = -1;
    while (true) {
        if (StepFrame() == 0) {
            CloseSystemMenu();
            return -2;
        }
        m_link->HandleInput();
        const int v = m_form->TakeActivatedValue();
        if (v >= kSystemMenuValue && v < kSystemMenuValue + kSystemMenuItems) {
            const int item = v - kSystemMenuValue;
            if (item != kQuitItem) {
                result = SystemMenuResult(item);
                break;
            }
            PlaySystemSound(2);
            ShowSystemButtons(false, false);
            CloseSystemMenu();
            m_questionText = winapi::Utf8ToSjis("ゲームを終了します。\r\nよろしいですか？");
            if (RunMenuCommand(7, 4) != 0 || m_link->QuestionAnswer() != 1)
                return -1;
            PlaySystemSound(1);
            m_musicNumber = 0;
            m_link->PlayBgm(0, 1000, true);
            StopTransition();
            ReleaseEffects();
            ClearLayer(0, 1);
            ResetSpriteGroups(1, -1);
            TransCross(1000);
            return -2;
        }
        TgsInput in;
        m_link->ReadInput(&in);
        bool outside = false;
        if (in.click) {
            int x = 0, y = 0;
            m_link->GetMousePos(&x, &y);
            const int left = m_systemMenuSprite ? m_systemMenuSprite->GetX() : atX;
            const int top = m_systemMenuSprite ? m_systemMenuSprite->GetY() : atY;
            outside = x < left || y < top || x >= left + kSystemMenuWidth || y >= top + kSystemMenuHeight;
        }
        if (in.cancel || outside) {
            PlaySystemSound(2);
            if (ShowSystemButtons(!quick, false) < 0) {
                CloseSystemMenu();
                return -2;
            }
            break;
        }
    }
    CloseSystemMenu();
    return result;
}
