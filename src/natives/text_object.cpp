#include "natives/text_object.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control_container.h"
#include "controls/toggle_button.h"
#include "display/app_frame.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/drawable.h"
#include "drawing/glyph_font.h"
#include "natives/game_app_link.h"
#include "natives/main_form.h"
#include "platform/action_map.h"
#include "platform/app_config.h"
#include "platform/input_manager.h"
#include "platform/mouse_device.h"
#include "platform/skip_key.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "script/message_store.h"
#include "script/tagged_text.h"
#include "winapi/text.h"

namespace {

// A numeric tag's height is script text: kept where the panel can lay lines out.
constexpr int32_t kMaxFontHeight = 4096;
constexpr uint32_t kActionGoOn = 19;

AppConfig Settings() { return g_pAppConfig != nullptr ? *g_pAppConfig : AppConfig{}; }

// The text objects alive now, for the ends of what they link to.
std::recursive_mutex g_liveLock; // an end may report further ends (a cancelled animation)
std::vector<CTextObject*> g_live;

CInputSource* Keyboard() { return g_pAppFrame != nullptr ? g_pAppFrame->GetInput().GetKeyboard() : nullptr; }

// The character token the parser just passed, from before to its cursor.
std::string_view TokenAt(const CMessageStore& reader, size_t before)
{
    return std::string_view(reader.Body()).substr(before, reader.ParseCursor() - before);
}

// Draws one character token as a C string of its own ("<<" stands for "<"); a keystroke of
// typing allocates nothing for it.
int DrawToken(CTextObject& owner, std::string_view token)
{
    if (token == "<<")
        token = "<";
    // A two-byte character, or one byte other than '@' (which reads on for its digits): the
    // drawing reads no byte past the token, so it reads the body in place.
    if ((token.size() == 2 && winapi::IsSjisLeadByte(static_cast<unsigned char>(token[0]))) ||
        (token.size() == 1 && token[0] != '@' && !winapi::IsSjisLeadByte(static_cast<unsigned char>(token[0])))) {
        const char* p = token.data();
        return owner.DrawNextChar(&p);
    }
    char small[16];
    std::string large;
    const char* p = small;
    if (token.size() < sizeof small) {
        std::memcpy(small, token.data(), token.size());
        small[token.size()] = 0;
    } else {
        large.assign(token);
        p = large.c_str();
    }
    return owner.DrawNextChar(&p);
}

} // namespace

// --- CTypingTask ---

int32_t CTypingTask::Step(uint32_t now)
{
    if (m_owner.IsVisible())
        Update(now);
    return 0;
}

void CTypingTask::PauseClockOnce()
{
    if (!IsPaused())
        Pause(TimerNow());
}

void CTypingTask::EnterWait(int8_t kind)
{
    m_lastKind = kind;
    m_phase = kWaiting;
    m_owner.ShowWait();
}

void CTypingTask::RestoreFontHeight()
{
    if (m_baseHeight == 0)
        return;
    if (CGlyphFont* font = m_owner.Font()) {
        font->SetHeight(m_baseHeight);
        m_owner.UpdateLineMetrics();
    }
    m_baseHeight = 0;
}

