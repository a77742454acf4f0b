// The scenario engine over the decoder: construction, set-up and start-up, the scene's clearing,
// the display settings, the waits and the message side of the frame.
#include <algorithm>
#include <cstring>

#include "controls/control.h"
#include "controls/control_container.h"
#include "controls/control_set.h"
#include "controls/parts_file_b.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "drawing/installed_font_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "files/file_stream.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "sound/sound_player.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "script/script_transfer.h"
#include "winapi/text.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

const AppConfig& Config()
{
    static AppConfig defaults = [] {
        AppConfig c{};
        SetAppConfigDefaults(&c);
        return c;
    }();
    return g_pAppConfig != nullptr ? *g_pAppConfig : defaults;
}

std::string Sjis(const char* utf8)
{
    return winapi::Utf8ToSjis(utf8);
}

std::string SettingsFace()
{
    const AppConfig& c = Config();
    return std::string(c.faceName, strnlen(c.faceName, sizeof c.faceName));
}

void SetColour(CGlyphFont* font, uint32_t rgb)
{
    if (font != nullptr)
        font->SetTextColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}

// The frame pictures PREFIX + B (decoration), A and G (masks) that exist; the size of the first
// found. A missing picture is left out, so a window with none is frameless.
struct FramePictures {
    std::string names[3];
    bool found[3] = {};
    bool Any() const { return found[0] || found[1] || found[2]; }
    const char* Name(int i) const { return found[i] ? names[i].c_str() : nullptr; }
    void Load(CTextPanel& panel) const
    {
        if (Any())
            panel.LoadFrameImages(Name(0), Name(1), Name(2), true);
    }
};

FramePictures FindFramePictures(const char* prefix, SIZE* size)
{
    FramePictures f;
    const char* letters[3] = {"B", "A", "G"};
    bool sized = false;
    for (int i = 0; i < 3; ++i) {
        f.names[i] = std::string(prefix) + letters[i] + ".ELG";
        CImage probe;
        f.found[i] = probe.LoadWithPalette(f.names[i].c_str(), nullptr, 0, 0) == 0 && probe.GetBits() != nullptr;
        if (f.found[i] && !sized) {
            *size = SIZE{probe.GetWidth(), probe.GetHeight()};
            sized = true;
        }
    }
    return f;
}

// Menu-command numbers of the window commands.
struct MenuCommandRow {
    int command;
    uint32_t windowCommand; // 0: the Yes/No request
};
constexpr MenuCommandRow kMenuCommands[] = {{3, 40007}, {4, 40008}, {7, 0}, {8, 40005}, {11, 40002}};

// Window-menu commands by index of actions 6-17 (18 and 19: nothing).
constexpr int kActionCommands[] = {6, 3, 4, 0, 1, 9, 10, 8, 7, 5, 2, 11};

} // namespace

std::unique_ptr<CImage> CTgsFrame::LoadPicture(const char* name)
{
    auto image = std::make_unique<CImage>();
    if (image->Load(name, nullptr, 0, 0) != 0 || image->GetBits() == nullptr)
        return nullptr;
    return image;
}

CTgsFrame::CTgsFrame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host)
{
    m_link = link;
    AddHandlers();
    InitMembers();
}

void CTgsFrame::InitMembers()
{
    m_ruleNumber = -1;
    InitLayers();
    const uint8_t pages = Config().historyPages;
    m_textLog.SetCapacity(pages == 0 ? 0 : pages + 1);
}

uint32_t CTgsFrame::Clock()
{
    return m_link != nullptr ? m_link->Now() - m_pausedTotal : 0;
}

int CTgsFrame::StepFrame()
{
    // A loaded state replaced the scene: every wait ends until the scenario resumes.
    if (m_link == nullptr || m_stateReplaced != 0)
        return 0;
    const int r = m_link->StepFrame();
    if (m_stateReplaced != 0)
        return 0;
    if (m_messageWindow)
        m_messageWindow->Update(Clock());
    return r;
}

int CTgsFrame::LoadBackgroundTable(const char* name)
{
    m_bgTable.clear();
    CFileStream file;
    if (name == nullptr || file.OpenInMemory(name) != 0 || file.GetBuffer() == nullptr)
        return 1;
    return ParseBackgroundTable(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize(), &m_bgTable);
}

int CTgsFrame::CreateMessageWindow(CImageObject* target, CControlContainer* form)
{
    if (form == nullptr || m_link == nullptr)
        return 1;
    if (target == nullptr) {
        auto canvas = std::make_unique<CSurfaceSprite>();
        if (canvas->Create(kScreenWidth, kScreenHeight, 32, 2) != 0)
            return 2;
        m_ownCanvas = std::move(canvas);
        m_canvas = m_ownCanvas.get();
    } else {
        if (target->GetScene() == nullptr || target->GetImage() == nullptr || target->GetImage()->GetBits() == nullptr)
            return 2;
        m_ownCanvas.reset();
        m_canvas = target;
    }
    m_form = form;
    if (AttachScreens() != 0)
        return 2;
    LoadBackgroundTable("DATA/BG.TXT");
    const std::string face = SettingsFace();
    for (size_t i = 0; i < 4; ++i)
        m_fonts[i] = std::make_unique<CGlyphFont>();
    for (size_t i = 0; i < 2; ++i) {
        m_fonts[i]->SetFont(i == 0 ? 24 : 13, 0, 0, face.c_str());
        SetColour(m_fonts[i].get(), kWhite);
        m_fonts[i]->SetGradient(0, 0xFFEB00, 0xFF4646, 0);
    }
    const std::string backlogFace = Sjis("ＭＳＰ ゴシック");
    for (size_t i = 2; i < 4; ++i) {
        if (m_fonts[i]->SetFont(i == 2 ? 24 : 13, 0, 0, backlogFace.c_str()) != 0)
            m_fonts[i]->SetFont(i == 2 ? 24 : 13, 0, 0, face.c_str());
        m_fonts[i]->SetEffect(2, 0, 0, 0);
        m_fonts[i]->SetOutline(2, 2);
    }
    m_workImages[0] = LoadPicture("SYS/MS_CUR0.ELG");
    m_workImages[1] = LoadPicture("SYS/MS_CUR1.ELG");
    m_setUp = 1;
    return 0;
}

