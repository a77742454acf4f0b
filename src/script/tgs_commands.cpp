// The scenario commands 12-30, 117 and 118, the no-ops, and the handlers of the commands that the
// layer, effect, transition and sound sides of the engine build.
#include <cstring>
#include <deque>

#include "controls/text_layer.h"
#include "drawing/glyph_font.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "sound/sound_player.h"

namespace {

bool Has(const TgsArgPair& p)
{
    return p.flags != 0;
}

int32_t Int(const TgsArgPair& p, int32_t fallback)
{
    return Has(p) ? static_cast<int32_t>(p.value) : fallback;
}

std::string Str(CTgsFrame& f, const TgsArgPair& p)
{
    return std::string(f.PairString(p));
}

const AppConfig* Cfg()
{
    return g_pAppConfig;
}

int32_t CommandNoOp(CTgsFrame&, const TgsArgPair*)
{
    return 0;
}

// The commands of the later parts of the engine: with their records still empty they answer 0.
int32_t CommandLater(CTgsFrame&, const TgsArgPair*)
{
    return 0;
}

// In-text commands: packed into the page when met by the decoder.
bool Packed(CTgsFrame& f, uint32_t command, const TgsArgPair* a, int32_t* result)
{
    if (f.InDeferredDispatch())
        return false;
    *result = f.PackIntoText(command, a, f.ArgumentCount()) == 0 ? 0 : 0;
    return true;
}

int32_t Command12(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t number = static_cast<int32_t>(a[0].value);
    f.SetCurrentMessage(number);
    const bool read = number >= 0 && f.IsMessageRead(static_cast<uint32_t>(number));
    if (!read && Cfg() != nullptr && Cfg()->skipStopsAtUnread) {
        f.StopSkipMode();
        f.SetMenuControlState(5, 0);
    } else if (f.SkipToChoice() == 0 && f.NoDisplay() == 0) {
        f.SetMenuControlState(5, f.SkipMode() ? 2 : 1);
    }
    f.ReadMessage() = read ? 1 : 0;
    return 0;
}

int32_t Command13(CTgsFrame& f, const TgsArgPair* a)
{
    int r = 0;
    if (f.ResumedPage()) {
        f.DropResumedPageText();
        r = f.WaitPage(0, true);
    } else {
        f.ChoiceWait() = 1;
        if (f.FlushText() == 0) {
            r = f.WaitPage(0, true);
        } else {
            if (f.CurrentMessage() >= 0)
                f.SetMessageRead(static_cast<uint32_t>(f.CurrentMessage()));
        }
    }
    if (r != 0)
        return r;
    f.ChoiceWait() = 0;
    CTextLayer* layer = f.ChoiceLayer();
    if (layer != nullptr) {
        layer->ClearLines();
        layer->SetLocked(false);
        TgsScriptEntry* entry = f.CurrentEntry();
        layer->SetReadFlags(entry != nullptr ? &entry->choiceBits : nullptr, static_cast<int>(a[9].value), f.ResultCell());
    }
    int32_t n = 0;
    while (n < 8 && Has(a[1 + n]))
        ++n;
    f.ChoiceCountRef() = n;
    CTextLog& log = f.TextLog();
    const bool logged = n > 0 && log.Capacity() > 0 && log.BeginChoices(n) == 0;
    for (int32_t i = 0; i < n; ++i) {
        const std::string text = Str(f, a[1 + i]);
        // Only the first five lines can be disabled.
        const bool disabled = i < 5 && f.ChoiceDisabled(i) != 0;
        if (layer != nullptr)
            layer->AddLine(text.c_str(), nullptr, disabled, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
        if (logged)
            log.AddChoice(text.c_str(), disabled ? 0 : 1);
    }
    uint32_t serial = 0;
    if (logged && log.EndChoices(&serial) == 0)
        f.SetChoiceSerial(serial);
    for (int i = 0; i < 5; ++i)
        f.ChoiceDisabled(i) = 0;
    return 0;
}

int32_t Command14(CTgsFrame& f, const TgsArgPair* a)
{
    int32_t r = 0;
    if (Packed(f, 14, a, &r))
        return r;
    if (f.MessageWindow() != nullptr && !f.BacklogDrawing() && f.MessageWindow()->IsLayingOut())
        f.MessageWindow()->CommandNewLine();
    return 0;
}

int32_t Command16(CTgsFrame& f, const TgsArgPair*)
{
    bool voice = false;
    if (f.ResumedPage()) {
        f.DropResumedPageText();
        voice = f.PageWaitByte() != 0;
    } else {
        if (f.WindowSwitchPending() && !f.NoDisplay() && f.GetCharacterWait() == 0 && f.MessageWindow() != nullptr)
            f.MessageWindow()->FinishReveal();
        voice = f.FlushText() == 0;
    }
    if (!f.NoDisplay()) {
        const int r = f.WaitPage(2, voice);
        if (r != 0)
            return r;
    }
    f.EndMessage();
    return 0;
}

int32_t Command17(CTgsFrame& f, const TgsArgPair*)
{
    int r = 0;
    if (f.ResumedPage()) {
        f.DropResumedPageText();
        r = f.WaitChoice();
    } else {
        if (f.TextLength() != 0 || f.ChoiceCount() == 0)
            return 0;
        f.ChoiceWait() = 1;
        r = f.WaitChoice();
        f.ChoiceWait() = 0;
    }
    if (r != 0)
        return r;
    f.EndMessage();
    return 0;
}

int32_t Command18(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetNameText(Str(f, a[0]).c_str());
    return 0;
}

int32_t Command19(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t i = static_cast<int32_t>(a[0].value);
    if (i >= 0 && i < 5)
        f.ChoiceDisabled(i) = 1;
    return 0;
}

int32_t Command20(CTgsFrame& f, const TgsArgPair* a)
{
    if (f.NoDisplay())
        return 0;
    int32_t& chain = f.HandlerCounter();
    if (chain != 0) {
        ++chain;
        return 0;
    }
    const int r = f.WaitTime(a[0].value, true);
    if (r < 0)
        return -1;
    chain = r == 1 ? 1 : 0;
    return 0;
}

int32_t Command21(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopSkipMode();
    if (f.NoDisplay())
        return 0;
    return f.WaitTimer(a[0].value) < 0 ? -1 : 0;
}

int32_t Command22(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t window = Int(a[0], 0);
    if (window != 0)
        return 0;
    if (f.TextLength() != 0) {
        f.ReadMessage() = 0;
        if (window != f.CurrentWindow())
            f.WindowSwitchPending() = 1;
        f.FlushText();
        f.ShowWindow(true, -1);
    }
    if (!f.NoDisplay() && f.MessageWindow() != nullptr)
        f.MessageWindow()->FinishReveal();
    return 0;
}

int32_t Command23(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetWindowStyle(Int(a[0], 0), Int(a[1], -1), Int(a[2], 561), Int(a[4], -1), Int(a[5], -1));
    return 0;
}

int32_t Command24(CTgsFrame& f, const TgsArgPair* a)
{
    TgsWindowRecord& rec = f.WindowRecord();
    const int32_t sprite = Int(a[0], -1);
    int32_t x = Int(a[1], 0), y = Int(a[2], 0);
    if (sprite < 0) {
        x += rec.baseX;
        y += rec.baseY;
        rec.sprite = -1;
        rec.group = -1;
    } else if (!f.NoDisplay()) {
        const TgsSpriteRecord* r = f.FindSpriteSlot(sprite, 0, Int(a[3], 0));
        if (r != nullptr && r->image != nullptr) {
            x += r->x - r->originX;
            y += r->y - r->originY;
            // A picture that carries a placement moves the text by it, and 100 more on x.
            const auto px = static_cast<int32_t>(r->image->GetUserValue1());
            const auto py = static_cast<int32_t>(r->image->GetUserValue2());
            if (px != 0 || py != 0) {
                x += px + 100;
                y += py;
            }
        }
        rec.sprite = sprite;
        rec.group = Int(a[3], 0);
    } else {
        rec.sprite = sprite;
        rec.group = Int(a[3], 0);
    }
    rec.textX = x;
    rec.textY = y;
    if (!f.NoDisplay() && f.MessageWindow() != nullptr)
        f.MessageWindow()->SetTextRect(rec.textMode, x, y, -2, 0, 0, 0);
    return 0;
}

int32_t Command25(CTgsFrame& f, const TgsArgPair* a)
{
    const std::string name = Str(f, a[0]), voice = Str(f, a[1]);
    f.SetSpeaker(name.c_str(), voice.c_str());
    return 0;
}

int32_t Command26(CTgsFrame& f, const TgsArgPair* a)
{
    int32_t r = 0;
    if (Packed(f, 26, a, &r))
        return r;
    if (f.MessageWindow() != nullptr)
        f.MessageWindow()->MarkRubyBase();
    return 0;
}

int32_t Command27(CTgsFrame& f, const TgsArgPair* a)
{
    int32_t r = 0;
    if (Packed(f, 27, a, &r))
        return r;
    if (f.MessageWindow() != nullptr)
        f.MessageWindow()->DrawRuby(Str(f, a[0]).c_str());
    return 0;
}

int32_t Command28(CTgsFrame& f, const TgsArgPair* a)
{
    int32_t r = 0;
    if (Packed(f, 28, a, &r))
        return r;
    CGlyphFont* text = f.Font(f.BacklogDrawing() ? 2 : 0);
    CGlyphFont* ruby = f.Font(f.BacklogDrawing() ? 3 : 1);
    if (text == nullptr)
        return 0;
    const bool sized = Has(a[0]);
    const int32_t size = !sized ? 0 : (static_cast<int32_t>(a[0].value) > 0 ? static_cast<int32_t>(a[0].value) : 24);
    uint8_t changed = 1;
    auto colour = [](CGlyphFont* font, uint32_t rgb) {
        if (font != nullptr)
            font->SetTextColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
    };
    if (Has(a[1])) {
        const uint32_t c = static_cast<int32_t>(a[1].value) == -1 ? 0xFFFFFF : a[1].value;
        colour(text, c);
        colour(ruby, c);
    }
    if (Has(a[2])) {
        const uint32_t c = static_cast<int32_t>(a[2].value) == -1 ? 0 : a[2].value;
        for (CGlyphFont* font : {text, ruby}) {
            if (font != nullptr)
                font->SetEffect(font->m_effectMode, static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                static_cast<uint8_t>(c));
        }
    }
    const std::string faceArg = Str(f, a[3]);
    if (!faceArg.empty() && !f.BacklogDrawing()) {
        std::string face = faceArg;
        if (face == "user" && Cfg() != nullptr)
            face = std::string(Cfg()->faceName, strnlen(Cfg()->faceName, sizeof Cfg()->faceName));
        face = f.ResolveFontFace(face.c_str(), false);
        const uint8_t bold = Cfg() != nullptr && Cfg()->bold ? 1 : 0;
        if (sized)
            text->SetFont(size, bold, 0, face.c_str());
        else
            text->SetFaceName(face.c_str());
        if (ruby != nullptr)
            ruby->SetFaceName(face.c_str());
        changed = 2;
    } else if (sized) {
        text->SetHeight(size);
    }
    if (f.StyleChanged() < changed)
        f.StyleChanged() = changed;
    return 0;
}

int32_t Command29(CTgsFrame& f, const TgsArgPair* a)
{
    f.ShowWindow(a[0].value != 0, Int(a[1], -1));
    return 0;
}

int32_t Command30(CTgsFrame& f, const TgsArgPair* a)
{
    f.ClearWindow(Int(a[0], -1));
    return 0;
}

int32_t Command117(CTgsFrame& f, const TgsArgPair* a)
{
    return f.FadeWindow(a[0].value != 0, Int(a[1], 300), a[2].value != 0) < 0 ? -1 : 0;
}

int32_t Command118(CTgsFrame& f, const TgsArgPair* a)
{
    f.ShowWindowAtOnce(a[0].value != 0, true);
    return 0;
}

// ---- layers and sprites (35-45, 74-82, 90, 102-108) ----

uint8_t Byte(const TgsArgPair& p)
{
    return static_cast<uint8_t>(p.value);
}

// A string pair's text; null when the pair has no value.
struct Text {
    Text(CTgsFrame& f, const TgsArgPair& p) : given(Has(p)), text(Str(f, p)) {}
    const char* get() const { return given ? text.c_str() : nullptr; }
    bool given;
    std::string text;
};

int32_t Command35(CTgsFrame& f, const TgsArgPair* a)
{
    f.LoadLayerImage(Text(f, a[0]).get(), Byte(a[1]));
    return 0;
}

int32_t Command36(CTgsFrame& f, const TgsArgPair* a)
{
    f.ClearLayer(a[0].value, Byte(a[1]));
    return 0;
}

int32_t Command37(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerColor(a[0].value, Byte(a[1]));
    return 0;
}

int32_t Command38(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerColorMode(Byte(a[0]), Byte(a[1]), Byte(a[2]), Byte(a[3]), Byte(a[4]));
    return 0;
}

int32_t Command39(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplyLayerPixelOp(Byte(a[0]), Byte(a[1]));
    return 0;
}

int32_t Command40(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerOffset(Int(a[0], 0), Int(a[1], 0), Byte(a[2]));
    return 0;
}

int32_t Command41(CTgsFrame& f, const TgsArgPair* a)
{
    f.RenderLayer(true, Byte(a[0]), a[1].value != 0);
    return 0;
}

int32_t Command42(CTgsFrame& f, const TgsArgPair* a)
{
    f.RenderLayer(false, Byte(a[0]), false);
    return 0;
}

int32_t Command43(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerViewRect(Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Byte(a[4]));
    return 0;
}

int32_t Command44(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartLayerZoom(Int(a[1], 400), Int(a[2], 300), Text(f, a[0]).get(), Byte(a[3]));
    return 0;
}

int32_t Command45(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerZoom(Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 0), Int(a[3], 0), Byte(a[4]));
    return 0;
}

int32_t Command74(CTgsFrame& f, const TgsArgPair* a)
{
    f.AutoTint() = a[0].value != 0 ? 1 : 0;
    return 0;
}

// Commands 75 and 107: load a sprite and place it. A negative position keeps the place of a slot
// that shows a sprite and puts an empty one at 0 → false when the command ends (no slot, or a
// load that failed when failedLoadEnds).
bool LoadAndPlace(CTgsFrame& f, const TgsArgPair* a, uint8_t page, int group, bool reload, bool failedLoadEnds)
{
    int32_t place = Int(a[2], 0);
    const int slot = Int(a[0], 0);
    if (place < 0) {
        const TgsSpriteRecord* r = f.FindSpriteSlot(slot, page, group);
        if (r == nullptr)
            return false;
        place = r->character >= 0 ? -1 : 0;
    }
    const Text name(f, a[1]);
    if (f.LoadSpriteImage(slot, name.get(), page, group, reload) > 0 && failedLoadEnds)
        return false;
    if (name.given && place >= 0)
        f.PlaceSprite(slot, place, 0, page, group);
    return true;
}

int32_t Command75(CTgsFrame& f, const TgsArgPair* a)
{
    LoadAndPlace(f, a, a[3].value != 0 ? 1 : 0, Int(a[5], 0), a[4].value != 0, false);
    return 0;
}

int32_t Command76(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopTransition();
    f.SetSpriteColorMode(Int(a[0], 0), Byte(a[1]), Byte(a[2]), Byte(a[3]), Byte(a[4]), Int(a[5], 0));
    return 0;
}

int32_t Command77(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplySpritePixelOp(Int(a[0], 0), Byte(a[1]), Byte(a[2]), Int(a[3], 0));
    return 0;
}

int32_t Command78(CTgsFrame& f, const TgsArgPair* a)
{
    f.PlaceSprite(Int(a[0], 0), Int(a[1], 0), Byte(a[2]), Byte(a[3]), Int(a[4], 0));
    return 0;
}

int32_t Command79(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopTransition();
    f.MoveSprite(Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Byte(a[3]), Int(a[4], 0));
    return 0;
}

int32_t Command80(CTgsFrame& f, const TgsArgPair* a)
{
    f.MoveSpriteToBottom(Int(a[0], 0), Byte(a[1]), Int(a[2], 0), true);
    return 0;
}

int32_t Command81(CTgsFrame& f, const TgsArgPair* a)
{
    f.MoveSpriteToTop(Int(a[0], 0), Byte(a[1]), Int(a[2], 0), true);
    return 0;
}

int32_t Command82(CTgsFrame& f, const TgsArgPair* a)
{
    f.ResetSpriteGroups(Byte(a[0]), Int(a[1], -1));
    return 0;
}

// The image cache hands scenarios no ids: there is no reference of theirs to drop.
int32_t Command90(CTgsFrame&, const TgsArgPair*)
{
    return 0;
}

// Commands 102 and 103: the back page cleared to a colour, its sprites gone, then a cross-fade.
int32_t ClearScreen(CTgsFrame& f, const TgsArgPair* a, uint32_t colour)
{
    f.ClearLayer(colour, 1);
    f.ResetSpriteGroups(1, -1);
    f.TransCross(Int(a[0], 0));
    return 0;
}

int32_t Command102(CTgsFrame& f, const TgsArgPair* a)
{
    return ClearScreen(f, a, 0);
}

int32_t Command103(CTgsFrame& f, const TgsArgPair* a)
{
    return ClearScreen(f, a, 0xFFFFFF);
}

// Commands 104-106: a new background on the back page with its colour bytes at `colours`, the
// back sprites gone; false when the picture could not be loaded.
bool PrepareBackground(CTgsFrame& f, const TgsArgPair* a, int colours)
{
    if (f.LoadLayerImage(Text(f, a[0]).get(), 1) != 0)
        return false;
    f.SetLayerColorMode(Byte(a[colours]), Byte(a[colours + 1]), Byte(a[colours + 2]), Byte(a[colours + 3]), 1);
    f.ResetSpriteGroups(1, -1);
    return true;
}

int32_t Command104(CTgsFrame& f, const TgsArgPair* a)
{
    if (PrepareBackground(f, a, 2))
        f.TransCross(Int(a[1], 0));
    return 0;
}

int32_t Command105(CTgsFrame& f, const TgsArgPair* a)
{
    if (PrepareBackground(f, a, 4))
        f.TransRule(Int(a[1], 0), Int(a[2], 0), Int(a[3], 0));
    return 0;
}

int32_t Command106(CTgsFrame& f, const TgsArgPair* a)
{
    if (PrepareBackground(f, a, 4))
        f.DispatchDeferred(98, a + 1);
    return 0;
}

int32_t Command107(CTgsFrame& f, const TgsArgPair* a)
{
    f.FinishTransition();
    if (LoadAndPlace(f, a, 1, Int(a[5], 0), a[4].value != 0, true))
        f.TransCross(Int(a[3], 300));
    return 0;
}

int32_t Command108(CTgsFrame& f, const TgsArgPair* a)
{
    f.FinishTransition();
    f.ResetSpriteGroups(1, Int(a[3], -1));
    const int32_t time = Int(a[0], 300);
    if (Int(a[1], -1) < 0)
        f.TransCross(time);
    else
        f.TransRule(a[1].value, time, Int(a[2], 0));
    return 0;
}

// ---- effects and transitions (31-34, 46-67, 83-89, 91-101, 109-116) ----

// Scenario values for effects that read numbers or number texts: a string pair gives its text
// (kept alive here), any other its integer or the default.
struct Values {
    explicit Values(CTgsFrame& frame) : f(frame) {}
    TgsEffectValue operator()(const TgsArgPair& p, int32_t fallback = 0)
    {
        if ((p.flags & 2) != 0) {
            texts.push_back(Str(f, p));
            return TgsEffectValue(texts.back().c_str());
        }
        return TgsEffectValue(Int(p, fallback));
    }
    TgsEffectValue Flag(const TgsArgPair& p) { return TgsEffectValue(p.value != 0); }
    TgsEffectValue Low(const TgsArgPair& p) { return TgsEffectValue(static_cast<int32_t>(Byte(p))); }
    CTgsFrame& f;
    std::deque<std::string> texts;
};

bool Flag(const TgsArgPair& p)
{
    return p.value != 0;
}

// The chained-wait rule: while the counter is set a skippable wait is not run, its end action
// runs at once and the counter rises; otherwise a cut-short wait sets it to 1, a full one to 0.
template <typename Wait, typename End>
int32_t ChainedWait(CTgsFrame& f, bool skippable, Wait wait, End end)
{
    int32_t& chain = f.HandlerCounter();
    if (chain != 0 && skippable) {
        end();
        ++chain;
        return 0;
    }
    const int r = wait();
    if (r < 0)
        return -1;
    chain = r == 1 ? 1 : 0;
    return 0;
}

int32_t Command31(CTgsFrame& f, const TgsArgPair* a)
{
    if (f.ResumedPage()) {
        f.DropResumedPageText();
        if (const int r = f.WaitPage(2, true); r != 0)
            return r;
        f.EndMessage();
        return 0;
    }
    const bool pageEnd = Flag(a[3]);
    bool flushed = false;
    if (pageEnd) {
        if (f.WindowSwitchPending() && !f.NoDisplay() && f.GetCharacterWait() == 0 && f.MessageWindow() != nullptr)
            f.MessageWindow()->FinishReveal();
        flushed = f.FlushText() == 0;
    } else if (f.CurrentMessage() >= 0) {
        f.SetMessageRead(static_cast<uint32_t>(f.CurrentMessage()));
    }
    f.StartWindowPanime(Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 500));
    if (pageEnd && flushed) {
        if (const int r = f.WaitPage(2, true); r != 0)
            return r;
        f.EndMessage();
    }
    return 0;
}