int CTypingTask::StepTokens(bool all)
{
    CMessageStore* reader = m_owner.Reader();
    if (reader == nullptr)
        return 1;
    if (m_pageFull) {
        m_pageFull = 0;
        m_owner.NewPage();
    }
    for (;;) {
        const size_t before = reader->ParseCursor();
        const int kind = reader->ParseNextToken();
        switch (kind) {
        case 0: {
            const std::string_view ch = TokenAt(*reader, before);
            int result = 0;
            if (ch == "\\") {
                // A line that does not fit is the page's end; the break itself is used up.
                if (m_owner.NewLine())
                    result = 2;
            } else {
                result = DrawToken(m_owner, ch);
                if (result >= 1)
                    reader->SetParseCursor(before);
            }
            if (result >= 1) {
                m_pageFull = 1;
                EnterWait(3);
                return 0;
            }
            if (!all) {
                m_lastKind = 0;
                return 0;
            }
            break;
        }
        case 1:
        case 2:
        case 3:
            EnterWait(static_cast<int8_t>(kind));
            return 0;
        case 4:
            m_owner.NewPage();
            break;
        case 5:
            if (!m_finishedOnce) {
                m_finishedOnce = 1;
                PauseClockOnce();
            }
            m_lastKind = 5;
            m_phase = kFinished;
            RestoreFontHeight();
            return 0;
        case 6:
            m_owner.DrawTextAt(reader->TagString().c_str(), -1, -1, true);
            if (!all) {
                m_lastKind = 0;
                return 0;
            }
            break;
        case 7:
            if (CGlyphFont* font = m_owner.Font()) {
                if (m_baseHeight == 0)
                    m_baseHeight = std::abs(font->m_logFont.lfHeight);
                // Script text gives the sum: a zero height would leave the panel no line height.
                const int64_t height =
                    std::clamp<int64_t>(int64_t{reader->TagValue()} + m_baseHeight, 1, kMaxFontHeight);
                font->SetHeight(static_cast<int32_t>(height));
                m_owner.UpdateLineMetrics();
            }
            break;
        case 8:
            break;
        default:
            m_lastKind = -1;
            return 1;
        }
    }
}

void CTypingTask::TypeRestOfPage()
{
    CMessageStore* reader = m_owner.Reader();
    m_phase = kPageAtOnce;
    // The characters typed here are marked changed as one rectangle.
    struct HeldMarks {
        CTextObject& panel;
        explicit HeldMarks(CTextObject& p) : panel(p) { panel.HoldChangeMarks(); }
        ~HeldMarks() { panel.ReleaseChangeMarks(); }
        HeldMarks(const HeldMarks&) = delete;
        HeldMarks& operator=(const HeldMarks&) = delete;
    } held(m_owner);
    if (reader != nullptr) {
        if (m_pageFull) {
            m_pageFull = 0;
            m_owner.NewPage();
        }
        for (bool done = false; !done;) {
            const size_t before = reader->ParseCursor();
            const int kind = reader->ParseNextToken();
            switch (kind) {
            case 0: {
                const std::string_view ch = TokenAt(*reader, before);
                if (ch == "\\") {
                    if (m_owner.NewLine()) {
                        m_pageFull = 1;
                        done = true;
                    }
                } else {
                    if (DrawToken(m_owner, ch) >= 1) {
                        reader->SetParseCursor(before);
                        m_pageFull = 1;
                        done = true;
                    }
                }
                m_lastKind = 0;
                break;
            }
            case 1:
            case 2:
            case 3:
            case 8:
                break;
            case 4:
                m_lastKind = 4;
                done = true;
                break;
            case 5:
                m_lastKind = 5;
                RestoreFontHeight();
                done = true;
                break;
            case 6:
                m_owner.DrawTextAt(reader->TagString().c_str(), -1, -1, true);
                m_lastKind = 6;
                done = true;
                break;
            case 7:
                if (CGlyphFont* font = m_owner.Font()) {
                    if (m_baseHeight == 0)
                        m_baseHeight = std::abs(font->m_logFont.lfHeight);
                    const int64_t height =
                        std::clamp<int64_t>(int64_t{reader->TagValue()} + m_baseHeight, 1, kMaxFontHeight);
                    font->SetHeight(static_cast<int32_t>(height));
                    m_owner.UpdateLineMetrics();
                }
                break;
            default:
                m_lastKind = -1;
                done = true;
                break;
            }
        }
    }
    m_finishedOnce = 1;
    PauseClockOnce();
    m_phase = kFinished;
}

int CTypingTask::Resume()
{
    if (m_phase != kWaiting)
        return 1;
    m_owner.HideWait();
    m_phase = kTyping;
    return 0;
}

void CTypingTask::Update(uint32_t now)
{
    const AppConfig s = Settings();
    if ((IsSkipKeyDown(Keyboard()) && (s.noFastForwardUnread == 0 || m_alreadyRead)) || m_owner.IsLinkedOn()) {
        if (m_phase != kFinished)
            TypeRestOfPage();
        return;
    }
    if (m_phase == kFinished || m_phase == kPageAtOnce)
        return;
    if (m_phase == kTyping && m_owner.GetClickAdvance() && CTextObject::PlayerAsksToGoOn()) {
        StepTokens(true);
        return;
    }
    if (m_phase == kWaiting) {
        if (!CTextObject::PlayerAsksToGoOn())
            return;
        m_owner.HideWait();
        m_phase = kTyping;
    }
    if (now >= m_nextTime) {
        m_phase = kTyping;
        StepTokens(m_noWait != 0);
        m_nextTime = now + m_charTime;
    }
}