void CTgsFrame::SetMenuControlState(int item, int state)
{
    if (item < 0 || item >= kMenuItems)
        return;
    m_menuState[static_cast<size_t>(item)] = static_cast<uint8_t>(state < 0 ? 0 : std::min(state, 2));
    // A parts file that made fewer items leaves the rest absent: they are skipped.
    if (CControl* c = m_menuItems[static_cast<size_t>(item)])
        c->SetEnabled(state != 0);
}

int CTgsFrame::StartScenario(bool resume)
{
    if (!m_setUp)
        return -2;
    m_handlerCounter = 0;
    m_skipMode = m_pageSkip = m_noDisplay = m_readMessage = m_autoPlay = 0;
    m_skippable = 1;
    m_resumedPage = resume ? 1 : 0;
    m_stateReplaced = 0;
    CScene* scene = m_canvas->GetScene();
    CDrawList* list = scene != nullptr ? &scene->GetList() : nullptr;
    m_screenImage = std::make_unique<CImage>();
    m_screenImage->Create(m_canvas->GetImage()->GetWidth(), m_canvas->GetImage()->GetHeight(), 8, 0);

    // Message window: a frameless window when the SYS pictures are missing.
    if (!m_messageWindow) {
        m_messageWindow = std::make_unique<CMessageWindow>();
        SIZE size{kScreenWidth - 30, 110};
        const FramePictures frame = FindFramePictures("SYS/MS_FRM_", &size);
        if (list != nullptr && m_messageWindow->Create(list, 10000, size.cx, size.cy, 15, 475, m_fonts[0].get(),
                                                       m_fonts[1].get(), kWindowGroup) == 0) {
            frame.Load(*m_messageWindow);
            m_messageWindow->SetMargins(13, 13, 13, 13, true);
            m_messageWindow->SetFrame(this);
            m_messageWindow->SetEdgeWidth(72);
            m_messageWindow->SetIndentCharacters(Sjis("「").c_str());
            m_messageWindow->GetSprite().SetDrawMode(1);
            m_messageWindow->SetClock([](void* self) { return static_cast<CTgsFrame*>(self)->Clock(); }, this);
            if (m_workImages[0])
                m_messageWindow->SetWaitIcon(m_workImages[0].get(), 735, 75, false);
            // Name window.
            m_nameWindow = std::make_unique<CTextPanel>();
            SIZE nameSize{200, 50};
            const FramePictures nameFrame = FindFramePictures("SYS/NM_FRM_", &nameSize);
            if (m_nameWindow->Create(list, 10000, nameSize.cx, nameSize.cy, 15, 425, m_fonts[0].get(), nullptr,
                                     kWindowGroup) == 0) {
                nameFrame.Load(*m_nameWindow);
                m_nameWindow->SetMargins(13, 13, 13, 13, true);
                m_nameWindow->SetVisible(false);
                m_messageWindow->SetNameWindow(m_nameWindow.get());
            } else {
                m_nameWindow.reset();
            }
            m_form->AddControl(m_messageWindow.get(), -1);
        } else {
            m_messageWindow.reset();
        }
    }
    // Choice list.
    if (!m_textLayer && list != nullptr) {
        m_textLayer = std::make_unique<CTextLayer>();
        if (m_textLayer->Create(list, 10000, 46, 200, 708, 40, 10, m_fonts[0].get(), kWindowGroup) == 0) {
            SIZE lineSize{708, 40};
            const FramePictures line = FindFramePictures("SYS/MS_SEL_", &lineSize);
            if (line.Any())
                m_textLayer->LoadLineImages(1, false, false, line.Name(0), line.Name(1), line.Name(2), nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr);
            m_textLayer->SetTextColors(0xFFFFFF, 0x8FDFDF, 0xFFF000, 0x909090);
            m_textLayer->SetUserValue(kChoiceLayerValue);
            m_textLayer->SetVisible(false);
            m_form->AddControl(m_textLayer.get(), -1);
        } else {
            m_textLayer.reset();
        }
    }
    // System-menu bar and items.
    if (!m_menuSprite && m_canvas->GetOverlayList() != nullptr) {
        m_menuImage = LoadPicture("SYS/MS_BAR.ELG");
        if (m_menuImage) {
            m_menuSprite = std::make_unique<CSprite>();
            m_menuSprite->SetImage(m_menuImage.get(), nullptr, 0, 577);
            m_menuSprite->SetBlendMode(2);
            m_menuSprite->SetAlpha(255);
            m_menuSprite->SetVisible(false);
            m_canvas->GetOverlayList()->Insert(m_menuSprite.get(), 10000, 0);
        }
    }
    m_menuItems.fill(nullptr);
    if (CControlSet* set = m_link->ScriptControls()) {
        CPartsFileB parts;
        // The items carry id 1000, by which the scene's clearing deletes them, and go to the
        // overlay list, over the bar (inserted before them at the same priority).
        const int32_t savedId = set->currentId;
        set->currentId = kMenuItemId;
        set->useOverlay = 1;
        const int loaded = parts.Load(set, m_form, "SYS/MS_FRAME.GMP", -1, 10000, false, nullptr);
        set->currentId = savedId;
        set->useOverlay = 0;
        if (loaded == 0) {
            // A short file leaves the remaining items absent.
            for (size_t i = 0; i < static_cast<size_t>(kMenuItems) && i < parts.GetCount(); ++i) {
                m_menuItems[i] = parts.GetControl(i);
            }
            parts.Clear();
        }
    }
    // The system menu's fader: eleven entries, the bar and the ten items.
    if (m_menuFader == nullptr)
        CreateLayerEffect("sp_fade", nullptr, CEffectArgs::Of(11, 0, 0), &m_menuFader);
    if (m_messageWindow)
        m_messageWindow->SetVisible(false);
    for (int i = 0; i < kMenuItems; ++i) {
        SetMenuControlState(i, 1);
        if (m_menuItems[static_cast<size_t>(i)] != nullptr)
            m_menuItems[static_cast<size_t>(i)]->SetVisible(false);
    }
    m_menuShown = 0;
    SetMenuControlState(2, 0);
    SetMenuControlState(7, m_textLog.Count() > 1 ? 1 : 0);

    if (!resume) {
        m_currentMessage = -1;
        m_choiceDisabled.fill(0);
        m_choiceWait = 0;
        m_pageWaitByte = 0;
        m_musicNumber = 0;
        m_nextEffectChannel = 0;
        for (TgsLayerSlot& slot : m_layers)
            slot.effectKind = 0;
        m_nameText.clear();
        m_windowRecords[0] = TgsWindowRecord{};
        m_currentWindow = 0;
    }
    ClearText();
    m_backlogDrawing = 0;
    m_backlogOn = 1;
    m_switchPending = 0;
    m_switchCounter = 1;
    m_hasChoiceSerial = false;
    m_speaker.clear();
    m_voice.clear();
    m_pendingVoice.clear();
    ResetTextStyle();
    ApplyDisplaySettings(true, true, true, false, true);
    if (!m_link->IsMenuGroupEnabled(1)) {
        SetMenuControlState(0, 0);
        SetMenuControlState(3, 0);
    }
    if (!m_link->IsMenuGroupEnabled(2)) {
        SetMenuControlState(1, 0);
        SetMenuControlState(4, 0);
    }
    if (resume) {
        m_readMessage = m_currentMessage >= 0 && IsMessageRead(static_cast<uint32_t>(m_currentMessage)) ? 1 : 0;
        SetMenuControlState(5, !Config().skipStopsAtUnread || m_readMessage ? 1 : 0);
        if (RebuildScene() < 0)
            return -1;
    }
    ForgetMousePosition();
    return 0;
}

