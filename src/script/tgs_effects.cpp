// The frame's effect control: when an effect object is made on a page, a layer slot, a sprite or
// the message window, when its end state is applied at once instead, what a layer slot remembers
// of it for a saved state, and how a wait on it ends.
#include "script/tgs_effects.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/image_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/bg_effects.h"
#include "effects/layer_effect.h"
#include "effects/sp_panime.h"
#include "files/elg_loader.h"
#include "files/file_stream.h"
#include "files/object_plugin_manager.h"
#include "platform/app_config.h"
#include "platform/decimal_text.h"
#include "platform/timer_manager.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "script/tgs_layers.h"
#include "winapi/kernel.h"

namespace {

constexpr TgsEffectRow kRows[] = {
    {TgsEffectStart::BgZoom, "bg_zoom", "iivvi"},
    {TgsEffectStart::BgRot, "bg_rot", "iiitvi"},
    {TgsEffectStart::BgPanime, "bg_panime", "tibbbbb"},
    {TgsEffectStart::BgBlur, "bg_blur", "ivvvvvvvvvvvvvvvb"},
    {TgsEffectStart::BgBlurEx, "bg_blur", "tvvvvvvvvvvb"},
    {TgsEffectStart::Noise, "noise", "bibb"},
    {TgsEffectStart::Quake, "quake", "iiiiiiiii"},
    {TgsEffectStart::BgRast, "bg_rast", "iiiiiibb"},
    {TgsEffectStart::BgHaze, "bg_haze", "tiiiiibb"},
    {TgsEffectStart::BgLoop, "bg_loop", "biib"},
    {TgsEffectStart::BgCross, "bg_cross", "iibbb"},
    {TgsEffectStart::Paper, "paper", "iiibtbb"},
    {TgsEffectStart::Light, "light", "iiibtbb"},
    {TgsEffectStart::Snow, "snow", "iiibtbb"},
    {TgsEffectStart::Rain, "rain", "iiibtbb"},
    {TgsEffectStart::SpParts, "sp_parts", "tiiibdbbbbb"},
    {TgsEffectStart::SpPartsFromList, "sp_parts", "tiiibdb"},
    {TgsEffectStart::SpCfade, "sp_cfade", "ooiii"},
    {TgsEffectStart::SpPanime, "sp_panime", "otibb"},
    {TgsEffectStart::SpChange, "sp_change", "ootbiiii"},
    {TgsEffectStart::WindowPanime, "sp_panime", "otibb"},
};

// The texts bg_haze takes in place of its first value (v = 1, 2).
constexpr const char* kHazeTexts[] = {"(1,0,10)", "(1,0,20)"};
// The weather kinds k = 0..3.
constexpr TgsEffectStart kWeather[] = {TgsEffectStart::Paper, TgsEffectStart::Light, TgsEffectStart::Snow,
                                       TgsEffectStart::Rain};

// Layer slot kinds.
enum : int32_t {
    kLayerNoise = 1,
    kLayerBgPanime = 2,
    kLayerQuake = 3,
    kLayerBgRast = 4,
    kLayerBgLoop = 7,
    kLayerSpParts = 8,
    kLayerBgCross = 9,
    kLayerWeather = 10,
};

constexpr size_t kSlotTextMax = sizeof(TgsLayerSlot::text) - 1;

bool Held(CLayerEffect* effect)
{
    return effect != nullptr && g_pObjectManager != nullptr && g_pObjectManager->Contains(effect);
}

bool TextFits(const char* text)
{
    return text == nullptr || strlen(text) <= kSlotTextMax;
}

void CopyText(char (&to)[48], const char* text)
{
    const size_t n = text != nullptr ? std::min(strlen(text), kSlotTextMax) : 0;
    memcpy(to, text != nullptr ? text : "", n);
    to[n] = 0;
}

// Writes a layer slot record: the kind, its words 1-6 and its text.
void Remember(TgsLayerSlot& slot, int32_t kind, std::initializer_list<int32_t> words,
              const char* text = nullptr)
{
    slot.effectKind = kind;
    slot.words.fill(0);
    size_t i = 1;
    for (int32_t w : words)
        slot.words[i++] = w;
    CopyText(slot.text, text);
}

int32_t PageByte(int page)
{
    return page != 0 ? 1 : 0;
}

// A value the effect would read as a decimal: its text, or its integer.
double Decimal(const TgsEffectValue& v, double fallback)
{
    if (v.type == TgsEffectValue::kText)
        return ReadDecimalText(v.text, fallback);
    if (v.type == TgsEffectValue::kReal)
        return v.real;
    return v.type == TgsEffectValue::kNumber ? v.number : fallback;
}

int32_t Clamp32(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int32_t>(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

std::span<const TgsEffectRow> TgsEffectRows()
{
    return kRows;
}

const TgsEffectRow& TgsEffectRowOf(TgsEffectStart start)
{
    for (const TgsEffectRow& row : kRows) {
        if (row.start == start)
            return row;
    }
    return kRows[0];
}

bool BuildEffectPack(const TgsEffectRow& row, std::span<const TgsEffectValue> values, CEffectArgs* pack)
{
    pack->Clear();
    if (strlen(row.kinds) != values.size())
        return false;
    for (size_t i = 0; i < values.size(); ++i) {
        const TgsEffectValue& v = values[i];
        const bool numeric = v.type == TgsEffectValue::kNumber || v.type == TgsEffectValue::kReal;
        const int32_t number = v.type == TgsEffectValue::kReal ? static_cast<int32_t>(v.real) : v.number;
        switch (row.kinds[i]) {
        case 'i':
        case 'b':
            if (!numeric)
                return false;
            pack->AddInt(row.kinds[i] == 'b' ? (number & 0xFF) : number);
            break;
        case 'd':
            if (!numeric)
                return false;
            pack->AddDouble(v.type == TgsEffectValue::kReal ? v.real : v.number);
            break;
        case 't':
            if (v.type != TgsEffectValue::kText)
                return false;
            pack->AddText(v.text);
            break;
        case 'o':
            if (v.type != TgsEffectValue::kObject)
                return false;
            pack->AddObject(v.object);
            break;
        case 'v':
            if (v.type == TgsEffectValue::kText)
                pack->AddText(v.text);
            else if (v.type == TgsEffectValue::kObject)
                return false;
            else
                pack->AddInt(number);
            break;
        default:
            return false;
        }
    }
    return true;
}

bool BuildEffectPack(const TgsEffectRow& row, std::initializer_list<TgsEffectValue> values, CEffectArgs* pack)
{
    return BuildEffectPack(row, std::span<const TgsEffectValue>(values.begin(), values.size()), pack);
}

bool CTgsFrame::EffectsOn() const
{
    return g_pAppConfig == nullptr || g_pAppConfig->option9 != 0;
}

bool CTgsFrame::SkipRequested()
{
    return CheckSkipInput(2) != 0 || m_skipMode != 0 || m_pageSkip != 0;
}

bool CTgsFrame::EffectsEffective()
{
    return EffectsOn() && !SkipRequested();
}

int CTgsFrame::CreateEffect(CLayerEffect** holder, const char* name, CImageObject* target,
                            const CEffectArgs& args)
{
    // A holder owns one effect: an old one must not clear it later.
    ReleaseManagedObject(holder);
    return CreateLayerEffect(name, target, args, holder);
}

int CTgsFrame::StartRow(TgsEffectStart start, CLayerEffect** holder, CImageObject* target,
                        std::initializer_list<TgsEffectValue> values)
{
    const TgsEffectRow& row = TgsEffectRowOf(start);
    CEffectArgs pack;
    if (!BuildEffectPack(row, values, &pack))
        return 1;
    return CreateEffect(holder, row.effect, target, pack);
}

int CTgsFrame::WaitEffectObject(CLayerEffect** holder, bool skippable)
{
    if (holder == nullptr || *holder == nullptr)
        return 0;
    while (true) {
        if (StepFrame() == 0)
            return -1;
        if (!Held(*holder)) {
            *holder = nullptr;
            return 0;
        }
        if (skippable && (CheckSkipInput(3) != 0 || m_skipMode != 0 || m_pageSkip != 0)) {
            ReleaseManagedObject(holder);
            return 1;
        }
    }
}

void CTgsFrame::ReleaseManagedObject(CLayerEffect** holder)
{
    if (holder == nullptr || *holder == nullptr)
        return;
    CLayerEffect* effect = *holder;
    *holder = nullptr;
    // Without the scheduler it cannot be cancelled; it must not clear the holder later.
    if (g_pObjectManager == nullptr || !g_pObjectManager->Cancel(effect))
        effect->SetOwnerSlot<CLayerEffect>(nullptr);
}

void CTgsFrame::ResetBackgroundEffects(uint8_t page, bool redrawAnime)
{
    StopTransition();
    const int32_t p = PageByte(page);
    ReleaseManagedObject(&Page(p).effects[0]);
    for (int i = 0; i < 3; ++i) {
        const TgsLayerSlot& slot = m_layers[static_cast<size_t>(i)];
        const int32_t kind = slot.effectKind;
        const bool pageBound = kind == kLayerBgPanime || (kind >= kLayerBgRast && kind <= kLayerBgLoop);
        if ((pageBound && slot.words[1] == p) || kind == kLayerBgCross || kind < 0)
            StopLayerEffect(i, true);
    }
    const TgsPageRecord& record = Page(p);
    if (redrawAnime && record.animation != nullptr && record.animationState == 1)
        ControlLayerAnimation(4, 0, 0, static_cast<uint8_t>(p));
}

int CTgsFrame::SetLayerEffectParams(int layer, int32_t a, int32_t b)
{
    if (layer < 0 || layer > 2)
        return 1;
    TgsLayerSlot& slot = m_layers[static_cast<size_t>(layer)];
    if (!Held(slot.effect))
        return 1;
    const int32_t kind = slot.effectKind;
    if (kind == kLayerNoise)
        slot.effect->SetParams(a, b);
    else if (kind == kLayerSpParts || kind >= kLayerWeather)
        slot.effect->SetParams(1, a, b);
    else
        return 2;
    slot.words[2] = a;
    slot.words[3] = b;
    return 0;
}

int CTgsFrame::StopLayerEffect(int layer, bool release)
{
    if (layer < 0 || layer > 2)
        return 1;
    TgsLayerSlot& slot = m_layers[static_cast<size_t>(layer)];
    const int32_t kind = slot.effectKind;
    slot.effectKind = 0;
    if (!release && kind > 2 && (kind != kLayerQuake || slot.words[1] != 0)) {
        // Asked to end by itself: it runs out its closing steps.
        if (!Held(slot.effect))
            return 1;
        return slot.effect->SetParams(0);
    }
    ReleaseManagedObject(&slot.effect);
    return 0;
}

int CTgsFrame::WaitBgQuake(uint8_t page, bool skippable)
{
    return WaitEffectObject(&Page(page).effects[1], skippable);
}

void CTgsFrame::ReleaseBgQuake(uint8_t page)
{
    ReleaseManagedObject(&Page(page).effects[1]);
}

int CTgsFrame::WaitSpriteEffect(int n, uint8_t page, int group, bool skippable)
{
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 3;
    if (record->effect == nullptr)
        return 0;
    if (record->pendingKind != 0) {
        ReleaseManagedObject(&record->effect);
        record->pendingKind = 0;
        return 2;
    }
    return WaitEffectObject(&record->effect, skippable);
}

int CTgsFrame::ReleaseSpriteEffect(int n, uint8_t page, int group)
{
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 1;
    ReleaseManagedObject(&record->effect);
    record->pendingKind = 0;
    return 0;
}

int CTgsFrame::WaitWindowEffect(int n, bool skippable)
{
    if (n > 0)
        return 2;
    TgsWindowRecord& record = m_windowRecords[0];
    const int r = WaitEffectObject(&record.effects[0], skippable);
    ReleaseManagedObject(&record.effects[1]);
    return r;
}

void CTgsFrame::ReleaseWindowEffects(int n)
{
    if (n > 0)
        return;
    for (CLayerEffect*& holder : m_windowRecords[0].effects)
        ReleaseManagedObject(&holder);
}

// ---- page and layer starts ----

// Where a start puts its effect: layer slot -t (t <= 0; stopped first) or the page's holder.
// → the holder, or null for a slot above 2.
CLayerEffect** CTgsFrame::TargetHolder(int32_t t, uint8_t page, TgsLayerSlot** slot)
{
    *slot = nullptr;
    if (t <= 0) {
        if (t < -2)
            return nullptr;
        const int layer = static_cast<int>(-t);
        StopLayerEffect(layer, true);
        *slot = &m_layers[static_cast<size_t>(layer)];
        return &(*slot)->effect;
    }
    CLayerEffect** holder = &Page(page).effects[0];
    ReleaseManagedObject(holder);
    return holder;
}

int CTgsFrame::StartBgZoom(uint8_t page, int32_t a, int32_t b, TgsEffectValue c, TgsEffectValue d, int32_t e)
{
    StopTransition();
    if (!EffectsEffective())
        return StartLayerZoom(a, b, c.type == TgsEffectValue::kText ? c.text : nullptr, page);
    CLayerEffect** holder = &Page(page).effects[0];
    const int r = StartRow(TgsEffectStart::BgZoom, holder, Screen(page), {a, b, c, d, e});
    if (r != 0)
        return r;
    CEffectArgs out;
    (*holder)->Query(&out);
    const int32_t x = out.IntAt(0), y = out.IntAt(1);
    const int32_t rect[4] = {x, y, x + out.IntAt(2), y + out.IntAt(3)};
    SetPageView(page, 0, 0, rect, 0.0, Page(page).angle);
    return 0;
}

int CTgsFrame::StartBgRot(uint8_t page, int32_t angle, const char* zoomText, int32_t x, int32_t y,
                          TgsEffectValue a, int32_t b)
{
    StopTransition();
    if (!EffectsEffective())
        return SetLayerZoom(angle, zoomText, x, y, page);
    const int r =
        StartRow(TgsEffectStart::BgRot, &Page(page).effects[0], Screen(page), {x, y, angle, zoomText, a, b});
    if (r != 0)
        return r;
    SetPageView(page, x, y, nullptr, ReadDecimalText(zoomText, 1.0), angle);
    return 0;
}

int CTgsFrame::StartBgPanime(uint8_t page, const char* text, int32_t a, bool b, bool c, bool d, int32_t t)
{
    StopTransition();
    const bool layer = t >= 0;
    if (layer && t > 2)
        return 1;
    if (layer && !TextFits(text))
        return 1;
    CLayerEffect** holder = nullptr;
    if (layer) {
        StopLayerEffect(static_cast<int>(t), true);
        TgsLayerSlot& slot = m_layers[static_cast<size_t>(t)];
        Remember(slot, kLayerBgPanime, {PageByte(page), a, b, c}, text);
        holder = &slot.effect;
    } else {
        holder = &Page(page).effects[0];
        ReleaseManagedObject(holder);
    }
    if (layer ? EffectsOn() : EffectsEffective())
        return StartRow(TgsEffectStart::BgPanime, holder, Screen(page),
                        {text, a, b, c, d, layer, PageByte(page)});
    const int r = ApplyBgPanime(text, page);
    return r != 0 ? r + 4 : 0;
}

int CTgsFrame::StartBgBlur(uint8_t page, std::span<const TgsEffectValue> w, bool view, bool wait,
                           bool skippable)
{
    StopTransition();
    if (w.size() != 15)
        return 1;
    if (!EffectsEffective()) {
        if (!view)
            return 0;
        return ApplyBgBlur(page, w[0].number, w[1].number, Decimal(w[4], 1.0), Decimal(w[5], 0.0));
    }
    CLayerEffect** holder = &Page(page).effects[0];
    std::vector<TgsEffectValue> values{TgsEffectValue(int32_t{0})};
    values.insert(values.end(), w.begin(), w.end());
    values.emplace_back(view);
    const TgsEffectRow& row = TgsEffectRowOf(TgsEffectStart::BgBlur);
    CEffectArgs pack;
    if (!BuildEffectPack(row, values, &pack))
        return 1;
    if (const int r = CreateEffect(holder, row.effect, Screen(page), pack); r != 0)
        return r;
    if (view)
        ViewFromBlur(page, w[0].number, w[1].number, Decimal(w[4], 1.0), Decimal(w[5], 0.0));
    if (wait)
        WaitEffectObject(holder, skippable);
    return 0;
}

int CTgsFrame::StartBgBlurEx(uint8_t page, const char* list, std::span<const TgsEffectValue> w, bool view,
                             bool wait, bool skippable)
{
    StopTransition();
    if (w.size() != 10)
        return 1;
    // The list's last point is the view the effect ends on.
    std::vector<CBgBlurEffect::Point> points;
    const bool listed = ParseBlurPath(list, &points);
    if (!EffectsEffective()) {
        if (!view)
            return 0;
        if (!listed)
            return 2;
        return ApplyBgBlur(page, Clamp32(points.back().x), Clamp32(points.back().y), points.back().zoom, 0.0);
    }
    CLayerEffect** holder = &Page(page).effects[0];
    std::vector<TgsEffectValue> values{TgsEffectValue(list)};
    values.insert(values.end(), w.begin(), w.end());
    values.emplace_back(view);
    const TgsEffectRow& row = TgsEffectRowOf(TgsEffectStart::BgBlurEx);
    CEffectArgs pack;
    if (!BuildEffectPack(row, values, &pack))
        return 1;
    if (const int r = CreateEffect(holder, row.effect, Screen(page), pack); r != 0)
        return r;
    if (view && listed)
        ViewFromBlur(page, Clamp32(points.back().x), Clamp32(points.back().y), points.back().zoom, 0.0);
    if (wait)
        WaitEffectObject(holder, skippable);
    return 0;
}

int CTgsFrame::StartNoise(int layer, int32_t p, bool q, bool r)
{
    if (layer < 0 || layer > 2)
        return 1;
    StopLayerEffect(layer, true);
    TgsLayerSlot& slot = m_layers[static_cast<size_t>(layer)];
    Remember(slot, kLayerNoise, {p & 0xFF, q, r});
    if (!EffectsOn())
        return 0;
    return StartRow(TgsEffectStart::Noise, &slot.effect, Screen(0), {p, 19900, q, r});
}

int CTgsFrame::StartQuake(uint8_t page, int32_t a, int32_t b, int32_t c, int32_t t, int32_t e, int32_t f,
                          int32_t g, int32_t h, int32_t i)
{
    TgsLayerSlot* slot = nullptr;
    CLayerEffect** holder = nullptr;
    if (t <= 0) {
        if (t < -2)
            return 1;
        holder = TargetHolder(t, page, &slot);
        Remember(*slot, kLayerQuake, {a, b, c, f, g, h});
    } else {
        // A quake on a page goes into the page's quake holder.
        holder = &Page(page).effects[1];
        ReleaseManagedObject(holder);
    }
    if (!EffectsOn())
        return 0;
    return StartRow(TgsEffectStart::Quake, holder, Screen(0),
                    {a, b, c, slot != nullptr ? 0 : t, e, f, g, h, i});
}

int CTgsFrame::StartBgRasterHaze(uint8_t page, int32_t v, int32_t a, int32_t b, int32_t c, int32_t t,
                                 int32_t d, int32_t e, int32_t f)
{
    StopTransition();
    if (v < 0 || v > 2)
        return 1;
    TgsLayerSlot* slot = nullptr;
    CLayerEffect** holder = TargetHolder(t, page, &slot);
    if (holder == nullptr)
        return 1;
    if (slot != nullptr)
        Remember(*slot, kLayerBgRast + v, {PageByte(page), a, b, c, e, f & 0xFF});
    if (!EffectsOn())
        return 0;
    const int32_t time = slot != nullptr ? 0 : t;
    int r = 0;
    if (v == 0)
        r = StartRow(TgsEffectStart::BgRast, holder, Screen(page), {a, b, c, time, d, e, f, PageByte(page)});
    else
        r = StartRow(TgsEffectStart::BgHaze, holder, Screen(page),
                     {kHazeTexts[v - 1], b, c, time, d, e, f, PageByte(page)});
    if (r == 0)
        return 0;
    return v == 0 ? 2 : 3;
}

int CTgsFrame::StartBgLoop(uint8_t page, int32_t a, int32_t b, int32_t t)
{
    StopTransition();
    TgsLayerSlot* slot = nullptr;
    CLayerEffect** holder = nullptr;
    if (t <= 0) {
        holder = TargetHolder(t, page, &slot);
        if (holder == nullptr)
            return 1;
        Remember(*slot, kLayerBgLoop, {PageByte(page), a & 0xFF, b});
    } else {
        // Kept by the front page whatever the page, so that resetting the front stops it.
        holder = &Page(0).effects[0];
        ReleaseManagedObject(holder);
    }
    if (!EffectsOn())
        return 0;
    return StartRow(TgsEffectStart::BgLoop, holder, Screen(page),
                    {a, b, slot != nullptr ? 0 : t, slot != nullptr});
}

int CTgsFrame::StartBgCross(int32_t a, int32_t t, int32_t c, int32_t d)
{
    StopTransition();
    TgsLayerSlot* slot = nullptr;
    CLayerEffect** holder = TargetHolder(t, 0, &slot);
    if (holder == nullptr)
        return 1;
    if (slot != nullptr)
        Remember(*slot, kLayerBgCross, {a, c & 0xFF, d & 0xFF});
    if (!EffectsOn())
        return 0;
    return StartRow(TgsEffectStart::BgCross, holder, Screen(0),
                    {a, slot != nullptr ? 0 : t, c, d, slot != nullptr});
}

int CTgsFrame::StartWeather(int layer, int32_t k, int32_t n, bool b, const char* text, bool d, bool e)
{
    if (layer < 0 || layer > 2 || k < 0 || k > 3 || !TextFits(text))
        return 1;
    StopLayerEffect(layer, true);
    TgsLayerSlot& slot = m_layers[static_cast<size_t>(layer)];
    Remember(slot, kLayerWeather + k, {n, d, e, b}, text);
    if (!EffectsOn())
        return 0;
    return StartRow(kWeather[k], &slot.effect, Screen(0),
                    {n, 19950, 600, b, text != nullptr ? text : "", d, e});
}

int CTgsFrame::StartSpParts(const char* list, int32_t priority, int page, int32_t t, bool showFront,
                            bool showBack, bool ownScene)
{
    StopTransition();
    const bool layer = t <= 0;
    if (list == nullptr || (layer && t < -2))
        return 1;
    if (!layer && showBack)
        return 2;
    if (layer && strlen(list) > kSlotTextMax)
        return 3;
    const bool both = page >= 2;
    const int target = both ? 0 : PageByte(page);
    TgsLayerSlot* slot = nullptr;
    CLayerEffect** holder = TargetHolder(t, target, &slot);
    if (slot != nullptr)
        Remember(*slot, kLayerSpParts, {priority, showFront, showBack, both ? 2 : target, ownScene}, list);
    if (layer ? !EffectsOn() : !EffectsEffective())
        return 0;
    const int r = StartRow(TgsEffectStart::SpParts, holder, Screen(target),
                           {list, 0, 0, priority, t, 1.0, target, ownScene, both, showFront, showBack});
    return r != 0 ? 4 : 0;
}

// ---- direct applies ----

int CTgsFrame::ApplyBgPanime(const char* text, uint8_t page)
{
    EffectCallbackFunc apply =
        g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc("bg_panime") : nullptr;
    if (apply == nullptr)
        return -2;
    CEffectArgs out;
    const int r = apply(CEffectArgs::Of(Screen(page), text), &out);
    if (r != 0)
        return r;
    SetPageView(page, out.IntAt(2), out.IntAt(3), nullptr, 0.0, Page(page).angle);
    return 0;
}

int CTgsFrame::ApplyBgBlur(uint8_t page, int32_t x, int32_t y, double zoom, double angle)
{
    EffectCallbackFunc apply =
        g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc("bg_blur") : nullptr;
    if (apply == nullptr)
        return -2;
    CEffectArgs out;
    const int r = apply(CEffectArgs::Of(Screen(page), x, y, zoom, angle), &out);
    if (r != 0)
        return r;
    const int32_t vx = out.IntAt(5), vy = out.IntAt(6), w = out.IntAt(7), h = out.IntAt(8);
    if (h != 0) {
        const int32_t rect[4] = {vx, vy, vx + w, vy + h};
        SetPageView(page, vx, vy, rect, 0.0, Page(page).angle);
    } else {
        SetPageView(page, vx, vy, nullptr, zoom, Page(page).angle);
    }
    return 0;
}

int CTgsFrame::ApplyBgBlurArgs(uint8_t page, int32_t x, int32_t y, const char* zoomText,
                               const char* angleText)
{
    return ApplyBgBlur(page, x, y, ReadDecimalText(zoomText, 1.0), ReadDecimalText(angleText, 0.0));
}

void CTgsFrame::SetPageView(uint8_t page, int32_t x, int32_t y, const int32_t* rect, double zoom,
                            int32_t angle)
{
    TgsPageRecord& record = Page(page);
    record.x = x;
    record.y = y;
    if (rect != nullptr) {
        record.viewLeft = rect[0];
        record.viewTop = rect[1];
        record.viewRight = rect[2];
        record.viewBottom = rect[3];
    } else {
        record.viewLeft = -1;
    }
    record.zoom = zoom;
    record.angle = angle;
}

void CTgsFrame::ViewFromBlur(uint8_t page, int32_t cx, int32_t cy, double zoom, double turns)
{
    CScene* scene = PageScene(page);
    LONG state[4];
    if (scene == nullptr || BgBlurFinalState(*scene, cx, cy, zoom, turns, state) != 0)
        return;
    if (turns == 0.0) {
        const int32_t rect[4] = {state[0], state[1], state[0] + state[2], state[1] + state[3]};
        SetPageView(page, state[0], state[1], rect, 0.0, Page(page).angle);
    } else {
        SetPageView(page, state[0], state[1], nullptr, zoom, state[2]);
    }
}

// ---- sprite and window animations ----

namespace {

// The last character of a picture name's file part without its extension, upper-cased.
char NameMark(const char* name)
{
    const char* end = name + strlen(name);
    const char* dot = nullptr;
    for (const char* p = name; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '.')
            dot = p;
        else if (c == '\\' || c == '/')
            dot = nullptr;
        else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))
            p += p + 1 < end ? 1 : 0; // a double-byte character's trail byte is no mark
    }
    const char* stop = dot != nullptr ? dot : end;
    if (stop == name)
        return 0;
    const char c = stop[-1];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && lstrcmpiA(a, b) == 0;
}

} // namespace

