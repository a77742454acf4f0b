// The saved-state block's codec: every record written and read field by field at fixed offsets,
// every value range-checked on the way in. See docs/tgs-state.md for the layout.
#include <bit>
#include <cmath>
#include <cstring>
#include <sstream>

#include "script/byte_reader.h"
#include "script/tgs_state.h"

namespace {

// ---- fixed-offset fields ----

void Put32(uint8_t* out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutI32(uint8_t* out, size_t at, int32_t v)
{
    Put32(out, at, static_cast<uint32_t>(v));
}

void PutF32(uint8_t* out, size_t at, double v)
{
    Put32(out, at, std::bit_cast<uint32_t>(static_cast<float>(v)));
}

uint32_t Get32(const uint8_t* in, size_t at)
{
    return in[at] | (uint32_t(in[at + 1]) << 8) | (uint32_t(in[at + 2]) << 16) | (uint32_t(in[at + 3]) << 24);
}

int32_t GetI32(const uint8_t* in, size_t at)
{
    return static_cast<int32_t>(Get32(in, at));
}

// A zoom: finite and not negative (0 none).
bool GetZoom(const uint8_t* in, size_t at, double* zoom)
{
    const float f = std::bit_cast<float>(Get32(in, at));
    if (!std::isfinite(f) || f < 0)
        return false;
    *zoom = f;
    return true;
}

template <size_t N> void PutName(uint8_t* out, size_t at, const char (&name)[N])
{
    const size_t n = strnlen(name, N - 1);
    std::memcpy(out + at, name, n);
}

// A name field must hold its NUL; the bytes after it are ignored.
template <size_t N> bool GetName(const uint8_t* in, size_t at, char (&name)[N])
{
    const void* nul = std::memchr(in + at, 0, N);
    if (nul == nullptr)
        return false;
    const size_t n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (in + at));
    std::memset(name, 0, N);
    std::memcpy(name, in + at, n);
    return true;
}

bool Flag(uint8_t v)
{
    return v <= 1;
}

// ---- the frame's records ----

// Page record offsets.
enum : size_t {
    kPageName = 0, kPageAnimation = 32, kPageFrame = 64, kPageColour = 68, kPageRendered = 72, kPageMode = 73,
    kPageVariant = 74, kPageFlipX = 76, kPageFlipY = 77, kPageLetterbox = 78, kPageMosaic = 79, kPageX = 80,
    kPageY = 84, kPageView = 88, kPageZoom = 104, kPageAngle = 108, kPageAnimState = 112, kPageAnimGroup = 116,
    kPageAnimEntry = 120
};

bool DecodePage(const uint8_t* in, TgsPageRecord* p)
{
    if (!GetName(in, kPageName, p->name) || !GetName(in, kPageAnimation, p->layerName))
        return false;
    p->frame = GetI32(in, kPageFrame);
    p->colour = Get32(in, kPageColour);
    p->rendered = in[kPageRendered];
    p->colourMode = in[kPageMode];
    p->variant = in[kPageVariant];
    p->flipX = in[kPageFlipX];
    p->flipY = in[kPageFlipY];
    p->letterbox = in[kPageLetterbox];
    p->mosaic = in[kPageMosaic];
    p->x = GetI32(in, kPageX);
    p->y = GetI32(in, kPageY);
    p->viewLeft = GetI32(in, kPageView);
    p->viewTop = GetI32(in, kPageView + 4);
    p->viewRight = GetI32(in, kPageView + 8);
    p->viewBottom = GetI32(in, kPageView + 12);
    if (p->viewLeft < 0) {
        // Any negative left is "no view".
        p->viewLeft = -1;
        p->viewTop = p->viewRight = p->viewBottom = 0;
    }
    p->angle = GetI32(in, kPageAngle);
    const int32_t state = GetI32(in, kPageAnimState);
    p->animationGroup = GetI32(in, kPageAnimGroup);
    p->animationEntry = GetI32(in, kPageAnimEntry);
    if (!GetZoom(in, kPageZoom, &p->zoom) || !Flag(p->rendered) || p->colourMode > 4 || p->variant > 2 ||
        !Flag(p->flipX) || !Flag(p->flipY) || !Flag(p->letterbox) || state < 0 || state > 2)
        return false;
    p->animationState = static_cast<uint8_t>(state);
    return true;
}

// Sprite record offsets.
enum : size_t {
    kSpriteName = 0, kSpriteCharacter = 32, kSpriteX = 36, kSpriteY = 40, kSpriteOriginX = 44, kSpriteOriginY = 48,
    kSpritePriority = 52, kSpriteMode = 56, kSpritePlace = 57, kSpriteOffScreen = 58, kSpriteReload = 59,
    kSpriteFlipX = 60, kSpriteFlipY = 61, kSpriteMosaic = 62, kSpritePicture = 63, kSpriteAlpha = 64,
    kSpriteZoom = 68, kSpriteAngle = 72, kSpritePivotX = 76, kSpritePivotY = 80, kSpriteEffect = 84,
    kSpriteEffectValue = 88, kSpriteEffectText = 92
};

// The group's first priority and slots per page of sprite record i of the block.
void SpriteGroupOf(size_t i, int32_t* base, int32_t* slots)
{
    static constexpr int32_t kBase[3] = {10000, 20000, 30000};
    static constexpr int32_t kSlots[3] = {3, 5, 3};
    const size_t g = i < 6 ? 0 : (i < 16 ? 1 : 2);
    *base = kBase[g];
    *slots = kSlots[g];
}

bool DecodeSprite(const uint8_t* in, size_t index, TgsSpriteRecord* r)
{
    if (!GetName(in, kSpriteName, r->name) || !GetName(in, kSpriteEffectText, r->pendingText))
        return false;
    r->character = GetI32(in, kSpriteCharacter);
    r->x = GetI32(in, kSpriteX);
    r->y = GetI32(in, kSpriteY);
    r->originX = GetI32(in, kSpriteOriginX);
    r->originY = GetI32(in, kSpriteOriginY);
    r->priority = GetI32(in, kSpritePriority);
    r->colourMode = in[kSpriteMode];
    r->positionMode = static_cast<int8_t>(in[kSpritePlace]);
    r->offScreen = in[kSpriteOffScreen];
    r->reload = in[kSpriteReload];
    r->flipX = in[kSpriteFlipX];
    r->flipY = in[kSpriteFlipY];
    r->mosaic = in[kSpriteMosaic];
    r->picture = in[kSpritePicture];
    r->alpha = in[kSpriteAlpha];
    r->animationAngle = GetI32(in, kSpriteAngle);
    r->zoomX = GetI32(in, kSpritePivotX);
    r->zoomY = GetI32(in, kSpritePivotY);
    r->pendingKind = GetI32(in, kSpriteEffect);
    r->pendingArgument = GetI32(in, kSpriteEffectValue);
    int32_t base = 0, slots = 0;
    SpriteGroupOf(index, &base, &slots);
    const int64_t step = int64_t{r->priority} - base;
    return GetZoom(in, kSpriteZoom, &r->animationZoom) && step >= 0 && step % 100 == 0 && step / 100 < slots &&
           r->colourMode <= 6 && r->positionMode >= -1 && r->positionMode <= 2 && Flag(r->offScreen) &&
           Flag(r->reload) && Flag(r->flipX) && Flag(r->flipY) && r->picture <= 6 && r->pendingKind >= 0 &&
           r->pendingKind <= 2;
}

// Window record offsets.
enum : size_t {
    kWindowBaseX = 0, kWindowBaseY = 4, kWindowShown = 8, kWindowTextMode = 9, kWindowAlignment = 10,
    kWindowFrameKind = 11, kWindowTextX = 12, kWindowTextY = 16, kWindowFadeTime = 20, kWindowColour = 24,
    kWindowCleared = 28, kWindowZoom = 32, kWindowAngle = 36, kWindowPivotX = 40, kWindowPivotY = 44
};

bool DecodeWindow(const uint8_t* in, TgsWindowRecord* w)
{
    w->baseX = GetI32(in, kWindowBaseX);
    w->baseY = GetI32(in, kWindowBaseY);
    w->shown = in[kWindowShown];
    w->textMode = in[kWindowTextMode];
    w->alignment = in[kWindowAlignment];
    w->frameKind = in[kWindowFrameKind];
    w->textX = GetI32(in, kWindowTextX);
    w->textY = GetI32(in, kWindowTextY);
    w->fadeTime = GetI32(in, kWindowFadeTime);
    w->colourIndex = GetI32(in, kWindowColour);
    w->angle = GetI32(in, kWindowAngle);
    w->pivotX = GetI32(in, kWindowPivotX);
    w->pivotY = GetI32(in, kWindowPivotY);
    return GetZoom(in, kWindowZoom, &w->zoom) && Flag(w->shown) && w->textMode <= 2 && w->alignment <= 2 &&
           w->colourIndex >= -1 && w->colourIndex <= 255;
}

// Frame block offsets.
enum : size_t {
    kBlockMessage = 0, kBlockOptions = 4, kBlockTint = 6, kBlockQuake = 8, kBlockWindow = 32, kBlockMusic = 36,
    kBlockChannel = 40, kBlockDisabled = 44, kBlockChoiceWait = 49, kBlockPageWait = 50, kBlockVoice = 52,
    kBlockLayers = 56, kLayerSlot = 76, kLayerText = 28
};
constexpr int32_t kLastLayerKind = 13; // the four weathers from 10

void EncodeBlock(const TgsSavedState& s, uint8_t* out)
{
    PutI32(out, kBlockMessage, s.message);
    out[kBlockOptions] = s.transitionOptions[0];
    out[kBlockOptions + 1] = s.transitionOptions[1];
    out[kBlockTint] = s.autoTint;
    for (size_t i = 0; i < 6; ++i)
        PutI32(out, kBlockQuake + 4 * i, s.quake[i]);
    PutI32(out, kBlockWindow, s.window);
    PutI32(out, kBlockMusic, s.music);
    PutI32(out, kBlockChannel, s.nextChannel);
    std::memcpy(out + kBlockDisabled, s.choiceDisabled.data(), 5);
    out[kBlockChoiceWait] = s.choiceWait;
    out[kBlockPageWait] = s.pageWait;
    PutI32(out, kBlockVoice, s.voiceMarker);
    for (size_t l = 0; l < 3; ++l) {
        const size_t at = kBlockLayers + kLayerSlot * l;
        const TgsLayerSlot& slot = s.layers[l];
        PutI32(out, at, slot.effectKind);
        for (size_t w = 1; w <= 6; ++w)
            PutI32(out, at + 4 * w, slot.words[w]);
        PutName(out, at + kLayerText, slot.text);
    }
}

bool DecodeBlock(const uint8_t* in, TgsSavedState* s)
{
    s->message = GetI32(in, kBlockMessage);
    s->transitionOptions = {in[kBlockOptions], in[kBlockOptions + 1]};
    s->autoTint = in[kBlockTint];
    for (size_t i = 0; i < 6; ++i)
        s->quake[i] = GetI32(in, kBlockQuake + 4 * i);
    s->window = GetI32(in, kBlockWindow);
    s->music = GetI32(in, kBlockMusic);
    s->nextChannel = GetI32(in, kBlockChannel);
    std::memcpy(s->choiceDisabled.data(), in + kBlockDisabled, 5);
    s->choiceWait = in[kBlockChoiceWait];
    s->pageWait = in[kBlockPageWait];
    s->voiceMarker = GetI32(in, kBlockVoice);
    for (size_t l = 0; l < 3; ++l) {
        const size_t at = kBlockLayers + kLayerSlot * l;
        TgsLayerSlot& slot = s->layers[l];
        slot.effectKind = GetI32(in, at);
        slot.words[0] = 0;
        for (size_t w = 1; w <= 6; ++w)
            slot.words[w] = GetI32(in, at + 4 * w);
        if (!GetName(in, at + kLayerText, slot.text) || slot.effectKind < 0 || slot.effectKind > kLastLayerKind)
            return false;
    }
    for (uint8_t d : s->choiceDisabled)
        if (!Flag(d))
            return false;
    return s->message >= -1 && Flag(s->transitionOptions[0]) && Flag(s->transitionOptions[1]) && Flag(s->autoTint) &&
           (s->quake[0] == 0 || s->quake[0] == 1) && s->window == 0 && s->music >= 0 && s->nextChannel >= 0 &&
           s->nextChannel < static_cast<int32_t>(TgsSavedState::kChannels) && Flag(s->choiceWait) &&
           Flag(s->pageWait) && (s->voiceMarker == -1 || s->voiceMarker == 0);
}

// The choice and message fields inside their L bytes.
bool DecodePage(ByteReader& in, TgsSavedPage* page)
{
    uint32_t count = 0, m = 0;
    if (!in.U8(&count) || count > 8)
        return false;
    if (count > 0 && !in.U32(&page->listValue))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        TgsSavedChoice c;
        uint32_t flag = 0;
        if (!in.U32(&c.value) || !in.U8(&flag) || !Flag(static_cast<uint8_t>(flag)))
            return false;
        // A choice's text is counted with its NUL even when empty.
        uint32_t n = 0;
        const uint8_t* bytes = nullptr;
        if (!in.U8(&n) || n == 0 || !in.Take(n, &bytes) || bytes[n - 1] != 0 || std::memchr(bytes, 0, n - 1))
            return false;
        c.flag = static_cast<uint8_t>(flag);
        c.text.assign(reinterpret_cast<const char*>(bytes), n - 1);
        page->choices.push_back(std::move(c));
    }
    if (!in.U32(&m) || m >= 4096)
        return false;
    if (m > 0) {
        const uint8_t* bytes = nullptr;
        if (!in.Take(m, &bytes) || !TakeCountedText(in, &page->speaker) || !TakeCountedText(in, &page->voice))
            return false;
        page->text.assign(bytes, bytes + m);
    }
    return true;
}

} // namespace