void CTgsFrame::CarryWindowsToFront()
{
    CScene* scene = m_canvas != nullptr ? m_canvas->GetScene() : nullptr;
    if (scene == nullptr)
        return;
    // They share one group: the first move takes them all in their order, the rest repoint.
    if (m_textLayer)
        m_textLayer->MoveToDrawList(&scene->GetList());
    if (m_nameWindow)
        m_nameWindow->MoveToDrawList(&scene->GetList());
    if (m_messageWindow)
        m_messageWindow->MoveToDrawList(&scene->GetList());
}

void CTgsFrame::ForgetMousePosition()
{
    if (m_form != nullptr)
        m_form->Reset();
    m_lastMouseX = m_lastMouseY = -1;
}

int CTgsFrame::ClearScene()
{
    if (!m_setUp)
        return 0;
    StopTransition();
    CloseSystemMenu();
    ReleaseBacklog();
    m_backlogWindow.reset();
    ReleaseEffects();
    if (m_menuFader != nullptr) {
        // Without the scheduler it cannot be cancelled; it must not clear this frame later.
        if (g_pObjectManager == nullptr || !g_pObjectManager->Cancel(m_menuFader))
            m_menuFader->SetOwnerSlot<CLayerEffect>(nullptr);
    }
    m_menuFader = nullptr;
    if (m_form != nullptr)
        m_form->RemoveAllControls();
    if (m_messageWindow) {
        m_messageWindow->ShowWaitIcon(false);
        m_messageWindow->Release();
        m_messageWindow.reset();
    }
    if (m_nameWindow) {
        m_nameWindow->Release();
        m_nameWindow.reset();
    }
    m_choiceCount = 0;
    if (m_textLayer) {
        m_textLayer->ClearLines();
        m_textLayer.reset();
    }
    if (CControlSet* set = m_link != nullptr ? m_link->ScriptControls() : nullptr)
        set->RemoveById(kMenuItemId, false);
    m_menuItems.fill(nullptr);
    if (m_menuSprite) {
        if (m_canvas != nullptr && m_canvas->GetOverlayList() != nullptr)
            m_canvas->GetOverlayList()->Remove(m_menuSprite.get());
        m_menuSprite.reset();
    }
    m_menuImage.reset();
    ReleaseLayers();
    m_screenImage.reset();
    m_ruleNumber = -1;
    StopAllEffects();
    FreeAllScripts();
    m_textLog.Clear();
    m_hasChoiceSerial = false;
    m_resumePage.reset();
    m_resumeVoice = m_rebuildPending = 0;
    return 0;
}

void CTgsFrame::ResetScreenCanvas()
{
    StopTransition();
    if (m_canvas != nullptr && m_canvas->GetScene() != nullptr)
        m_canvas->InvalidateRect(nullptr);
}

void CTgsFrame::ReleaseMembers()
{
    ClearScene();
    ReleaseLayers();
    DetachScreens();
    m_fonts = {};
    m_bgTable.clear();
    m_canvas = nullptr;
    m_ownCanvas.reset();
}

std::string CTgsFrame::ResolveFontFace(const char* face, bool vertical) const
{
    const std::string fallback = SettingsFace();
    if (face == nullptr || *face == 0)
        return vertical ? "@" + fallback : fallback;
    CInstalledFontList fonts;
    fonts.EnumInstalledFonts(nullptr, 0, 1);
    const std::string wanted = vertical ? std::string("@") + face : std::string(face);
    for (const LOGFONTA& f : fonts.Fonts()) {
        if (wanted == f.lfFaceName)
            return wanted;
    }
    return vertical ? "@" + fallback : fallback;
}