void CTgsFrame::SetPriorityRange(int group)
{
    if (group < 0 || group > 2) {
        g_spPriorityLow = g_spPriorityHigh = 10000;
        return;
    }
    const size_t g = static_cast<size_t>(group);
    g_spPriorityLow = static_cast<uint32_t>(kGroupBase[g]);
    g_spPriorityHigh = static_cast<uint32_t>(kGroupBase[g] + 100 * (kGroupSlots[g] - 1));
}

void CTgsFrame::PlaceFromReport(TgsSpriteRecord& record, uint8_t page, int group, int n,
                                const CEffectArgs& report)
{
    if (report.IntAt(2, -1) < 0)
        return;
    record.x += report.IntAt(0);
    record.y += report.IntAt(1);
    double zoomFlag = 0.0;
    report.GetDouble(8, &zoomFlag);
    if (zoomFlag != 0.0) {
        double zoom = 1.0, turns = 0.0;
        report.GetDouble(4, &zoom);
        report.GetDouble(5, &turns);
        record.animationZoom = zoom;
        record.animationAngle = Clamp32(turns * 512.0);
        record.zoomX = report.IntAt(6);
        record.zoomY = report.IntAt(7);
    }
    const int32_t order = report.IntAt(3);
    if (order == 1)
        MoveSpriteToBottom(n, page, group, true);
    else if (order == 2)
        MoveSpriteToTop(n, page, group, true);
}