void CTypingTask::Begin(bool flag)
{
    const AppConfig s = Settings();
    CMessageStore* reader = m_owner.Reader();
    m_alreadyRead = reader != nullptr && reader->AlreadyRead() ? 1 : 0;
    m_noWait = m_alreadyRead ? s.readNoWait : s.unreadNoWait;
    m_charTime = m_alreadyRead ? s.readCharMs : s.unreadCharMs;
    m_fastForward = s.option28 != 0 && m_alreadyRead && flag ? 1 : 0;
    m_pageFull = 0;
    bool skipCounts = IsSkipKeyDown(Keyboard());
    CToggleButton* linked = m_owner.LinkedControl();
    if (!m_alreadyRead) {
        if (s.noFastForwardUnread != 0)
            skipCounts = false;
        if (linked != nullptr) {
            if (s.skipStopsAtUnread == 0) {
                linked->SetEnabled(true);
            } else {
                linked->SetEnabled(false);
                if (m_owner.IsLinkedOn())
                    linked->SetChecked(false);
            }
        }
    } else {
        if (CTextObject::PlayerAsksToGoOn() || (g_pGameApp != nullptr && g_pGameApp->IsDialogBusy()))
            m_fastForward = 0;
        if (linked != nullptr)
            linked->SetEnabled(true);
    }
    // A finished text paused the clock: the new one runs again.
    if (IsPaused())
        Resume(TimerNow());
    m_finishedOnce = 0;
    if (m_fastForward || skipCounts || m_owner.IsLinkedOn()) {
        TypeRestOfPage();
        return;
    }
    m_phase = kIdle;
    m_nextTime = 0;
}

// --- CTextObject ---

CTextObject::CTextObject(CMessageStore* reader, CTimerManager* tasks) : m_reader(reader), m_tasks(tasks)
{
    std::lock_guard lock(g_liveLock);
    g_live.push_back(this);
}

CTextObject::~CTextObject()
{
    {
        std::lock_guard lock(g_liveLock);
        std::erase(g_live, this);
    }
    if (m_tasks != nullptr) {
        if (m_typing != nullptr)
            m_tasks->Cancel(m_typing);
        if (m_anim != nullptr)
            m_tasks->Cancel(m_anim);
    }
}

bool CTextObject::PlayerAsksToGoOn()
{
    if (g_pGameApp != nullptr)
        if (CActionMap* actions = g_pGameApp->GetActionMap())
            if (actions->IsPushed(kActionDecide) || actions->IsPushed(kActionGoOn))
                return true;
    if (g_pAppFrame == nullptr || g_MainForm.GetCapture() != nullptr)
        return false;
    CMouseDevice* mouse = g_pAppFrame->GetInput().GetMouse();
    return mouse != nullptr && mouse->IsPushed(0);
}

bool CTextObject::IsLinkedOn() const
{
    if (m_linked == nullptr)
        return false;
    const int state = m_linked->GetState();
    return state == 3 || state == 4 || state == 5 || state == 7;
}

void CTextObject::ShowWait()
{
    if (m_anim == nullptr || m_waitShown)
        return;
    m_anim->ResumeClock();
    if (m_sheet != nullptr)
        for (CDrawable* user : m_sheet->GetUsers())
            user->SetVisible(true);
    m_waitShown = 1;
}

void CTextObject::HideWait()
{
    if (m_anim == nullptr || !m_waitShown)
        return;
    m_anim->PauseClock();
    if (m_sheet != nullptr)
        for (CDrawable* user : m_sheet->GetUsers())
            user->SetVisible(false);
    m_waitShown = 0;
}