uint8_t CTgsFrame::ApplyDisplaySettings(bool window, bool fonts, bool backlog, bool onlyWhenChanged, bool clearChanged)
{
    const uint8_t changed = m_link != nullptr ? m_link->SettingsChanged() : 0;
    if (onlyWhenChanged && changed == 0)
        return 0;
    const AppConfig& c = Config();
    if (window) {
        // The setting holds the frame's alpha (0-255).
        const int alpha = m_transparencyOverride != -1 ? m_transparencyOverride : c.frameTransparency;
        const uint8_t a = static_cast<uint8_t>(std::clamp(alpha, 0, 255));
        if (m_messageWindow)
            m_messageWindow->SetBackgroundColor(c.drawTextFrame ? 1 : 0, c.frameColour, a, true);
        if (m_nameWindow)
            m_nameWindow->SetBackgroundColor(c.drawTextFrame ? 1 : 0, c.frameColour, a, true);
        if (m_textLayer) {
            m_textLayer->SetBackgroundColor(c.drawTextFrame ? 1 : 0, c.frameColour, a);
            m_textLayer->SetReadMarksEnabled(c.colourTakenChoices != 0);
        }
    }
    if (fonts) {
        const std::string face = SettingsFace();
        for (size_t i = 0; i < 2; ++i) {
            CGlyphFont* f = m_fonts[i].get();
            if (f == nullptr)
                continue;
            f->SetEffect(c.decoration, 0, 0, 0);
            f->SetOutline(2, 2);
            f->SetGradient(c.gradient, f->m_gradientTop, f->m_gradientBottom, 1);
            f->SetAntialias(c.antiAlias ? 2 : 0);
            const bool wantBold = (i == 0 ? c.bold : c.boldRuby) != 0;
            const bool isBold = f->m_logFont.lfWeight >= 700;
            const std::string font0Face = m_fonts[0]->m_logFont.lfFaceName;
            if (face != font0Face || wantBold != isBold) {
                int32_t h = f->m_logFont.lfHeight;
                h = h < 0 ? -h : h;
                f->SetFont(h == 0 ? (i == 0 ? 24 : 13) : h, wantBold ? 1 : 0, 0, face.c_str());
            }
        }
    }
    if (backlog) {
        const int32_t want = c.historyPages == 0 ? 0 : c.historyPages + 1;
        if (want != m_textLog.Capacity())
            m_textLog.SetCapacity(want);
    }
    if (clearChanged && m_link != nullptr)
        m_link->SetSettingsChanged(0);
    return changed;
}

void CTgsFrame::ResetTextStyle()
{
    if (m_styleChanged == 0)
        return;
    for (size_t i = 0; i < 2; ++i) {
        CGlyphFont* f = m_fonts[i].get();
        if (f == nullptr)
            continue;
        SetColour(f, kWhite);
        f->SetEffect(f->m_effectMode, 0, 0, 0);
        if (m_styleChanged == 2) {
            f->SetFont(i == 0 ? 24 : 13, (i == 0 ? Config().bold : Config().boldRuby) ? 1 : 0, 0,
                       SettingsFace().c_str());
        } else if (i == 0 && !m_backlogDrawing) {
            f->SetHeight(24);
        }
    }
    m_styleChanged = 0;
}

void CTgsFrame::SetNameText(const char* text)
{
    m_nameText = CutSjis(text, 40);
}

void CTgsFrame::SetSpeaker(const char* name, const char* voice)
{
    m_speaker = CutSjis(name, 16);
    m_voice = CutSjis(voice, 15);
}

void CTgsFrame::DropResumedPageText()
{
    ClearText();
    m_speaker.clear();
    m_voice.clear();
}

int32_t* CTgsFrame::ResultCell()
{
    return CellAt(static_cast<uint32_t>(m_startValues[0]));
}

int32_t* CTgsFrame::CellAt(uint32_t address)
{
    if (address == 0 || (address & 3) != 0)
        return nullptr;
    uint8_t* bytes = m_memory.Span(address, 4);
    return reinterpret_cast<int32_t*>(bytes);
}

// ---- the message side ----

int32_t CTgsFrame::RunEmbeddedCommand(const uint8_t** cursor, const uint8_t* end, bool run)
{
    uint32_t command = 0, count = 0;
    TgsArgPair pairs[kPaddingPairs] = {};
    const uint8_t* at = *cursor;
    if (UnpackCommand(&at, end, &command, pairs, kPaddingPairs - 8, &count) != 0)
        return -1;
    *cursor = at;
    // Only the in-text commands run from page text.
    if (!run || (command != 14 && command != 26 && command != 27 && command != 28))
        return 0;
    const int32_t r = DispatchDeferred(command, pairs);
    return r > 0 ? r : 0;
}

int CTgsFrame::FlushText()
{
    if (m_textLength == 0)
        return 1;
    if (m_messageWindow && !m_noDisplay) {
        m_messageWindow->SetPageText(reinterpret_cast<const uint8_t*>(m_textBuffer), m_textLength);
        m_messageWindow->SetNameAndVoice(m_speaker.c_str(), m_voice.c_str());
        m_messageWindow->SetCharacterTime(GetCharacterWait());
        m_messageWindow->SetVisible(true);
        m_messageWindow->ShowPage(false);
    }
    m_pendingVoice = m_voice;
    if (m_backlogOn && m_textLog.Capacity() > 0)
        m_textLog.AddMessage(reinterpret_cast<const uint8_t*>(m_textBuffer), m_textLength, 0, m_speaker.c_str(),
                             m_voice.c_str(), 0);
    m_speaker.clear();
    m_voice.clear();
    ClearText();
    return 0;
}