int CTgsFrame::StartSpPanime(int n, const char* text, int32_t a, uint8_t page, int group, bool remember)
{
    StopTransition();
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 1;
    if (record->sprite == nullptr)
        return 2;
    // A remembered animation must start again as it was: its text must fit the record.
    if (remember && !TextFits(text))
        return 1;
    ReleaseManagedObject(&record->effect);
    record->pendingKind = 0;
    if (EffectsOn() && (remember || !SkipRequested())) {
        SetPriorityRange(group);
        if (StartRow(TgsEffectStart::SpPanime, &record->effect, Screen(page),
                     {record->sprite, text, a, remember, !remember}) != 0)
            return 3;
        CEffectArgs report;
        if (record->effect->Query(&report) == 0)
            PlaceFromReport(*record, page, group, n, report);
        if (remember) {
            record->pendingKind = 1;
            record->pendingArgument = a;
            CopyText(record->pendingText, text);
        }
        return 0;
    }
    const int r = ApplySpPanime(n, text, page, group);
    return r != 0 ? r + 4 : 0;
}

int CTgsFrame::ApplySpPanime(int n, const char* text, uint8_t page, int group)
{
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 1;
    if (record->sprite == nullptr)
        return 2;
    EffectCallbackFunc apply =
        g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc("sp_panime") : nullptr;
    if (apply == nullptr)
        return -2;
    SetPriorityRange(group);
    CEffectArgs in;
    in.AddInt(1);
    in.AddObject(static_cast<CDrawable*>(record->sprite));
    in.AddText(text);
    CEffectArgs out;
    const int r = apply(in, &out);
    if (r != 0)
        return r;
    record->x = out.IntAt(3) + record->originX;
    record->y = out.IntAt(4) + record->originY;
    if (out.IntAt(7) != 0) {
        double zoom = 1.0, turns = 0.0;
        out.GetDouble(8, &zoom);
        out.GetDouble(9, &turns);
        record->animationZoom = zoom;
        record->animationAngle = Clamp32(turns * 512.0);
    }
    const int32_t order = out.IntAt(6);
    if (order == 1)
        MoveSpriteToBottom(n, page, group, true);
    else if (order == 2)
        MoveSpriteToTop(n, page, group, true);
    return 0;
}

