// The scenario frame's saved state: the block written from the frame's records, a block staged
// and checked before anything running changes, and the scene rebuilt from the loaded records
// when the scenario resumes.
#include <cstring>

#include "controls/text_layer.h"
#include "display/image_object.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "platform/app_config.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "script/tgs_state.h"

namespace {

bool FastEffects()
{
    return g_pAppConfig != nullptr && g_pAppConfig->fastEffects != 0;
}

bool HideSystemButtons()
{
    return g_pAppConfig != nullptr && g_pAppConfig->hideSystemButtons != 0;
}

} // namespace

// ---- writing ----

void CTgsFrame::CaptureState(TgsSavedState* s)
{
    s->message = m_currentMessage;
    s->transitionOptions = m_transitionOptions;
    s->autoTint = m_autoTint;
    s->quake = m_rememberedQuake;
    s->window = m_currentWindow;
    s->music = m_musicNumber;
    s->nextChannel = m_nextEffectChannel;
    for (size_t c = 0; c < TgsSavedState::kChannels; ++c) {
        // A name its count byte cannot hold was never started: such a channel is saved silent.
        const TgsSoundChannel& channel = m_soundChannels[c];
        if (channel.name.size() < 255 && channel.name.find('\0') == std::string::npos)
            s->channels[c] = {channel.name, static_cast<uint8_t>(channel.flag != 0 ? 1 : 0)};
    }
    s->choiceDisabled = m_choiceDisabled;
    s->choiceWait = m_choiceWait;
    s->pageWait = m_pageWaitByte;
    s->voiceMarker = m_voiceStarted != 0 || !m_pendingVoice.empty() ? 0 : -1;
    for (size_t l = 0; l < 3; ++l) {
        s->layers[l].effectKind = m_layers[l].effectKind;
        s->layers[l].words = m_layers[l].words;
        std::memcpy(s->layers[l].text, m_layers[l].text, sizeof s->layers[l].text);
    }
    s->pages[0].CopyFieldsFrom(*m_pFrontPage);
    s->pages[1].CopyFieldsFrom(*m_pBackPage);
    for (const TgsPageRecord* from : {m_pFrontPage, m_pBackPage}) {
        TgsPageRecord& to = s->pages[from == m_pFrontPage ? 0 : 1];
        to.rendered = from->rendered;
        to.animationState = from->animationState;
        to.animationGroup = from->animationGroup;
        to.animationEntry = from->animationEntry;
    }
    size_t i = 0;
    for (const auto* group : {m_pSpritesA.data(), m_pSpritesB.data(), m_pSpritesC.data()}) {
        const size_t count = group == m_pSpritesB.data() ? m_pSpritesB.size() : 6;
        for (size_t k = 0; k < count; ++k, ++i) {
            const TgsSpriteRecord& from = *group[k];
            TgsSpriteRecord& to = s->sprites[i];
            to.CopyFieldsFrom(from);
            to.reload = from.reload;
            to.picture = from.picture;
            to.animationZoom = from.animationZoom;
            to.animationAngle = from.animationAngle;
            to.zoomX = from.zoomX;
            to.zoomY = from.zoomY;
            to.pendingKind = from.pendingKind;
            to.pendingArgument = from.pendingArgument;
            std::memcpy(to.pendingText, from.pendingText, sizeof to.pendingText);
            to.alpha = from.sprite != nullptr ? from.sprite->GetAlpha() : from.alpha;
        }
    }
    s->windowRecord = m_windowRecords[0];
    s->windowRecord.effects[0] = s->windowRecord.effects[1] = nullptr;
    s->windowRecord.shown = m_messageWindow && m_messageWindow->IsVisible() ? 1 : 0;
    s->nameText = m_nameText;
    if (m_rebuildPending != 0) {
        // Loaded and not yet shown: the loaded page is what a save keeps.
        s->voiceMarker = m_resumeVoice != 0 ? 0 : -1;
        s->windowRecord.shown = m_windowRecords[0].shown;
        if (m_resumePage)
            s->page = *m_resumePage;
        return;
    }
    // The choice list only while the player chooses.
    if (m_choiceWait != 0 && m_choiceCount != 0 && m_textLayer) {
        s->page.listValue = static_cast<uint32_t>(m_startValues[0]);
        const int lines = std::min<int>(m_choiceCount, m_textLayer->GetLineCount());
        for (int k = 0; k < lines; ++k) {
            const CTextLayerItem* item = m_textLayer->GetItem(k);
            if (item == nullptr)
                break;
            // The value is the line's seen-bit number, so the rebuilt list marks the same lines.
            const int64_t key = int64_t{m_textLayer->ReadBase()} + (item->value >= 0 ? item->value : k);
            s->page.choices.push_back({static_cast<uint32_t>(key), item->disabled, item->text});
        }
    }
    if (m_messageWindow && !m_messageWindow->GivenPageText().empty()) {
        const std::string_view text = m_messageWindow->GivenPageText();
        s->page.text.assign(text.begin(), text.begin() + std::min<size_t>(text.size(), kTextBufferSize - 1));
        s->page.speaker = CutSjis(m_messageWindow->Name().c_str(), CTextLog::kMaxName);
        s->page.voice = CutSjis(m_messageWindow->Voice().c_str(), CTextLog::kMaxName);
    }
}