int32_t Command32(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplyWindowPanime(Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 500));
    return 0;
}

int32_t Command33(CTgsFrame& f, const TgsArgPair* a)
{
    const int window = Int(a[0], 0);
    return ChainedWait(
        f, Flag(a[1]), [&] { return f.WaitWindowEffect(window, Flag(a[1])); },
        [&] { f.ReleaseWindowEffects(window); });
}

int32_t Command34(CTgsFrame& f, const TgsArgPair* a)
{
    f.ReleaseWindowEffects(Int(a[0], 0));
    return 0;
}

int32_t Command46(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    f.StartBgZoom(Byte(a[5]), Int(a[1], 400), Int(a[2], 300), v(a[0]), v(a[4]), Int(a[3], 1000));
    return 0;
}

int32_t Command47(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    f.StartBgRot(Byte(a[6]), Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 0), Int(a[3], 0), v(a[5]),
                 Int(a[4], 1000));
    return 0;
}

int32_t Command48(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartBgPanime(Byte(a[5]), Text(f, a[0]).get(), Int(a[1], 1000), Flag(a[2]), Flag(a[3]), Flag(a[4]),
                    Int(a[6], 0));
    return 0;
}

int32_t Command49(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplyBgPanime(Text(f, a[0]).get(), Byte(a[1]));
    return 0;
}