void CTgsFrame::EndMessage()
{
    if (m_switchPending) {
        m_switchPending = 0;
        m_switchCounter = static_cast<uint8_t>(m_switchCounter == 255 ? 1 : m_switchCounter + 1);
    }
    ResetTextStyle();
}

int CTgsFrame::ShowWindow(bool show, int window)
{
    if (window >= 1)
        return 1;
    if (m_messageWindow)
        m_messageWindow->SetVisible(show);
    return 0;
}

int CTgsFrame::ShowWindowAtOnce(bool show, bool withMenu)
{
    if (m_messageWindow) {
        m_messageWindow->SetAlpha(255);
        m_messageWindow->SetVisible(show);
    }
    if (withMenu) {
        for (CControl* c : m_menuItems) {
            if (c != nullptr)
                c->SetVisible(show && m_menuShown);
        }
    }
    return 0;
}

int CTgsFrame::ClearWindow(int window)
{
    if (window >= 1)
        return 1;
    if (m_messageWindow) {
        m_messageWindow->FinishReveal();
        m_messageWindow->ShowWaitIcon(false);
        m_messageWindow->Clear();
        m_messageWindow->ClearPageText();
        if (m_nameWindow)
            m_nameWindow->SetVisible(false);
    }
    return 0;
}

int CTgsFrame::SetWindowStyle(int kind, int time, int value, int colourIndex, int window)
{
    if (window >= 1)
        return 1;
    TgsWindowRecord& r = m_windowRecords[0];
    r.frameKind = kind;
    r.fadeTime = time >= 0 ? time : (kind == 1 ? 0 : kind == 2 ? 800 : 400);
    r.baseY = value;
    r.colourIndex = colourIndex;
    return 0;
}

int CTgsFrame::StopSkipMode()
{
    m_pageSkip = 0;
    if (!m_skipMode)
        return 0;
    m_skipMode = 0;
    SetMenuControlState(5, 1);
    return 1;
}

void CTgsFrame::SetAutoPlay(bool on)
{
    m_autoPlay = on ? 1 : 0;
    SetMenuControlState(6, on ? 2 : 1);
    m_timer[1] = Clock();
}

// ---- waits ----

int CTgsFrame::WaitTimer(uint32_t ms)
{
    m_timer[0] = Clock();
    while (true) {
        if (StepFrame() == 0)
            return -1;
        if (Clock() - m_timer[0] > ms)
            return 0;
    }
}

int CTgsFrame::WaitTime(uint32_t ms, bool allowSkip)
{
    if (m_skipMode || m_pageSkip)
        return 1;
    m_timer[0] = Clock();
    while (true) {
        if (StepFrame() == 0)
            return -1;
        if (Clock() - m_timer[0] > ms || m_link->SkipKeyDown())
            return 0;
        if (allowSkip && Config().clickSkipsEffects && m_link->SkipInputHeld())
            return 1;
    }
}

int CTgsFrame::CheckSkipInput(uint32_t mask)
{
    if (!m_skippable || m_link == nullptr)
        return 0;
    if ((mask & 1) != 0 && Config().clickSkipsEffects && m_link->SkipInputHeld())
        return 1;
    if ((mask & 2) != 0 && (Config().fastEffects || m_link->SkipKeyDown()))
        return 1;
    return 0;
}

uint32_t CTgsFrame::GetCharacterWait()
{
    m_pageSkip = 0;
    const AppConfig& c = Config();
    if (m_readMessage) {
        uint32_t ms = c.readNoWait ? 0 : (c.readCharMs == 0 ? 1 : c.readCharMs);
        if (c.option28) {
            ms = 0;
            m_pageSkip = 1;
        }
        return ms;
    }
    return c.unreadNoWait ? 0 : (c.unreadCharMs == 0 ? 1 : c.unreadCharMs);
}

int CTgsFrame::GetTextState() const
{
    if (m_choiceWait)
        return 2;
    if (m_skipMode || m_pageSkip)
        return 3;
    return m_autoPlay ? 1 : 0;
}

void CTgsFrame::PollMouse()
{
    int x = -1, y = -1;
    m_link->GetMousePos(&x, &y);
    const bool moved = x != m_lastMouseX || y != m_lastMouseY;
    m_lastMouseX = x;
    m_lastMouseY = y;
    if (!moved)
        return;
    ShowMenuControls(!Config().hideSystemButtons || y >= 577);
}

void CTgsFrame::ShowMenuControls(bool show)
{
    if (show == (m_menuShown != 0))
        return;
    m_menuShown = show ? 1 : 0;
    for (CControl* c : m_menuItems) {
        if (c != nullptr)
            c->SetVisible(show);
    }
    if (m_menuSprite)
        m_menuSprite->SetVisible(show);
}

void CTgsFrame::AddSceneSnapshot()
{
    if (!m_backlogOn || m_textLog.Count() == 0)
        return;
    TextLogScene scene;
    const TgsPageRecord& page = Page(0);
    scene.background = std::string(page.name, strnlen(page.name, sizeof page.name));
    scene.words = page.LogWords();
    // The third group first, then the group of five, then the first group of three.
    for (int group : {2, 1, 0}) {
        int count = 0;
        TgsSpriteRecord* const* records = GetSpriteGroup(group, 0, &count);
        std::vector<const TgsSpriteRecord*> taken;
        for (int i = 0; i < count; ++i) {
            if (records[i]->name[0] != 0 && records[i]->character >= 0)
                taken.push_back(records[i]);
        }
        std::stable_sort(taken.begin(), taken.end(),
                         [](const TgsSpriteRecord* a, const TgsSpriteRecord* b) { return a->priority < b->priority; });
        for (const TgsSpriteRecord* r : taken) {
            TextLogSceneItem item;
            item.name = std::string(r->name, strnlen(r->name, sizeof r->name));
            item.x = r->x - r->originX;
            item.y = r->y - r->originY;
            item.words = r->LogWords();
            scene.items.push_back(std::move(item));
        }
    }
    m_textLog.AddScene(scene);
}