// The window is placed from an animation's end point: its x corrected by its alignment.
void CTgsFrame::PlaceWindow(int32_t dx, int32_t dy)
{
    TgsWindowRecord& record = m_windowRecords[0];
    if (!m_messageWindow)
        return;
    int32_t x = record.baseX + dx;
    const int32_t width = m_messageWindow->GetWidth();
    if (record.alignment == 0)
        x += width / 2;
    else if (record.alignment == 2)
        x += width;
    record.textX = x;
    record.textY = record.baseY + dy;
    m_messageWindow->SetTextRect(record.textMode, record.textX, record.textY, -2, 0, 0, 0);
}

int CTgsFrame::StartWindowPanime(int n, const char* text, int32_t time)
{
    StopTransition();
    if (n > 0)
        return 1;
    if (!m_messageWindow)
        return 2;
    ReleaseWindowEffects(n);
    TgsWindowRecord& record = m_windowRecords[0];
    if (EffectsEffective()) {
        g_spPriorityLow = g_spPriorityHigh = 10000;
        CSprite* sprite = &m_messageWindow->GetSprite();
        if (StartRow(TgsEffectStart::WindowPanime, &record.effects[0], Screen(0),
                     {sprite, text, time, false, true}) != 0)
            return 3;
        CEffectArgs report;
        if (record.effects[0]->Query(&report) == 0 && report.IntAt(2, -1) >= 0)
            PlaceWindow(report.IntAt(0), report.IntAt(1));
        return 0;
    }
    const int r = ApplyWindowPanime(n, text, time);
    return r != 0 ? r + 3 : 0;
}