void EncodeTgsPage(const TgsPageRecord& p, uint8_t* out)
{
    std::memset(out, 0, TgsSavedState::kPageRecord);
    PutName(out, kPageName, p.name);
    PutName(out, kPageAnimation, p.layerName);
    PutI32(out, kPageFrame, p.frame);
    Put32(out, kPageColour, p.colour);
    out[kPageRendered] = p.rendered;
    out[kPageMode] = p.colourMode;
    out[kPageVariant] = static_cast<uint8_t>(p.variant);
    out[kPageFlipX] = p.flipX;
    out[kPageFlipY] = p.flipY;
    out[kPageLetterbox] = p.letterbox;
    out[kPageMosaic] = p.mosaic;
    PutI32(out, kPageX, p.x);
    PutI32(out, kPageY, p.y);
    PutI32(out, kPageView, p.viewLeft);
    PutI32(out, kPageView + 4, p.viewTop);
    PutI32(out, kPageView + 8, p.viewRight);
    PutI32(out, kPageView + 12, p.viewBottom);
    PutF32(out, kPageZoom, p.zoom);
    PutI32(out, kPageAngle, p.angle);
    PutI32(out, kPageAnimState, p.animationState);
    PutI32(out, kPageAnimGroup, p.animationGroup);
    PutI32(out, kPageAnimEntry, p.animationEntry);
}