int32_t CTgsFrame::VoicePan(int32_t x)
{
    const int64_t p = x;
    if (p < 1)
        return -5000;
    if (p < 400)
        return static_cast<int32_t>(p * 5000 / 400 - 5000);
    if (p < 800)
        return static_cast<int32_t>((5 * p - 2000) * 1000 / 400);
    return 5000;
}

void CTgsFrame::StopVoiceIfAsked(uint8_t mask)
{
    if (m_voiceStarted && (Config().stopVoiceAtNext & mask) != 0 && g_pSoundManager != nullptr)
        g_pSoundManager->StopChannel(kVoiceChannel);
    m_voiceStarted = 0;
    m_voicePlaying = 0;
}

void CTgsFrame::StartPageVoice(const std::string& name)
{
    const AppConfig& c = Config();
    if (name.empty() || !c.voiceOn || g_pSoundManager == nullptr)
        return;
    // The voice player names which of group B's five sprites shows the speaker.
    int count = 0;
    TgsSpriteRecord* const* group = GetSpriteGroup(1, 0, &count);
    std::array<int32_t, 5> characters{};
    for (int i = 0; i < 5; ++i)
        characters[static_cast<size_t>(i)] = i < count ? group[i]->character : -1;
    const int who = g_pSoundManager->PlayVoice(kVoiceChannel, name.c_str(), 5, characters.data());
    if (who < -1)
        return; // off, disabled or not opened
    const bool panned = c.option110[0] != 0 && who >= 0 && who < count;
    g_pSoundManager->SetChannelPan(kVoiceChannel, panned ? VoicePan(group[who]->x) : 0);
    if (g_pSoundManager->StartChannel(kVoiceChannel, false) > 0)
        return;
    m_voicePlaying = 1;
    m_voiceStarted = 1;
    if (c.lowerBgmForVoice && g_pSoundManager->IsMusicPlaying()) {
        const double ratio = c.bgmLevelForVoice == 50 ? -1.0 : c.bgmLevelForVoice * 0.01;
        g_pSoundManager->StartVoiceDucking(g_pSoundManager->GetTaskScheduler(), kVoiceChannel, ratio);
    }
    if (c.option110[2] != 0) {
        m_voiceWaitState = 1;
        if (m_messageWindow)
            m_messageWindow->FinishReveal();
    }
}

bool CTgsFrame::VoiceWaitEnded()
{
    if (m_voicePlaying && !(g_pSoundManager != nullptr && g_pSoundManager->IsChannelPlaying(kVoiceChannel))) {
        m_voicePlaying = 0;
        // Auto play and the advance at the voice's end both count from the voice's end.
        m_timer[1] = Clock();
        if (m_voiceWaitState == 1)
            m_voiceWaitState = 2;
    }
    const AppConfig& c = Config();
    if (m_voiceWaitState == 2 && Clock() - m_timer[1] > c.autoMinimumWait)
        return true;
    if (!m_autoPlay || m_voicePlaying || (m_messageWindow && m_messageWindow->IsRevealing()))
        return false;
    const int32_t chars = m_messageWindow ? m_messageWindow->CharacterCount() : 0;
    const uint64_t wait = static_cast<uint64_t>(c.autoCharMs) * static_cast<uint64_t>(std::max(0, chars)) +
                          c.autoMinimumWait;
    return Clock() - m_timer[1] > wait;
}

int CTgsFrame::WaitPage(int mode, bool withVoice)
{
    const bool resumed = m_resumedPage != 0;
    m_resumedPage = 0;
    std::string voice;
    if (withVoice) {
        voice = std::move(m_pendingVoice);
        m_pendingVoice.clear();
        m_pageWaitByte = 1;
        if (m_messageWindow)
            m_messageWindow->ShowWaitIcon(false);
    }
    if (!resumed && m_currentMessage >= 0)
        SetMessageRead(static_cast<uint32_t>(m_currentMessage));
    if (mode != 2) {
        m_pageWaitByte = 0;
        return 0;
    }
    if (!resumed)
        AddSceneSnapshot();
    const AppConfig& c = Config();
    const bool skipKey = m_link->SkipKeyDown() && (!c.noFastForwardUnread || m_readMessage);
    if (skipKey || m_skipToChoice == 2 || m_pageSkip || m_skipMode) {
        if (m_messageWindow)
            m_messageWindow->FinishReveal();
        if (StepFrame() == 0)
            return -1;
        PollMouse();
        m_pageWaitByte = 0;
        return 0;
    }
    m_timer[1] = Clock();
    m_voiceWaitState = 0;
    StartPageVoice(voice);
    int result = 0;
    while (true) {
        if (StepFrame() == 0)
            return -1;
        m_link->HandleInput();
        PollMouse();
        int slot = -1;
        if (m_link->MenuActionIndex(&slot) >= 0 || (c.bottomHidesFrame && m_link->MouseAreaState() == 2)) {
            const int r = HandleWindowMenu(-1);
            // A load replaced the page this wait belongs to: the loaded page's wait byte, icon
            // and voice stay as the load left them.
            if (r < -1 || m_stateReplaced != 0)
                return -1;
            if (r == 3)
                break;
            if (r > 4 || (r == 1 && m_resultWord != 0)) {
                result = m_resultWord;
                break;
            }
            continue;
        }
        if (m_link->SkipKeyDown() && (!c.noFastForwardUnread || m_readMessage)) {
            if (m_messageWindow)
                m_messageWindow->FinishReveal();
            break;
        }
        if (m_link->AdvancePushed()) {
            // A click during the reveal shows the whole page first.
            if (m_messageWindow && m_messageWindow->FinishReveal())
                continue;
            break;
        }
        if (VoiceWaitEnded())
            break;
    }
    if (withVoice)
        StopVoiceIfAsked(0xFF);
    m_voiceWaitState = 0;
    if (m_messageWindow)
        m_messageWindow->ShowWaitIcon(false);
    m_pageWaitByte = 0;
    return result;
}