int CTgsFrame::ApplyWindowPanime(int n, const char* text, int32_t /*time*/)
{
    if (n > 0)
        return 1;
    if (!m_messageWindow)
        return 2;
    EffectCallbackFunc apply =
        g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc("sp_panime") : nullptr;
    if (apply == nullptr)
        return -2;
    g_spPriorityLow = g_spPriorityHigh = 10000;
    CSprite& sprite = m_messageWindow->GetSprite();
    const int32_t x = sprite.GetX(), y = sprite.GetY();
    CEffectArgs in;
    in.AddInt(1);
    in.AddObject(static_cast<CDrawable*>(&sprite));
    in.AddText(text);
    CEffectArgs out;
    const int r = apply(in, &out);
    if (r != 0)
        return r;
    PlaceWindow(out.IntAt(3) - x, out.IntAt(4) - y);
    return 0;
}

// Takes the record's sprite and picture off it for a fading change: the picture becomes the
// sprite's own (a copy when the other page shows it too), so the effect may delete both.
CSprite* CTgsFrame::DetachSprite(TgsSpriteRecord& record)
{
    ReleaseManagedObject(&record.effect);
    record.pendingKind = 0;
    CSprite* sprite = record.sprite;
    CImage* image = record.image;
    record.sprite = nullptr;
    record.image = nullptr;
    record.name[0] = 0;
    if (image != nullptr) {
        CImage* own = TakeImage(image);
        if (sprite == nullptr) {
            delete own;
        } else if (own == nullptr) {
            // No copy of a shared picture: the sprite must not take the other page's with it (it
            // leaves its list as it is deleted).
            delete sprite;
            return nullptr;
        } else if (own != image) {
            sprite->ReplaceImage(own);
        }
    }
    return sprite;
}