int32_t Command50(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v(a[0], 400), v(a[1], 300), v(a[2]), v(a[3]), v(a[4]), v(a[5]), v(a[6], 1000),
                                v.Low(a[7]), v(a[8]), 0, 0, 0, 0, v.Low(a[9]), 0};
    f.StartBgBlur(Byte(a[10]), w, true, false, true);
    return 0;
}

int32_t Command51(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v.Flag(a[1]), v(a[2], 1000), v.Low(a[3]), v(a[4]), 0, 0, 0, 0, v.Low(a[5]), 0};
    f.StartBgBlurEx(Byte(a[6]), Text(f, a[0]).get(), w, true, false, true);
    return 0;
}

int32_t Command52(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v(a[0], 400), v(a[1], 300), v(a[2]), v(a[3]),      v(a[4]),
                                v(a[5]),      v(a[6], 1000), v.Low(a[7]), v(a[8]), 0,
                                v.Flag(a[9]), v.Flag(a[10]), 1,       v.Low(a[11]), v(a[12])};
    return f.StartBgBlur(Byte(a[13]), w, false, Flag(a[14]), Flag(a[15])), 0;
}

int32_t Command53(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v(a[1], 400),  v(a[2], 300),  v(a[3]), v(a[4]),      v(a[5]),
                                v(a[6]),       v(a[7], 1000), v.Low(a[8]), v(a[9]), v(a[0]),
                                v.Flag(a[10]), v.Flag(a[11]), 1,       v.Low(a[12]), v(a[13])};
    return f.StartBgBlur(Byte(a[14]), w, false, Flag(a[15]), Flag(a[16])), 0;
}