namespace {

// The frame's block, or false when the store state cannot be written.
bool BuildBlock(CTgsScriptStore& store, TgsSavedState& s, const CTextLog* log, std::vector<uint8_t>* out)
{
    s.storeBytes.resize(store.GetStateSize());
    uint8_t* at = s.storeBytes.data();
    size_t left = s.storeBytes.size();
    if (store.SaveState(&at, &left) != 0)
        return false;
    *out = EncodeTgsState(s, log);
    return true;
}

} // namespace

uint32_t CTgsFrame::GetStateSize(bool withBacklog)
{
    TgsSavedState s;
    CaptureState(&s);
    std::vector<uint8_t> bytes;
    if (!BuildBlock(*this, s, withBacklog ? &m_textLog : nullptr, &bytes))
        return 0;
    return static_cast<uint32_t>(bytes.size());
}

int CTgsFrame::SaveState(uint8_t** cursor, size_t* left, bool withBacklog)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return 1;
    TgsSavedState s;
    CaptureState(&s);
    std::vector<uint8_t> bytes;
    if (!BuildBlock(*this, s, withBacklog ? &m_textLog : nullptr, &bytes))
        return 2;
    if (bytes.size() > *left)
        return 1;
    std::memcpy(*cursor, bytes.data(), bytes.size());
    *cursor += bytes.size();
    *left -= bytes.size();
    return 0;
}

// ---- reading ----

int CTgsFrame::StageState(const uint8_t** cursor, size_t* left, bool withBacklog, TgsSavedState* s,
                          StagedState* store)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return kTgsStateDamaged;
    const uint8_t* at = *cursor;
    size_t rest = *left;
    if (const int r = DecodeTgsState(&at, &rest, withBacklog, m_textLog.Capacity(), s); r != 0)
        return r;
    const uint8_t* storeAt = s->storeBytes.data();
    size_t storeLeft = s->storeBytes.size();
    if (CTgsScriptStore::StageState(&storeAt, &storeLeft, store) != 0)
        return kTgsStateStore;
    if (s->message >= 0 && GetMessageOffset(store->Current(), static_cast<uint32_t>(s->message)) < 0)
        return kTgsStateMessage;
    *cursor = at;
    *left = rest;
    return 0;
}

int CTgsFrame::CheckState(const uint8_t** cursor, size_t* left, bool withBacklog)
{
    TgsSavedState s;
    StagedState store;
    return StageState(cursor, left, withBacklog, &s, &store);
}