void CTgsFrame::DeleteDetached(CSprite* sprite, uint8_t page)
{
    if (sprite == nullptr)
        return;
    CImage* image = sprite->GetImage();
    if (CScene* scene = PageScene(page))
        scene->GetList().Remove(sprite);
    delete sprite;
    delete image;
}

int CTgsFrame::StartSpCfade(int n, const char* name, int32_t placeMode, int32_t time, bool loadArg,
                            uint8_t page, int group)
{
    StopTransition();
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 1;
    if (record->sprite != nullptr) {
        if (name != nullptr && SameName(record->name, name) && record->reload == 0 && placeMode < 0)
            return 0;
    } else {
        if (name == nullptr || *name == 0)
            return 2;
        if (placeMode < 0)
            placeMode = 0;
    }
    CSprite* old = DetachSprite(*record);
    if (LoadSpriteImage(n, name, page, group, loadArg) != 0) {
        DeleteDetached(old, page);
        return 4;
    }
    if (placeMode >= 0)
        PlaceSprite(n, placeMode, 0, page, group);
    if (SkipRequested()) {
        DeleteDetached(old, page);
        return 0;
    }
    if (StartRow(TgsEffectStart::SpCfade, &record->effect, Screen(page),
                 {record->sprite, old, record->priority, time, true}) != 0) {
        DeleteDetached(old, page);
        return 5;
    }
    return 0;
}