int32_t Command54(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v.Flag(a[1]), v(a[2], 1000), v.Low(a[3]), v(a[4]), 0, v.Flag(a[5]), v.Flag(a[6]), 1,
                                v.Low(a[7]),  v(a[8])};
    return f.StartBgBlurEx(Byte(a[9]), Text(f, a[0]).get(), w, false, Flag(a[10]), Flag(a[11])), 0;
}

int32_t Command55(CTgsFrame& f, const TgsArgPair* a)
{
    Values v(f);
    const TgsEffectValue w[] = {v.Flag(a[2]), v(a[3], 1000), v.Low(a[4]), v(a[5]), v(a[0]), v.Flag(a[6]), v.Flag(a[7]),
                                1,            v.Low(a[8]),   v(a[9])};
    return f.StartBgBlurEx(Byte(a[10]), Text(f, a[1]).get(), w, false, Flag(a[11]), Flag(a[12])), 0;
}

int32_t Command56(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplyBgBlurArgs(Byte(a[4]), Int(a[0], 400), Int(a[1], 300), Text(f, a[2]).get(), Text(f, a[3]).get());
    return 0;
}

int32_t Command57(CTgsFrame& f, const TgsArgPair* a)
{
    CLayerEffect** holder = &f.Page(Byte(a[0])).effects[0];
    return ChainedWait(
        f, Flag(a[1]), [&] { return f.WaitEffectObject(holder, Flag(a[1])); },
        [&] { CTgsFrame::ReleaseManagedObject(holder); });
}