void EncodeTgsSprite(const TgsSpriteRecord& r, uint8_t* out)
{
    std::memset(out, 0, TgsSavedState::kSpriteRecord);
    PutName(out, kSpriteName, r.name);
    PutI32(out, kSpriteCharacter, r.character);
    PutI32(out, kSpriteX, r.x);
    PutI32(out, kSpriteY, r.y);
    PutI32(out, kSpriteOriginX, r.originX);
    PutI32(out, kSpriteOriginY, r.originY);
    PutI32(out, kSpritePriority, r.priority);
    out[kSpriteMode] = r.colourMode;
    out[kSpritePlace] = static_cast<uint8_t>(static_cast<int8_t>(r.positionMode));
    out[kSpriteOffScreen] = r.offScreen;
    out[kSpriteReload] = r.reload;
    out[kSpriteFlipX] = r.flipX;
    out[kSpriteFlipY] = r.flipY;
    out[kSpriteMosaic] = r.mosaic;
    out[kSpritePicture] = static_cast<uint8_t>(r.picture);
    out[kSpriteAlpha] = r.alpha;
    PutF32(out, kSpriteZoom, r.animationZoom);
    PutI32(out, kSpriteAngle, r.animationAngle);
    PutI32(out, kSpritePivotX, r.zoomX);
    PutI32(out, kSpritePivotY, r.zoomY);
    PutI32(out, kSpriteEffect, r.pendingKind);
    PutI32(out, kSpriteEffectValue, r.pendingArgument);
    PutName(out, kSpriteEffectText, r.pendingText);
}