int CTgsFrame::LoadState(const uint8_t** cursor, size_t* left, bool withBacklog)
{
    auto s = std::make_unique<TgsSavedState>();
    StagedState store;
    if (const int r = StageState(cursor, left, withBacklog, s.get(), &store); r != 0)
        return r;
    // Commit: the running scene goes first, then every staged part takes its place.
    ClearScene();
    CommitState(store);
    m_currentMessage = s->message;
    m_cursor = s->message >= 0
                   ? static_cast<uint32_t>(GetMessageOffset(CurrentScript(), static_cast<uint32_t>(s->message)))
                   : 0;
    m_transitionOptions = s->transitionOptions;
    m_autoTint = s->autoTint;
    m_rememberedQuake = s->quake;
    m_currentWindow = s->window;
    m_musicNumber = s->music;
    // The old scene's effect channels were stopped with it; the loaded ones play at the rebuild.
    m_nextEffectChannel = s->nextChannel;
    for (size_t c = 0; c < TgsSavedState::kChannels; ++c)
        m_soundChannels[c] = {s->channels[c].name, s->channels[c].flag};
    m_choiceDisabled = s->choiceDisabled;
    m_choiceWait = s->choiceWait;
    m_pageWaitByte = s->pageWait;
    m_resumeVoice = s->voiceMarker == 0 ? 1 : 0;
    for (size_t l = 0; l < 3; ++l) {
        m_layers[l].effectKind = s->layers[l].effectKind;
        m_layers[l].words = s->layers[l].words;
        std::memcpy(m_layers[l].text, s->layers[l].text, sizeof m_layers[l].text);
    }
    *m_pFrontPage = s->pages[0];
    *m_pBackPage = s->pages[1];
    size_t i = 0;
    for (auto* group : {m_pSpritesA.data(), m_pSpritesB.data(), m_pSpritesC.data()}) {
        const size_t count = group == m_pSpritesB.data() ? m_pSpritesB.size() : 6;
        for (size_t k = 0; k < count; ++k, ++i)
            *group[k] = s->sprites[i];
    }
    m_windowRecords[0] = s->windowRecord;
    if (s->hasLog)
        m_textLog.Swap(s->log);
    m_nameText = s->nameText;
    m_resumePage = s->hasPage ? std::make_unique<TgsSavedPage>(std::move(s->page)) : nullptr;
    m_stateReplaced = 1;
    m_rebuildPending = 1;
    return 0;
}

// ---- the scene rebuild ----