void CTextObject::SetTypingAnimation(CCellSheet* sheet)
{
    if (m_anim != nullptr && m_tasks != nullptr)
        m_tasks->Cancel(m_anim);
    m_anim = nullptr;
    m_waitShown = 0;
    m_sheet = sheet;
}

void CTextObject::ForgetObject(const void* object)
{
    if (m_namePanel != nullptr && object == static_cast<const CControl*>(m_namePanel))
        m_namePanel = nullptr;
    if (m_linked != nullptr && object == static_cast<const CControl*>(m_linked))
        m_linked = nullptr;
    if (m_sheet != nullptr && object == m_sheet)
        SetTypingAnimation(nullptr);
}

void CTextObject::ForgetEverywhere(const void* object)
{
    std::lock_guard lock(g_liveLock);
    for (CTextObject* text : g_live)
        text->ForgetObject(object);
}

int CTextObject::EnsureTasks()
{
    if (m_reader == nullptr || m_tasks == nullptr)
        return 1;
    if (m_typing == nullptr) {
        auto* task = new (std::nothrow) CTypingTask(*this);
        if (task == nullptr)
            return 2;
        if (m_tasks->Add(task, 0, 0, 0) != 0) {
            delete task;
            return 2;
        }
        m_typing = task;
        task->SetOwnerSlot(&m_typing);
    }
    if (m_sheet != nullptr && m_anim == nullptr) {
        auto* anim = new (std::nothrow) CAnimTask;
        if (anim == nullptr)
            return 3;
        if (anim->Setup(m_tasks, m_sheet, nullptr, 0, 0, 0, 0, nullptr) != 0) {
            if (!m_tasks->Contains(anim))
                delete anim;
            else
                m_tasks->Cancel(anim);
            return 3;
        }
        m_anim = anim;
        anim->SetOwnerSlot(&m_anim);
        // Made hidden: shown at the first pause.
        m_waitShown = 1;
        HideWait();
    }
    return 0;
}

int CTextObject::StartTyping(bool flag)
{
    if (const int code = EnsureTasks(); code != 0)
        return code;
    m_typing->RestoreFontHeight();
    NewPage();
    HideWait();
    if (!IsVisible())
        SetVisible(true);
    if (m_namePanel != nullptr) {
        char name[256] = {};
        const uint32_t length = m_reader->CopyLine(name, sizeof name, 1);
        if (length > 1) {
            m_namePanel->ResetTextCursor(true);
            m_namePanel->DrawTextAt(name, -1, -1, true);
            m_namePanel->SetVisible(true);
        } else {
            m_namePanel->SetVisible(false);
        }
    }
    m_voiceName[0] = '\0';
    const uint32_t voice = m_reader->CopyLine(nullptr, 0, 2);
    if (voice > sizeof m_voiceName)
        return 2;
    if (voice > 1)
        m_reader->CopyLine(m_voiceName, sizeof m_voiceName, 2);
    m_typing->Begin(flag);
    return 0;
}

int CTextObject::AdvanceTyping() { return StartTyping(true); }

int CTextObject::ControlTyping(int code)
{
    if (m_typing == nullptr)
        return 1;
    switch (code) {
    case 0:
        m_typing->StepTokens(true);
        return 0;
    case 1:
        // Bounded by the text: every step moves the reader on or stops at the end.
        while (m_typing->StepTokens(false) == 0 && m_typing->GetLastKind() < 2) {
        }
        return 0;
    case 2:
        m_typing->TypeRestOfPage();
        return 0;
    case 3:
        m_typing->Resume();
        return 0;
    default:
        return 2;
    }
}

// --- CTextObjectList ---

int CTextObjectList::AddTextObject(CTextObject** out, int x, int y, int width, int height, CGlyphFont* font,
                                   CGlyphFont* ruby, uint8_t maskChoice, uint32_t color, uint8_t alpha, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CTextObject(g_pScriptTextObject, g_pObjectManager);
    if (c == nullptr)
        return -2;
    if (maskChoice || color || alpha)
        c->SetBackgroundColor(maskChoice, color, alpha, true);
    if (const int result = c->Create(Target(), priority, width, height, x, y, font, ruby, currentId); result != 0) {
        delete c;
        return result;
    }
    Adopt(c);
    *out = c;
    return 0;
}