void EncodeTgsWindow(const TgsWindowRecord& w, uint8_t* out)
{
    std::memset(out, 0, TgsSavedState::kWindowRecord);
    PutI32(out, kWindowBaseX, w.baseX);
    PutI32(out, kWindowBaseY, w.baseY);
    out[kWindowShown] = w.shown;
    out[kWindowTextMode] = w.textMode;
    out[kWindowAlignment] = w.alignment;
    out[kWindowFrameKind] = static_cast<uint8_t>(w.frameKind);
    PutI32(out, kWindowTextX, w.textX);
    PutI32(out, kWindowTextY, w.textY);
    PutI32(out, kWindowFadeTime, w.fadeTime);
    PutI32(out, kWindowColour, w.colourIndex);
    PutI32(out, kWindowCleared, 0);
    PutF32(out, kWindowZoom, w.zoom);
    PutI32(out, kWindowAngle, w.angle);
    PutI32(out, kWindowPivotX, w.pivotX);
    PutI32(out, kWindowPivotY, w.pivotY);
}

std::vector<uint8_t> EncodeTgsState(const TgsSavedState& s, const CTextLog* log)
{
    std::vector<uint8_t> out(s.storeBytes);
    const size_t fixedAt = out.size();
    out.resize(fixedAt + TgsSavedState::kFrameBlock + 2 * TgsSavedState::kPageRecord +
               TgsSavedState::kSprites * TgsSavedState::kSpriteRecord + TgsSavedState::kWindowRecord);
    uint8_t* at = out.data() + fixedAt;
    EncodeBlock(s, at);
    at += TgsSavedState::kFrameBlock;
    for (const TgsPageRecord& p : s.pages) {
        EncodeTgsPage(p, at);
        at += TgsSavedState::kPageRecord;
    }
    for (const TgsSpriteRecord& r : s.sprites) {
        EncodeTgsSprite(r, at);
        at += TgsSavedState::kSpriteRecord;
    }
    EncodeTgsWindow(s.windowRecord, at);
    // The backlog: its whole serial range, when asked for and not empty.
    const bool withLog = log != nullptr && log->Count() > 0;
    out.push_back(withLog ? 1 : 0);
    if (withLog) {
        const uint32_t from = log->GetEntry(0)->serial, to = log->GetEntry(log->Count() - 1)->serial;
        const size_t logAt = out.size();
        out.resize(logAt + log->GetSaveSize(from, to));
        uint8_t* p = out.data() + logAt;
        log->Save(&p, from, to);
    }
    for (const TgsSavedChannel& c : s.channels) {
        // A playing channel: the name counted with its NUL, then its flag byte.
        if (c.name.empty()) {
            out.push_back(0);
            continue;
        }
        PutCountedText(out, c.name);
        out.push_back(c.flag);
    }
    PutCountedText(out, s.nameText);
    const size_t lengthAt = out.size();
    PutU32(out, 0);
    out.push_back(static_cast<uint8_t>(s.page.choices.size()));
    if (!s.page.choices.empty()) {
        PutU32(out, s.page.listValue);
        for (const TgsSavedChoice& c : s.page.choices) {
            PutU32(out, c.value);
            out.push_back(c.flag);
            out.push_back(static_cast<uint8_t>(c.text.size() + 1));
            out.insert(out.end(), c.text.begin(), c.text.end());
            out.push_back(0);
        }
    }
    PutU32(out, static_cast<uint32_t>(s.page.text.size()));
    if (!s.page.text.empty()) {
        out.insert(out.end(), s.page.text.begin(), s.page.text.end());
        PutCountedText(out, s.page.speaker);
        PutCountedText(out, s.page.voice);
    }
    Put32(out.data(), lengthAt, static_cast<uint32_t>(out.size() - lengthAt - 4));
    return out;
}