int CTgsFrame::StartSpChange(int n, const char* name, const char* text, uint8_t mode, int32_t time,
                             bool zoomFlag, uint8_t page, int group)
{
    StopTransition();
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr || name == nullptr || *name == 0 || mode > 2)
        return 1;
    if (record->sprite == nullptr)
        return 2;
    if (SameName(record->name, name) && record->reload == 0)
        return 3;
    CSprite* old = DetachSprite(*record);
    if (LoadSpriteImage(n, name, page, group, false) != 0) {
        DeleteDetached(old, page);
        return 4;
    }
    uint8_t changeMode = mode;
    if (mode == 2) {
        switch (NameMark(name)) {
        case 'S':
            changeMode = 2;
            break;
        case 'M':
            changeMode = 3;
            break;
        case 'X':
            changeMode = 4;
            break;
        default:
            changeMode = 0;
            break;
        }
    }
    if (!EffectsEffective()) {
        DeleteDetached(old, page);
        const int r = ApplySpPanime(n, text, page, group);
        return r != 0 ? r + 5 : 0;
    }
    SetPriorityRange(group);
    if (StartRow(TgsEffectStart::SpChange, &record->effect, Screen(page),
                 {record->sprite, old, text, changeMode, record->priority, zoomFlag, time, true}) != 0) {
        DeleteDetached(old, page);
        return 5;
    }
    CEffectArgs report;
    if (record->effect->Query(&report) == 0)
        PlaceFromReport(*record, page, group, n, report);
    return 0;
}