int32_t Command58(CTgsFrame& f, const TgsArgPair* a)
{
    CTgsFrame::ReleaseManagedObject(&f.Page(Byte(a[0])).effects[0]);
    return 0;
}

int32_t Command59(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartNoise(Byte(a[0]), Byte(a[1]), Flag(a[2]), Flag(a[3]));
    return 0;
}

int32_t Command60(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartBgRasterHaze(Byte(a[4]), Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Int(a[5], 0),
                        Int(a[6], 0), Int(a[7], 0), Flag(a[8]));
    return 0;
}

int32_t Command61(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartBgLoop(Byte(a[3]), Byte(a[0]), Int(a[1], 0), Int(a[2], 0));
    return 0;
}

int32_t Command62(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartSpParts(Text(f, a[0]).get(), Int(a[1], 0), Byte(a[2]), Int(a[3], 0), Flag(a[4]), Flag(a[5]), Flag(a[6]));
    return 0;
}

int32_t Command63(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartBgCross(Int(a[0], 2000), Int(a[1], 0), Byte(a[2]), Byte(a[3]));
    return 0;
}

int32_t Command64(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartWeather(Byte(a[0]), Int(a[1], 0), Int(a[2], 0), Flag(a[3]), Text(f, a[4]).get(), Flag(a[5]), Flag(a[6]));
    return 0;
}