int DecodeTgsState(const uint8_t** cursor, size_t* left, bool withBacklog, int32_t logCapacity, TgsSavedState* out,
                   size_t* stoppedAt)
{
    size_t stop = 0;
    auto fail = [&](int code, size_t at) {
        if (stoppedAt != nullptr)
            *stoppedAt = at;
        return code;
    };
    if (cursor == nullptr || *cursor == nullptr || left == nullptr || out == nullptr)
        return fail(kTgsStateDamaged, 0);
    const uint8_t* start = *cursor;
    const uint8_t* at = start;
    size_t rest = *left;
    if (CTgsScriptStore::ParseState(&at, &rest, &out->store) != 0)
        return fail(kTgsStateStore, 0);
    out->storeBytes.assign(start, at);
    ByteReader in(at, rest);
    auto offset = [&] { return static_cast<size_t>(at - start) + in.Position(); };
    const uint8_t* fixed = nullptr;
    if (!in.Take(TgsSavedState::kFrameBlock, &fixed) || !DecodeBlock(fixed, out))
        return fail(kTgsStateDamaged, offset());
    for (TgsPageRecord& p : out->pages) {
        stop = offset();
        if (!in.Take(TgsSavedState::kPageRecord, &fixed) || !DecodePage(fixed, &p))
            return fail(kTgsStateDamaged, stop);
    }
    for (size_t i = 0; i < TgsSavedState::kSprites; ++i) {
        stop = offset();
        if (!in.Take(TgsSavedState::kSpriteRecord, &fixed) || !DecodeSprite(fixed, i, &out->sprites[i]))
            return fail(kTgsStateDamaged, stop);
    }
    stop = offset();
    if (!in.Take(TgsSavedState::kWindowRecord, &fixed) || !DecodeWindow(fixed, &out->windowRecord))
        return fail(kTgsStateDamaged, stop);
    uint32_t logFlag = 0;
    stop = offset();
    if (!in.U8(&logFlag) || logFlag > 1)
        return fail(kTgsStateDamaged, stop);
    out->log.SetCapacity(logCapacity);
    if (logFlag == 1) {
        stop = offset();
        const uint8_t* logAt = start + stop;
        const uint8_t* end = start + *left;
        if (out->log.Load(&logAt, end, withBacklog) != 0)
            return fail(kTgsStateLog, stop);
        out->hasLog = withBacklog;
        in.Skip(static_cast<size_t>(logAt - (start + stop)));
    }
    for (TgsSavedChannel& c : out->channels) {
        stop = offset();
        uint32_t n = 0, flag = 0;
        const uint8_t* bytes = nullptr;
        if (!in.U8(&n))
            return fail(kTgsStateDamaged, stop);
        if (n == 0)
            continue;
        // A playing channel has a name: its count is at least 2 with the NUL.
        if (n == 1 || !in.Take(n, &bytes) || bytes[n - 1] != 0 || std::memchr(bytes, 0, n - 1) != nullptr ||
            !in.U8(&flag))
            return fail(kTgsStateDamaged, stop);
        c.name.assign(reinterpret_cast<const char*>(bytes), n - 1);
        c.flag = flag != 0 ? 1 : 0;
    }
    stop = offset();
    if (!TakeCountedText(in, &out->nameText) || out->nameText.size() > 40)
        return fail(kTgsStateDamaged, stop);
    uint32_t length = 0;
    stop = offset();
    const uint8_t* pageBytes = nullptr;
    if (!in.U32(&length) || !in.Take(length, &pageBytes))
        return fail(kTgsStateDamaged, stop);
    if (length > 0) {
        ByteReader page(pageBytes, length);
        if (!DecodePage(page, &out->page) || page.Left() != 0)
            return fail(kTgsStateDamaged, stop + 4 + page.Position());
        out->hasPage = true;
    }
    *cursor = at + in.Position();
    *left = rest - in.Position();
    return 0;
}