void CTgsFrame::ShowChoices(bool show)
{
    if (m_textLayer)
        m_textLayer->SetVisible(show);
}

bool CTgsFrame::ChoiceInputTaken(int* index)
{
    const int v = m_form != nullptr ? m_form->TakeActivatedValue() : -1;
    if (v < kChoiceLayerValue)
        return false;
    *index = v - kChoiceLayerValue;
    return true;
}

int CTgsFrame::WaitChoice()
{
    m_resumedPage = 0;
    ShowChoices(true);
    // Keys reach the lines through the focus.
    if (m_textLayer && m_form != nullptr)
        m_form->SetFocus(m_textLayer.get());
    if (m_link->ScriptSetting6() == 0 && Config().autoSaveAtChoices) {
        // Bank 10 has no ring: the autosave goes into bank 0's ring.
        m_link->SaveGame(0, m_link->NextRingSlot(0));
    }
    int index = -1;
    while (true) {
        if (StepFrame() == 0)
            return -1;
        m_link->HandleInput();
        PollMouse();
        if (ChoiceInputTaken(&index))
            break;
        int slot = -1;
        if (m_link->MenuActionIndex(&slot) >= 0) {
            const int r = HandleWindowMenu(-1);
            if (r < -1 || m_stateReplaced != 0)
                return -1;
            if (r > 4 || (r == 1 && m_resultWord != 0))
                return m_resultWord;
        }
    }
    if (Config().keepBackData && m_link->TakeStateSnapshot() == 0)
        SetMenuControlState(2, 1);
    // The log entry may have been evicted or freed meanwhile: it is found by its serial.
    if (m_hasChoiceSerial)
        m_textLog.SetSelectedChoice(m_choiceSerial, index);
    m_hasChoiceSerial = false;
    StopVoiceIfAsked(0xFF);
    if (m_textLayer) {
        m_textLayer->ClearLines();
        m_textLayer->SetLocked(false);
    }
    ShowChoices(false);
    m_choiceCount = 0;
    return 0;
}

int CTgsFrame::RunMenuCommand(int command, int argument)
{
    if (m_link->MenuCommandByte() != 0)
        return 1;
    bool posted = false;
    for (const MenuCommandRow& row : kMenuCommands) {
        if (row.command != command)
            continue;
        posted = row.windowCommand != 0 ? m_link->PostWindowCommand(row.windowCommand)
                                        : m_link->PostQuestion(argument, m_questionText);
    }
    if (!posted)
        return 2;
    int result = 0;
    if (m_link->IsThreaded()) {
        if (!m_link->WaitCommandTaken(5000)) {
            result = 3;
        } else {
            // Frames run while the user-interface thread works on it.
            while (m_link->MenuCommandByte() == static_cast<uint8_t>(command + 1)) {
                if (StepFrame() == 0)
                    break;
            }
        }
    } else {
        StepFrame();
    }
    ForgetMousePosition();
    StopSkipMode();
    return result;
}

int CTgsFrame::ActionIndex()
{
    int slot = -1;
    const int index = m_link->MenuActionIndex(&slot);
    if (Config().bottomHidesFrame && m_link->MouseAreaState() == 2)
        return 9;
    if (index < 0 || index >= static_cast<int>(std::size(kActionCommands)))
        return -1;
    m_resultWord = 0;
    // A quick action chosen by an F key names its slot.
    m_pendingSlot = slot;
    return kActionCommands[index];
}

int CTgsFrame::HandleWindowMenu(int command)
{
    m_pendingSlot = -1;
    if (command == -1)
        command = ActionIndex();
    if (command < 0 || command > 11)
        return 0;
    if (command < 10 && m_menuState[static_cast<size_t>(command)] == 0)
        return 0;
    const int bank = 1;
    char number[16];
    switch (command) {
    case 0: {
        const int slot = m_pendingSlot >= 0 ? m_pendingSlot : m_link->NextRingSlot(bank);
        if (m_link->SaveGame(bank, slot) == 0) {
            std::snprintf(number, sizeof number, "%d", slot + 1);
            char text[96];
            std::snprintf(text, sizeof text, Sjis("スロット%sにセーブしました").c_str(), number);
            m_link->ShowCaption(text);
        }
        return 1;
    }
    case 1: {
        // The quick save moved the ring on: the slot to load is the one it saved last.
        const int slot = m_pendingSlot >= 0 ? m_pendingSlot : m_link->LastRingSlot(bank);
        std::snprintf(number, sizeof number, "%d", slot + 1);
        const std::string title = m_link->SlotTitle(bank, slot);
        char text[96];
        if (title.empty()) {
            std::snprintf(text, sizeof text, Sjis("スロット%sにデータは存在しません").c_str(), number);
            m_link->ShowCaption(text);
            return 1;
        }
        m_questionText = title + "\r\n" + Sjis("をロードしますか？");
        if (RunMenuCommand(7, 1) != 0 || m_link->QuestionAnswer() != 1)
            return 1;
        if (m_link->LoadGameSlot(bank, slot) != 0)
            return 1;
        std::snprintf(text, sizeof text, Sjis("スロット%sからロードしました").c_str(), number);
        m_link->ShowCaption(text);
        m_resultWord = 5;
        return 5;
    }
    case 2:
        m_questionText = Sjis("前の選択肢に戻ります。\r\nよろしいですか？");
        if (RunMenuCommand(7, 2) == 0 && m_link->QuestionAnswer() == 1 && m_link->RestoreStateSnapshot() == 0) {
            m_resultWord = 5;
            return 5;
        }
        return 1;
    case 3:
    case 4:
    case 8:
        RunMenuCommand(command, 0);
        if (command == 8) {
            ApplyDisplaySettings(true, true, true, true, true);
            if (m_messageWindow && !m_messageWindow->PageText().empty()) {
                m_messageWindow->Clear();
                m_messageWindow->ShowPage(false);
            }
        }
        return 2;
    case 5:
        m_skipMode = m_skipMode ? 0 : 1;
        SetMenuControlState(5, m_skipMode ? 2 : 1);
        return m_skipMode ? 3 : 2;
    case 6:
        SetAutoPlay(!m_autoPlay);
        return 2;
    case 7: {
        BeginPause();
        const int r = RunBacklog();
        EndPause();
        return r < 0 ? -2 : 2;
    }
    case 10: {
        BeginPause();
        const int r = RunSystemMenu();
        EndPause();
        if (r == -2)
            return -2;
        if (r < 0)
            return 2;
        m_resultWord = r;
        return r;
    }
    case 9: {
        if (m_messageWindow)
            m_messageWindow->SetVisible(false);
        while (true) {
            if (StepFrame() == 0)
                return -2;
            m_link->HandleInput();
            int slot = -1;
            if (m_link->AdvancePushed() || m_link->MenuActionIndex(&slot) >= 0)
                break;
        }
        if (m_messageWindow)
            m_messageWindow->SetVisible(true);
        return 2;
    }
    case 11:
        m_questionText = Sjis("タイトルに戻ります。\r\nよろしいですか？");
        if (RunMenuCommand(7, 3) == 0 && m_link->QuestionAnswer() == 1) {
            RunMenuCommand(11, 0);
            m_resultWord = 4;
            return 5;
        }
        return 1;
    default:
        return 0;
    }
}