int32_t Command65(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetLayerEffectParams(Byte(a[0]), Flag(a[1]), Flag(a[2]));
    return 0;
}

int32_t Command66(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopLayerEffect(Byte(a[0]), Byte(a[1]) != 0);
    return 0;
}

int32_t Command67(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t layer = Int(a[0], 0);
    // Only layers 0-2 have records and holders: any other does nothing.
    if (layer < 0 || layer > 2)
        return 0;
    if (f.LayerSlot(layer).effectKind != 0) {
        f.StopLayerEffect(layer, true);
        return 0;
    }
    return ChainedWait(
        f, Flag(a[1]),
        [&] {
            const int r = f.WaitEffectObject(&f.LayerSlot(layer).effect, Flag(a[1]));
            if (r >= 0)
                f.StopLayerEffect(layer, true);
            return r;
        },
        [&] { f.StopLayerEffect(layer, true); });
}

int32_t Command83(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartSpCfade(Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 0), Int(a[3], 300), Flag(a[4]), Byte(a[5]),
                   Int(a[6], 0));
    return 0;
}

int32_t Command84(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartSpPanime(Int(a[0], 0), Text(f, a[1]).get(), Int(a[2], 500), Byte(a[3]), Int(a[4], 0), Flag(a[5]));
    return 0;
}

int32_t Command85(CTgsFrame& f, const TgsArgPair* a)
{
    f.ApplySpPanime(Int(a[0], 0), Text(f, a[1]).get(), Byte(a[2]), Int(a[3], 0));
    return 0;
}

int32_t Command86(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartSpChange(Int(a[0], 0), Text(f, a[1]).get(), Text(f, a[2]).get(), Byte(a[3]), Int(a[4], 500), Flag(a[5]),
                    Byte(a[6]), Byte(a[7]));
    return 0;
}

int32_t Command87(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartSpPartsFromList(Int(a[0], 0), Int(a[1], 0), Byte(a[3]), Int(a[4], 0), Flag(a[2]));
    return 0;
}

int32_t Command88(CTgsFrame& f, const TgsArgPair* a)
{
    const int n = Int(a[0], 0), group = Int(a[2], 0);
    const uint8_t page = Byte(a[1]);
    return ChainedWait(
        f, Flag(a[3]), [&] { return f.WaitSpriteEffect(n, page, group, Flag(a[3])); },
        [&] { f.ReleaseSpriteEffect(n, page, group); });
}

int32_t Command89(CTgsFrame& f, const TgsArgPair* a)
{
    f.ReleaseSpriteEffect(Int(a[0], 0), Byte(a[1]), Int(a[2], 0));
    return 0;
}

int32_t Command91(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetTransitionOption(0, Flag(a[0]));
    return 0;
}

int32_t Command92(CTgsFrame& f, const TgsArgPair* a)
{
    f.SetTransitionOption(1, Flag(a[0]));
    return 0;
}

int32_t Command93(CTgsFrame& f, const TgsArgPair*)
{
    f.FinishTransition();
    return 0;
}

int32_t Command94(CTgsFrame& f, const TgsArgPair* a)
{
    return ChainedWait(
        f, Flag(a[0]), [&] { return f.WaitTransition(Flag(a[0])); }, [&] { f.StopTransition(); });
}

int32_t Command95(CTgsFrame& f, const TgsArgPair*)
{
    f.StopTransition();
    return 0;
}

int32_t Command96(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransCross(Int(a[0], 0));
    return 0;
}

int32_t Command97(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransRule(Int(a[0], 0), Int(a[1], 0), Int(a[2], 0));
    return 0;
}

int32_t Command98(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransTrans(Int(a[0], 0), Int(a[1], 0), Byte(a[2]));
    return 0;
}