std::string DescribeTgsState(const TgsSavedState& s)
{
    std::ostringstream o;
    auto names = [&](const char* what, const std::vector<std::string>& list) {
        o << what << ":";
        for (const std::string& n : list)
            o << " " << n;
        o << "\n";
    };
    names("store.stack", s.store.lists[0]);
    names("store.preloaded", s.store.lists[1]);
    o << "store.returns: " << s.store.returns.size() << "\n";
    o << "store.current: " << s.store.currentIndex << "\nstore.cursor: " << s.store.textCursor << "\n";
    o << "message: " << s.message << "\ntransition_options: " << int(s.transitionOptions[0]) << " "
      << int(s.transitionOptions[1]) << "\nauto_tint: " << int(s.autoTint) << "\nquake:";
    for (int32_t v : s.quake)
        o << " " << v;
    o << "\nwindow: " << s.window << "\nmusic: " << s.music << "\nnext_channel: " << s.nextChannel
      << "\nchoice_disabled:";
    for (uint8_t d : s.choiceDisabled)
        o << " " << int(d);
    o << "\nchoice_wait: " << int(s.choiceWait) << "\npage_wait: " << int(s.pageWait)
      << "\nvoice_marker: " << s.voiceMarker << "\n";
    for (size_t l = 0; l < 3; ++l) {
        const TgsLayerSlot& slot = s.layers[l];
        o << "layer[" << l << "]: kind " << slot.effectKind << " words";
        for (size_t w = 1; w <= 6; ++w)
            o << " " << slot.words[w];
        o << " text \"" << slot.text << "\"\n";
    }
    for (size_t p = 0; p < 2; ++p) {
        const TgsPageRecord& r = s.pages[p];
        o << (p == 0 ? "page.front" : "page.back") << ": name \"" << r.name << "\" animation \"" << r.layerName
          << "\" state " << int(r.animationState) << " from " << r.animationGroup << "," << r.animationEntry
          << " colour " << r.colour << " rendered " << int(r.rendered) << " mode " << int(r.colourMode)
          << " variant " << r.variant << " flips " << int(r.flipX) << int(r.flipY) << " letterbox "
          << int(r.letterbox) << " mosaic " << int(r.mosaic) << " at " << r.x << "," << r.y << " view "
          << r.viewLeft << "," << r.viewTop << "," << r.viewRight << "," << r.viewBottom << " zoom " << r.zoom
          << " angle " << r.angle << "\n";
    }
    static const char* const kGroups[] = {"A", "B", "C"};
    for (size_t i = 0; i < TgsSavedState::kSprites; ++i) {
        const TgsSpriteRecord& r = s.sprites[i];
        const size_t g = i < 6 ? 0 : (i < 16 ? 1 : 2);
        o << "sprite." << kGroups[g] << "[" << (i - (g == 0 ? 0 : g == 1 ? 6 : 16)) << "]: character "
          << r.character << " name \"" << r.name << "\" at " << r.x << "," << r.y << " origin " << r.originX << ","
          << r.originY << " priority " << r.priority << " place " << r.positionMode << " off " << int(r.offScreen)
          << " mode " << int(r.colourMode) << " flips " << int(r.flipX) << int(r.flipY) << " mosaic "
          << int(r.mosaic) << " picture " << r.picture << " alpha " << int(r.alpha) << " zoom " << r.animationZoom
          << " angle " << r.animationAngle << " pivot " << r.zoomX << "," << r.zoomY << " effect " << r.pendingKind
          << " " << r.pendingArgument << " \"" << r.pendingText << "\"\n";
    }
    const TgsWindowRecord& w = s.windowRecord;
    o << "window: shown " << int(w.shown) << " base " << w.baseX << "," << w.baseY << " text " << w.textX << ","
      << w.textY << " mode " << int(w.textMode) << " alignment " << int(w.alignment) << " frame " << w.frameKind
      << " fade " << w.fadeTime << " colour " << w.colourIndex << " zoom " << w.zoom << " angle " << w.angle
      << " pivot " << w.pivotX << "," << w.pivotY << "\n";
    o << "backlog: " << (s.hasLog ? s.log.Count() : 0) << " entries\n";
    for (size_t c = 0; c < TgsSavedState::kChannels; ++c)
        o << "channel[" << c << "]: \"" << s.channels[c].name << "\" flag " << int(s.channels[c].flag) << "\n";
    o << "name_text: \"" << s.nameText << "\"\n";
    o << "choices: " << s.page.choices.size();
    if (!s.page.choices.empty())
        o << " list " << s.page.listValue;
    o << "\n";
    for (const TgsSavedChoice& c : s.page.choices)
        o << "choice: value " << c.value << " flag " << int(c.flag) << " \"" << c.text << "\"\n";
    o << "page_text: " << s.page.text.size() << " bytes \""
      << std::string(s.page.text.begin(), s.page.text.end()) << "\"\nspeaker: \"" << s.page.speaker
      << "\"\nvoice: \"" << s.page.voice << "\"\n";
    return o.str();
}