uint32_t CTgsFrame::BeginPause()
{
    m_pauseStart = m_link != nullptr ? m_link->Now() : 0;
    return m_pauseStart;
}

void CTgsFrame::EndPause()
{
    if (m_link != nullptr)
        m_pausedTotal += m_link->Now() - m_pauseStart;
    ForgetMousePosition();
    StopSkipMode();
}

int CTgsFrame::FadeWindow(bool show, int32_t time, bool withMenu)
{
    if (time <= 0)
        time = 1;
    auto setAlpha = [&](int alpha) {
        if (m_messageWindow)
            m_messageWindow->SetAlpha(alpha);
        if (m_nameWindow)
            m_nameWindow->SetAlpha(alpha);
        if (m_textLayer && m_textLayer->IsVisible())
            m_textLayer->SetAlpha(alpha);
        if (withMenu) {
            for (CControl* c : m_menuItems) {
                if (c != nullptr)
                    c->SetAlpha(alpha);
            }
        }
    };
    auto setVisible = [&](bool v) {
        if (m_messageWindow)
            m_messageWindow->SetVisible(v);
        if (withMenu) {
            for (CControl* c : m_menuItems) {
                if (c != nullptr)
                    c->SetVisible(v);
            }
        }
    };
    const bool atOnce = CheckSkipInput(3) != 0 || m_skipMode || m_pageSkip || m_choiceWait;
    if (!atOnce) {
        setAlpha(show ? 0 : 255);
        setVisible(true);
        m_timer[0] = Clock();
        while (true) {
            const uint32_t elapsed = std::min<uint32_t>(Clock() - m_timer[0], static_cast<uint32_t>(time));
            const int a = static_cast<int>(static_cast<uint64_t>(elapsed) * 255 / static_cast<uint32_t>(time));
            setAlpha(show ? a : 255 - a);
            if (elapsed >= static_cast<uint32_t>(time))
                break;
            if (StepFrame() == 0)
                return -1;
            if (show && CheckSkipInput(3) != 0)
                break;
        }
    }
    setAlpha(255);
    setVisible(show);
    return 0;
}

int CTgsFrame::RunScriptLoop(bool jumpAllowed, bool alreadyYielded)
{
    if (m_link == nullptr)
        return 1;
    int r = alreadyYielded ? kSobYield : m_vm.Run();
    uint32_t depth = 0;
    while (true) {
        const uint32_t request = g_ScriptTransferState;
        if (request == kTransferNone) {
            if (r == kSobYield) {
                if (StepFrame() == 0)
                    return -1;
                r = m_vm.Run();
                continue;
            }
            if (r != kSobLeave)
                return -1;
            if (depth == 0)
                return 0;
            --depth;
            m_host.UnloadModule();
            m_vm.PopIp();
            r = m_vm.Run();
            continue;
        }
        if (request == kTransferReturn) {
            g_ScriptTransferState = kTransferNone;
            return -1;
        }
        if (request == kTransferCall) {
            g_ScriptTransferState = kTransferNone;
            m_vm.PushIp();
            if (m_host.LoadModule(g_ScriptTransferTarget, &m_vm) != 0) {
                m_link->ShowMessage(winapi::Utf8ToSjis("Call命令でスクリプトのロードに失敗").c_str());
                m_vm.PopIp();
                return 1;
            }
            ++depth;
        } else {
            g_ScriptTransferState = kTransferNone;
            if (!jumpAllowed) {
                m_link->ShowMessage(winapi::Utf8ToSjis("システムスクリプト中でJump命令は使用できません").c_str());
                return 3;
            }
            m_host.UnloadModule();
            if (m_host.LoadModule(g_ScriptTransferTarget, &m_vm) != 0) {
                m_link->ShowMessage(winapi::Utf8ToSjis("Jump命令でスクリプトのロードに失敗").c_str());
                return 2;
            }
        }
        r = m_vm.Run();
    }
}