int32_t Command99(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransFilter(Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Int(a[4], 0));
    return 0;
}

int32_t Command100(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransScroll(Int(a[0], 0), Byte(a[1]), Byte(a[2]), Int(a[3], 0));
    return 0;
}

int32_t Command101(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransRipple(Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Int(a[4], 0), Int(a[5], 0), Int(a[6], 0));
    return 0;
}

int32_t Command109(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransQuake(0, Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Flag(a[4]), Flag(a[5]), false, 0);
    return 0;
}

int32_t Command110(CTgsFrame& f, const TgsArgPair* a)
{
    f.TransQuake(Int(a[2], 0), Int(a[0], 0), Int(a[1], 0), Int(a[3], 0), Int(a[4], 0), Flag(a[5]), Flag(a[6]), false,
                 0);
    return 0;
}

int32_t Command111(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartQuake(0, Int(a[0], 0), Int(a[1], 0), Int(a[2], 0), Int(a[3], 0), Flag(a[4]), Flag(a[5]), Flag(a[6]),
                 Byte(a[7]), 0);
    return 0;
}

int32_t Command112(CTgsFrame& f, const TgsArgPair* a)
{
    f.StartQuake(Byte(a[2]), Int(a[0], 0), Int(a[1], 0), Int(a[3], 0), Int(a[4], 0), Flag(a[5]), Flag(a[6]),
                 Flag(a[7]), Byte(a[8]), 0);
    return 0;
}

int32_t Command113(CTgsFrame& f, const TgsArgPair* a)
{
    const uint8_t page = Byte(a[0]);
    return ChainedWait(
        f, Flag(a[1]),
        [&] {
            const int r = f.WaitBgQuake(page, Flag(a[1]));
            f.ReleaseBgQuake(page);
            return r;
        },
        [&] { f.ReleaseBgQuake(page); });
}

int32_t Command114(CTgsFrame& f, const TgsArgPair* a)
{
    f.ReleaseBgQuake(Byte(a[0]));
    return 0;
}

int32_t Command115(CTgsFrame& f, const TgsArgPair* a)
{
    return f.DoubleCrossFade(Int(a[0], 0), Int(a[1], 0)) < 0 ? -1 : 0;
}

int32_t Command116(CTgsFrame& f, const TgsArgPair* a)
{
    return f.ChangeBackgroundFaded(Text(f, a[0]).get(), Int(a[1], 0), Int(a[2], 0)) < 0 ? -1 : 0;
}

// ---- sound (119-129) ----

int32_t Command119(CTgsFrame& f, const TgsArgPair* a)
{
    f.PlayMusic(Int(a[0], 0), static_cast<uint32_t>(Int(a[1], 0)), Flag(a[2]));
    return 0;
}

int32_t Command120(CTgsFrame& f, const TgsArgPair* a)
{
    const bool skippable = Flag(a[0]);
    return ChainedWait(
        f, skippable, [&] { return f.WaitMusicChange(skippable); },
        [&] {
            // Chained: a change to silence ends at once; a new piece goes on fading in.
            if (f.Link() != nullptr && f.Link()->CurrentBgm() == 0 && g_pSoundManager != nullptr)
                g_pSoundManager->StopMusic();
        });
}

int32_t Command121(CTgsFrame& f, const TgsArgPair* a)
{
    const bool skippable = Flag(a[0]);
    return ChainedWait(
        f, skippable, [&] { return f.WaitMusicEnd(skippable); },
        [&] {
            f.MusicNumber() = 0;
            if (f.Link() != nullptr)
                f.Link()->PlayBgm(0, 0, true);
        });
}

int32_t Command122(CTgsFrame& f, const TgsArgPair* a)
{
    f.PlayEffect(Text(f, a[0]).get(), Int(a[1], -1), Flag(a[2]), Flag(a[3]));
    return 0;
}

int32_t Command123(CTgsFrame& f, const TgsArgPair* a)
{
    f.FadeInEffect(Text(f, a[0]).get(), static_cast<uint32_t>(Int(a[2], 0)), Int(a[1], -1), Flag(a[3]));
    return 0;
}

int32_t Command124(CTgsFrame& f, const TgsArgPair* a)
{
    f.FadeOutEffect(static_cast<uint32_t>(Int(a[1], 0)), Int(a[0], 0));
    return 0;
}

int32_t Command125(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopEffect(Int(a[0], 0));
    return 0;
}

int32_t Command126(CTgsFrame& f, const TgsArgPair*)
{
    f.StopAllEffects();
    return 0;
}

// A channel the scenario cannot name is passed over: no wait, nothing stopped, the chain as it was.
int32_t Command127(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t n = Int(a[0], 0);
    if (CTgsFrame::NamedChannel(n) < 0)
        return 0;
    const bool skippable = Flag(a[3]);
    return ChainedWait(
        f, skippable, [&] { return f.WaitEffect(n, skippable, Flag(a[1]), Flag(a[2])); },
        [&] {
            if (Flag(a[1]))
                f.StopEffect(n);
        });
}

int32_t Command128(CTgsFrame& f, const TgsArgPair* a)
{
    const int32_t n = Int(a[0], 0);
    if (CTgsFrame::NamedChannel(n) < 0)
        return 0;
    const bool skippable = Flag(a[2]);
    return ChainedWait(
        f, skippable, [&] { return f.WaitEffectFade(n, skippable, Flag(a[1]), false); }, [&] { f.StopEffect(n); });
}