int CTgsFrame::StartSpPartsFromList(int n, int32_t number, uint8_t page, int group, bool remember)
{
    StopTransition();
    TgsSpriteRecord* record = FindSpriteSlot(n, page, group);
    if (record == nullptr)
        return 1;
    if (record->sprite == nullptr || record->image == nullptr)
        return 2;
    if (number < 0 || number > 6)
        return 3;
    const char mark = NameMark(record->name);
    const int32_t base = mark == 'S' ? 20 : (mark == 'X' ? 80 : 40);
    char list[32];
    std::snprintf(list, sizeof list, "SYS/CA0%02d.TXT", base + number);
    const int32_t offset = PictureOffset(record->name, number);
    ReleaseManagedObject(&record->effect);
    record->pendingKind = 0;
    record->picture = number;
    if (remember) {
        record->pendingKind = 2;
        record->pendingArgument = number;
    }
    if (!EffectsEffective())
        return 0;
    const int32_t left = record->x - record->originX, top = record->y - record->originY + offset;
    if (StartRow(TgsEffectStart::SpPartsFromList, &record->effect, Screen(page),
                 {list, left, top, record->priority, false, 1.0, true}) != 0)
        return 4;
    return 0;
}

int32_t CTgsFrame::PictureOffset(const char* name, int32_t number) const
{
    // The offset table is the first block of the picture file's extension chain.
    CFileStream file;
    if (name == nullptr || file.OpenInMemory(name) != 0 || file.GetBuffer() == nullptr)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(file.GetBuffer());
    ElgHeader header;
    if (ParseElgHeader(bytes, file.GetSize(), header) != 0 || header.chainSize == 0 ||
        header.chainOffset > file.GetSize() || header.chainSize > file.GetSize() - header.chainOffset)
        return 0;
    return FindPictureOffset(bytes + header.chainOffset, header.chainSize, number);
}

void CTgsFrame::ReleaseEffects()
{
    for (int layer = 0; layer < 3; ++layer)
        StopLayerEffect(layer, true);
    for (TgsPageRecord& page : m_pages) {
        for (CLayerEffect*& holder : page.effects)
            ReleaseManagedObject(&holder);
    }
    auto releaseAll = [](auto& records) {
        for (TgsSpriteRecord& r : records) {
            ReleaseManagedObject(&r.effect);
            r.pendingKind = 0;
        }
    };
    releaseAll(m_groupA);
    releaseAll(m_groupB);
    releaseAll(m_groupC);
    ReleaseWindowEffects(0);
}