int CTgsFrame::RebuildScene()
{
    bool fadeIn = !FastEffects();
    bool frontSprite = false;

    // Sprites: group B, then A, then C; front records first. The automatic tint is off meanwhile:
    // the records already hold the colour modes it gave.
    const uint8_t tint = m_autoTint;
    m_autoTint = 0;
    for (int group : {1, 0, 2}) {
        const int k = kGroupSlots[group];
        for (int i = 0; i < 2 * k; ++i) {
            const uint8_t back = i >= k ? 1 : 0;
            const int n = i - k * back;
            TgsSpriteRecord* r = FindSpriteSlot(n, back, group);
            if (r == nullptr || r->character < 0)
                continue;
            LoadSpriteRecord(group, n, back);
            if (r->sprite == nullptr)
                continue;
            const uint8_t mode = r->colourMode, flipX = r->flipX, flipY = r->flipY, mosaic = r->mosaic;
            r->colourMode = r->flipX = r->flipY = r->mosaic = 0;
            if (mode != 0)
                SetSpriteColorMode(n, mode, 0, 0, back, group);
            // The pixel operation refuses a turned picture: it was applied before the turn.
            if (mosaic != 0)
                ApplySpritePixelOp(n, mosaic, back, group);
            if (flipX != 0 || flipY != 0)
                SetSpriteColorMode(n, 0, flipX, flipY, back, group);
            r->sprite->SetAlpha(r->alpha);
            if (r->animationZoom != 0) {
                r->sprite->SetRotationPivot(-1, r->zoomX, r->zoomY);
                r->sprite->SetRotateZoom(r->animationAngle, r->animationZoom);
            }
            char text[sizeof r->pendingText];
            std::memcpy(text, r->pendingText, sizeof text);
            if (r->pendingKind == 1) {
                StartSpPanime(n, text, r->pendingArgument, back, group, true);
                fadeIn = false;
            } else if (r->pendingKind == 2) {
                StartSpPartsFromList(n, r->pendingArgument, back, group, true);
                fadeIn = false;
            }
            if (back == 0)
                frontSprite = true;
        }
    }
    m_autoTint = tint;

    // Background pages.
    for (uint8_t p = 0; p < 2; ++p) {
        TgsPageRecord& rec = Page(p);
        bool animation = false;
        if (rec.layerName[0] != 0) {
            char file[sizeof rec.layerName];
            std::memcpy(file, rec.layerName, sizeof file);
            const uint8_t state = rec.animationState;
            animation = LoadLayerAnimation(file, rec.animationGroup, rec.animationEntry, p) == 0;
            // Loading plays it; a paused or stopped one is put back in its state.
            if (animation && state == 2)
                ControlLayerAnimation(2, 0, 0, p);
            else if (animation && state == 0)
                ControlLayerAnimation(4, 0, 0, p);
        }
        if (rec.name[0] != 0) {
            RefreshLayerImage(p);
        } else if (!animation) {
            if (CScene* scene = PageScene(p))
                scene->SetBackgroundColor(rec.colour, true);
            if (rec.colour == 0 && p == 0 && !frontSprite)
                fadeIn = false;
        }
        if (rec.name[0] != 0 || animation) {
            const uint8_t mode = rec.colourMode, flipX = rec.flipX, flipY = rec.flipY, letterbox = rec.letterbox;
            const uint8_t mosaic = rec.mosaic;
            rec.colourMode = rec.flipX = rec.flipY = rec.letterbox = rec.mosaic = 0;
            if (mosaic != 0)
                ApplyLayerPixelOp(mosaic, p);
            if (mode != 0 || flipX != 0 || flipY != 0 || letterbox != 0)
                SetLayerColorMode(mode, flipX, flipY, letterbox, p);
        }
        // The view, zoom and position were shown with the picture; a rendered page is drawn
        // again from them.
        if (rec.rendered != 0) {
            rec.rendered = 0;
            RenderLayer(true, p, false);
        }
    }

    // Layer slots: each restarts its effect from its words; the copy is taken first because a
    // start writes the slot again.
    for (int l = 0; l < 3; ++l) {
        const TgsLayerSlot slot = m_layers[static_cast<size_t>(l)];
        const auto& w = slot.words;
        const int32_t t = -l;
        const int32_t kind = slot.effectKind;
        auto byte = [](int32_t v) { return static_cast<uint8_t>(v); };
        switch (kind) {
        case 0:
            break;
        case 1:
            StartNoise(l, byte(w[1]), w[2] != 0, w[3] != 0);
            fadeIn = fadeIn && w[2] == 0;
            break;
        case 2:
            StartBgPanime(byte(w[1]), slot.text, w[2], w[3] != 0, w[4] != 0, false, l);
            fadeIn = fadeIn && w[1] != 0;
            break;
        case 3:
            StartQuake(0, w[1], w[2], w[3], t, 0, w[4] != 0, w[5] != 0, w[6] != 0, 0);
            fadeIn = fadeIn && w[5] == 0;
            break;
        case 4:
        case 5:
        case 6:
            StartBgRasterHaze(byte(w[1]), kind - 4, w[2], w[3], w[4], t, 0, w[5], w[6] != 0);
            fadeIn = fadeIn && w[1] != 0;
            break;
        case 7:
            StartBgLoop(byte(w[1]), byte(w[2]), w[3], t);
            fadeIn = fadeIn && w[1] != 0;
            break;
        case 8:
            StartSpParts(slot.text, w[1], byte(w[4]), t, w[2] != 0, w[3] != 0, w[5] != 0);
            if (w[4] == 2 ? w[2] != 0 : w[4] == 0)
                fadeIn = false;
            break;
        case 9:
            StartBgCross(w[1], t, byte(w[2]), byte(w[3]));
            fadeIn = fadeIn && w[3] != 0;
            break;
        default:
            StartWeather(l, kind - 10, w[1], true, slot.text, w[2] != 0, w[3] != 0);
            fadeIn = fadeIn && w[2] == 0;
            break;
        }
    }

    // Sound channels that looped start again on their own channels.
    for (int c = 0; c < kEffectChannels; ++c) {
        const TgsSoundChannel channel = m_soundChannels[static_cast<size_t>(c)];
        if (!channel.name.empty())
            PlayEffect(channel.name.c_str(), c, channel.flag != 0, true);
    }

    if (m_link->HasStateSnapshot())
        SetMenuControlState(2, 1);

    // A remembered screen quake.
    if (m_rememberedQuake[0] != 0) {
        const auto& q = m_rememberedQuake;
        if (q[0] == 1)
            TransQuake(0, q[1], q[2], q[3], 0, 0, q[4] != 0, q[5] != 0, 0);
        fadeIn = false;
    }

    // The choice list the state was saved with.
    if (m_resumePage && !m_resumePage->choices.empty()) {
        const TgsSavedPage& page = *m_resumePage;
        m_choiceCount = static_cast<int32_t>(page.choices.size());
        if (m_textLayer) {
            m_textLayer->ClearLines();
            m_textLayer->SetLocked(false);
            TgsScriptEntry* entry = CurrentEntry();
            // The saved values are the lines' seen-bit numbers; the cell is checked again.
            m_textLayer->SetReadFlags(entry != nullptr ? &entry->choiceBits : nullptr, 0, CellAt(page.listValue));
            for (const TgsSavedChoice& c : page.choices)
                m_textLayer->AddLine(c.text.c_str(), nullptr, c.flag != 0, static_cast<int>(c.value), nullptr, -1,
                                     nullptr, nullptr, nullptr, nullptr);
        }
        const TextLogEntry* newest = m_textLog.GetEntry(m_textLog.Count() - 1);
        if (newest != nullptr && newest->type == 1)
            SetChoiceSerial(newest->serial);
        ShowChoices(true);
    }

    // The message window shows the saved page complete.
    if (m_messageWindow) {
        const TgsWindowRecord& w = m_windowRecords[0];
        if (m_resumePage && !m_resumePage->text.empty()) {
            const TgsSavedPage& page = *m_resumePage;
            m_messageWindow->SetPageText(page.text.data(), static_cast<uint32_t>(page.text.size()));
            m_messageWindow->SetNameAndVoice(page.speaker.empty() ? nullptr : page.speaker.c_str(),
                                             page.voice.empty() ? nullptr : page.voice.c_str());
            if (m_pageWaitByte != 0 && m_resumeVoice != 0)
                m_pendingVoice = page.voice;
            m_messageWindow->SetCharacterTime(0);
            m_messageWindow->ShowPage(true);
            m_messageWindow->FinishReveal();
            if (m_pageWaitByte != 0 && m_currentWindow == 0 && m_choiceCount == 0 && m_choiceWait == 0)
                m_messageWindow->ShowWaitIcon(true);
        }
        if (w.zoom != 0) {
            m_messageWindow->GetSprite().SetRotationPivot(-1, w.pivotX, w.pivotY);
            m_messageWindow->GetSprite().SetRotateZoom(w.angle, w.zoom);
        }
        m_messageWindow->SetVisible(w.shown != 0);
    }
    m_resumePage.reset();
    m_resumeVoice = 0;
    m_rebuildPending = 0;

    m_link->PlayBgm(m_musicNumber, fadeIn ? 1000 : 0, true);

    if (!HideSystemButtons())
        ShowMenuControls(true);

    // Fade the rebuilt screen in over the page as it was.
    if (fadeIn) {
        CImageObject* front = Screen(0);
        CImageObject* back = Screen(1);
        CScene* scene = front != nullptr ? front->GetScene() : nullptr;
        if (scene != nullptr && back != nullptr && back->GetImage() != nullptr) {
            CTimedTask* caption = m_link->CaptionTask();
            if (caption != nullptr && g_pObjectManager != nullptr)
                g_pObjectManager->PauseTask(caption);
            scene->RenderToImage(back->GetImage(), 0, kDrawAny, false);
            front->InvalidateRect(nullptr);
            scene->ClearDirtyState();
            const int r = RunCrossFade(500, 0, 2, nullptr);
            scene->InvalidateAll();
            if (caption != nullptr && g_pObjectManager != nullptr)
                g_pObjectManager->ResumeTask(caption);
            if (r < 0)
                return -1;
        }
    }
    return 0;
}