int32_t Command129(CTgsFrame& f, const TgsArgPair* a)
{
    f.StopVoiceIfAsked(0xFF);
    f.PlayVoiceNow(Text(f, a[0]).get(), Flag(a[1]));
    return 0;
}

} // namespace

void CTgsFrame::AddHandlers()
{
    for (uint32_t i = 0; i < kCommandCount; ++i) {
        TgsCommand handler = &CommandLater;
        if (i < 12 || i == 15 || (i >= 68 && i <= 73))
            handler = &CommandNoOp;
        switch (i) {
        case 12: handler = &Command12; break;
        case 13: handler = &Command13; break;
        case 14: handler = &Command14; break;
        case 16: handler = &Command16; break;
        case 17: handler = &Command17; break;
        case 18: handler = &Command18; break;
        case 19: handler = &Command19; break;
        case 20: handler = &Command20; break;
        case 21: handler = &Command21; break;
        case 22: handler = &Command22; break;
        case 23: handler = &Command23; break;
        case 24: handler = &Command24; break;
        case 25: handler = &Command25; break;
        case 26: handler = &Command26; break;
        case 27: handler = &Command27; break;
        case 28: handler = &Command28; break;
        case 29: handler = &Command29; break;
        case 30: handler = &Command30; break;
        // layers and sprites
        case 35: handler = &Command35; break;
        case 36: handler = &Command36; break;
        case 37: handler = &Command37; break;
        case 38: handler = &Command38; break;
        case 39: handler = &Command39; break;
        case 40: handler = &Command40; break;
        case 41: handler = &Command41; break;
        case 42: handler = &Command42; break;
        case 43: handler = &Command43; break;
        case 44: handler = &Command44; break;
        case 45: handler = &Command45; break;
        case 74: handler = &Command74; break;
        case 75: handler = &Command75; break;
        case 76: handler = &Command76; break;
        case 77: handler = &Command77; break;
        case 78: handler = &Command78; break;
        case 79: handler = &Command79; break;
        case 80: handler = &Command80; break;
        case 81: handler = &Command81; break;
        case 82: handler = &Command82; break;
        case 90: handler = &Command90; break;
        case 102: handler = &Command102; break;
        case 103: handler = &Command103; break;
        case 104: handler = &Command104; break;
        case 105: handler = &Command105; break;
        case 106: handler = &Command106; break;
        case 107: handler = &Command107; break;
        case 108: handler = &Command108; break;
        // effects and transitions
        case 31: handler = &Command31; break;
        case 32: handler = &Command32; break;
        case 33: handler = &Command33; break;
        case 34: handler = &Command34; break;
        case 46: handler = &Command46; break;
        case 47: handler = &Command47; break;
        case 48: handler = &Command48; break;
        case 49: handler = &Command49; break;
        case 50: handler = &Command50; break;
        case 51: handler = &Command51; break;
        case 52: handler = &Command52; break;
        case 53: handler = &Command53; break;
        case 54: handler = &Command54; break;
        case 55: handler = &Command55; break;
        case 56: handler = &Command56; break;
        case 57: handler = &Command57; break;
        case 58: handler = &Command58; break;
        case 59: handler = &Command59; break;
        case 60: handler = &Command60; break;
        case 61: handler = &Command61; break;
        case 62: handler = &Command62; break;
        case 63: handler = &Command63; break;
        case 64: handler = &Command64; break;
        case 65: handler = &Command65; break;
        case 66: handler = &Command66; break;
        case 67: handler = &Command67; break;
        case 83: handler = &Command83; break;
        case 84: handler = &Command84; break;
        case 85: handler = &Command85; break;
        case 86: handler = &Command86; break;
        case 87: handler = &Command87; break;
        case 88: handler = &Command88; break;
        case 89: handler = &Command89; break;
        case 91: handler = &Command91; break;
        case 92: handler = &Command92; break;
        case 93: handler = &Command93; break;
        case 94: handler = &Command94; break;
        case 95: handler = &Command95; break;
        case 96: handler = &Command96; break;
        case 97: handler = &Command97; break;
        case 98: handler = &Command98; break;
        case 99: handler = &Command99; break;
        case 100: handler = &Command100; break;
        case 101: handler = &Command101; break;
        case 109: handler = &Command109; break;
        case 110: handler = &Command110; break;
        case 111: handler = &Command111; break;
        case 112: handler = &Command112; break;
        case 113: handler = &Command113; break;
        case 114: handler = &Command114; break;
        case 115: handler = &Command115; break;
        case 116: handler = &Command116; break;
        case 117: handler = &Command117; break;
        case 118: handler = &Command118; break;
        // sound
        case 119: handler = &Command119; break;
        case 120: handler = &Command120; break;
        case 121: handler = &Command121; break;
        case 122: handler = &Command122; break;
        case 123: handler = &Command123; break;
        case 124: handler = &Command124; break;
        case 125: handler = &Command125; break;
        case 126: handler = &Command126; break;
        case 127: handler = &Command127; break;
        case 128: handler = &Command128; break;
        case 129: handler = &Command129; break;
        default: break;
        }
        AddCommand(handler);
    }
}
