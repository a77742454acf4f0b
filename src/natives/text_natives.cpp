// Natives 466-509 (see text_natives.h).
#include "natives/text_natives.h"

#include <cstring>
#include <string>

#include "controls/text_layer.h"
#include "display/display_objects.h"
#include "display/image_object.h"
#include "drawing/sprite.h"
#include "natives/native_args.h"
#include "raster/surface.h"
#include "script/tagged_text.h"

namespace {

// Adapts the owner word of 470 to the text object: a sprite has its changed rectangles marked,
// a surface its canvas invalidated. Resolved at each character, so an ended owner is skipped.
class ScriptTextOwner : public CTaggedTextOwner {
public:
    CScriptHostBase* host = nullptr;
    uint32_t handle = 0;

    void OnCharacterDrawn(const RECT& rect) override
    {
        if (host == nullptr || handle == 0)
            return;
        RECT r = rect;
        if (CSprite* sprite = host->Object<CSprite>(handle)) {
            sprite->InvalidateLocalRect(&r);
            return;
        }
        if (CImageObject* canvas = GetSurfaceCanvas(host->Object<CSurface>(handle)))
            canvas->InvalidateRect(&r);
    }
};

// What 470 gave the text object, by handle.
struct TargetState {
    CTaggedText* text = nullptr;
    CScriptHostBase* host = nullptr;
    uint32_t surface = 0;
    uint32_t font = 0;
    ScriptTextOwner owner;
};

TargetState g_target;
uint32_t g_choiceLayer = 0;

// Keys of the mirrors of 506, one per choice index (a script may hold several texts at once).
constexpr int32_t kMirroredChoices = 256;
const char g_choiceMirrorKeys[kMirroredChoices] = {};

// The text object of the calling host, with the target 470 set dropped once its surface or font
// ended; null without host or text object.
CTaggedText* Text(SobNativeArgs& args, CScriptHostBase** hostOut = nullptr)
{
    CScriptHostBase* host = NativeHost(args);
    CTaggedText* text = g_pScriptTextObject;
    if (host == nullptr || text == nullptr)
        return nullptr;
    if (hostOut != nullptr)
        *hostOut = host;
    if (g_target.text == text && g_target.host == host && text->Target() != nullptr) {
        CSurface* surface = host->Object<CSurface>(g_target.surface);
        if (surface == nullptr || GetSurfaceImage(surface) != text->Target() ||
            host->Object<CFont>(g_target.font) != text->TargetFont()) {
            text->ClearTarget();
            g_target = TargetState{};
        }
    }
    return text;
}

// A surface word of the drawing natives: kinds 4, 7 and 9 give their image → false for any other
// word (0 is accepted by the callers that allow it before asking).
bool DrawSurface(CScriptHostBase& host, uint32_t word, CImage** image)
{
    CSurface* surface = host.Object<CSurface>(word);
    if (surface == nullptr)
        return false;
    const uint8_t kind = surface->GetKind();
    if (kind != kSurfaceMemoryImage && kind != kSurfaceCanvas && kind != kSurfaceSprite)
        return false;
    *image = GetSurfaceImage(surface);
    return *image != nullptr;
}

void ClearChoiceLayerFlags(CScriptHostBase& host)
{
    if (CTextLayerBase* layer = ChoiceLayer(host))
        layer->SetReadFlags(nullptr, 0, nullptr);
}

// A browse native's answer; a shown entry brings its choices to the layer.
uint32_t Browsed(CScriptHostBase& host, int result)
{
    if (result == 0)
        SyncChoiceLayer(host);
    return static_cast<uint32_t>(result);
}

// 472 and 504: surface word 3, effect byte 4, font word 5.
template <class Draw>
uint32_t DrawText(SobNativeArgs& args, Draw draw)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const uint32_t surfaceWord = args.U32(3);
    const uint8_t effect = static_cast<uint8_t>(args.U32(4));
    const uint32_t fontWord = args.U32(5);
    if (args.Faulted() || text == nullptr)
        return 0;
    CImage* image = nullptr;
    if (surfaceWord != 0 && !DrawSurface(*host, surfaceWord, &image))
        return static_cast<uint32_t>(-1);
    CFont* font = nullptr;
    if (effect != 255 && fontWord != 0) {
        font = host->Object<CFont>(fontWord);
        if (font == nullptr)
            return static_cast<uint32_t>(-2);
    }
    return static_cast<uint32_t>(draw(*text, image, effect == 255 ? nullptr : font, effect));
}

} // namespace

void SetChoiceLayer(uint32_t handle)
{
    g_choiceLayer = handle;
}

uint32_t ChoiceLayerHandle()
{
    return g_choiceLayer;
}

CTextLayerBase* ChoiceLayer(CScriptHostBase& host)
{
    return host.Object<CTextLayerBase>(g_choiceLayer);
}

void SyncChoiceLayer(CScriptHostBase& host)
{
    CTextLayerBase* layer = ChoiceLayer(host);
    CTaggedText* text = g_pScriptTextObject;
    if (layer == nullptr || text == nullptr)
        return;
    SobModuleEntry* entry = nullptr;
    if (text->ChoiceKind() == 0 && host.CurrentEntryIndex() >= 0)
        entry = host.ModuleTableEntry(static_cast<uint32_t>(host.CurrentEntryIndex()));
    else if (text->ChoiceKind() == 1 && host.ModuleTableCount() != 0)
        entry = host.ModuleTableEntry(host.ModuleTableCount() - 1);
    layer->SetReadFlags(entry != nullptr ? &entry->choiceBits : nullptr, text->SeenFlagBase(), nullptr);
}

uint32_t NativeSetHistoryCapacity(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t capacity = static_cast<uint8_t>(args.U32(0));
    if (!args.Faulted() && text != nullptr)
        text->SetHistoryCapacity(capacity);
    return 0;
}

uint32_t NativeEnableHistory(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const bool on = args.U32(0) != 0;
    if (!args.Faulted() && text != nullptr)
        text->SetHistoryEnabled(on);
    return 0;
}

uint32_t NativeSetMessage(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint32_t record = args.U32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    return static_cast<uint32_t>(text->SetMessage(record));
}

uint32_t NativeEnableMessages(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t on = static_cast<uint8_t>(args.U32(0));
    if (!args.Faulted() && text != nullptr)
        text->SetMessagesEnabled(on != 0);
    return 0;
}

uint32_t NativeSetTextTarget(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const uint32_t surfaceWord = args.U32(0);
    const uint32_t ownerWord = args.U32(1);
    const int32_t x = args.I32(2), y = args.I32(3);
    const uint32_t fontWord = args.U32(4);
    const uint8_t effect = static_cast<uint8_t>(args.U32(5));
    const uint8_t centred = static_cast<uint8_t>(args.U32(6));
    const int32_t spacing = args.I32(7);
    if (args.Faulted() || text == nullptr)
        return 0;
    CImage* image = nullptr;
    if (!DrawSurface(*host, surfaceWord, &image))
        return 1;
    CFont* font = host->Object<CFont>(fontWord);
    if (font == nullptr)
        return 2;
    g_target.text = text;
    g_target.host = host;
    g_target.surface = surfaceWord;
    g_target.font = fontWord;
    g_target.owner.host = host;
    g_target.owner.handle = ownerWord;
    return static_cast<uint32_t>(
        text->SetTarget(image, &g_target.owner, x, y, font, effect != 0, centred != 0, spacing));
}

uint32_t NativeCopyNameLine(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint32_t buffer = args.U32(0);
    const uint32_t n = args.U32(1);
    if (args.Faulted() || text == nullptr)
        return 0;
    const uint32_t size = text->CopyLine(nullptr, 0, n);
    if (buffer == 0 || size == 0)
        return size;
    uint8_t* dst = NativeBlockSpan(args, buffer, size);
    if (dst == nullptr)
        return 0;
    return text->CopyLine(reinterpret_cast<char*>(dst), size, n);
}

uint32_t NativeDrawNameLine(SobNativeArgs& args)
{
    const int32_t x = args.I32(0), y = args.I32(1);
    const uint32_t n = args.U32(2);
    return DrawText(args, [&](CTaggedText& text, CImage* image, CFont* font, uint8_t effect) {
        return text.DrawLine(x, y, n, image, font, effect);
    });
}

uint32_t NativeStepText(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t skip = static_cast<uint8_t>(args.U32(0));
    if (args.Faulted() || text == nullptr)
        return 0;
    return static_cast<uint32_t>(text->StepText(skip != 0));
}

uint32_t NativeSeekTextEnd(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    if (text == nullptr)
        return 0;
    return text->SeekTag(-1, true) >= 0 ? 1 : 0;
}

uint32_t NativeSeekTag(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const int32_t n = args.I32(0);
    const uint8_t draw = static_cast<uint8_t>(args.U32(1));
    if (args.Faulted() || text == nullptr)
        return 0;
    return static_cast<uint32_t>(text->SeekTag(n, draw != 0));
}

uint32_t NativeRedrawText(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->Redraw() ? 1 : 0;
}

uint32_t NativeGetDrawPosition(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    // Both cells are checked before either is written.
    if (args.Span(0, 4) == nullptr || args.Span(1, 4) == nullptr || text == nullptr)
        return 0;
    args.Out32(0, static_cast<uint32_t>(text->GetDrawX()));
    args.Out32(1, static_cast<uint32_t>(text->GetDrawY()));
    return 0;
}

uint32_t NativeCopyTagString(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint32_t buffer = args.U32(0);
    if (args.Faulted() || text == nullptr || text->TagString().empty() || buffer == 0)
        return 0;
    NativeCopyText(args, buffer, text->TagString());
    return args.Faulted() ? 0 : 1;
}

uint32_t NativeGetTagValue(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr ? static_cast<uint32_t>(text->TagValue()) : 0;
}

uint32_t NativeHasPreviousEntry(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->ShownIndex() > 0 ? 1 : 0;
}

uint32_t NativeHasNextEntry(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->ShownIndex() < text->HistoryCount() - 1 ? 1 : 0;
}

uint32_t NativeCopyPlainText(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint32_t buffer = args.U32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    std::string plain;
    const uint32_t size = text->ExtractPlainText(&plain, true);
    if (buffer != 0)
        NativeCopyText(args, buffer, plain);
    return size;
}

uint32_t NativeHistoryCount(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr ? static_cast<uint32_t>(text->HistoryCount()) : 0;
}

uint32_t NativeShownEntry(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr ? static_cast<uint32_t>(text->ShownIndex()) : 0;
}

uint32_t NativeShowPreviousEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    return text != nullptr ? Browsed(*host, text->ShowPreviousEntry()) : 0;
}

uint32_t NativeShowNextEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    return text != nullptr ? Browsed(*host, text->ShowNextEntry()) : 0;
}

uint32_t NativeShowFirstEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    return text != nullptr ? Browsed(*host, text->ShowFirstEntry()) : 0;
}

uint32_t NativeShowLastEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    return text != nullptr ? Browsed(*host, text->ShowLastEntry()) : 0;
}

uint32_t NativeShowEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const int32_t index = args.I32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    return Browsed(*host, text->ShowEntryClamped(index));
}

uint32_t NativeMoveEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const int32_t delta = args.I32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    return Browsed(*host, text->MoveEntry(delta));
}

uint32_t NativeSaveTextPosition(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->SavePosition() ? 1 : 0;
}

uint32_t NativeRestoreTextPosition(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->RestorePosition() ? 1 : 0;
}

uint32_t NativeClearMessages(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    if (text == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    text->Clear();
    return 0;
}

uint32_t NativeMessageAlreadyRead(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr && text->AlreadyRead() ? 1 : 0;
}

uint32_t NativeSetReadLogFile(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    if (args.Faulted() || host == nullptr)
        return 0;
    // The log is written into the save folder under this name: it must stay there.
    if (name != nullptr && IsNameInsideFolder(name))
        host->SetReadLogFile(name);
    return 0;
}

uint32_t NativeLoadReadLog(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? static_cast<uint32_t>(host->LoadReadLog(nullptr)) : 0;
}

uint32_t NativeSetChoices(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const uint32_t record = args.U32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    const int result = text->SetChoices(record);
    if (result < 1)
        SyncChoiceLayer(*host);
    return static_cast<uint32_t>(result);
}

uint32_t NativeEnableChoices(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t on = static_cast<uint8_t>(args.U32(0));
    if (!args.Faulted() && text != nullptr)
        text->SetChoicesEnabled(on != 0);
    return 0;
}

uint32_t NativeReserveChoices(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const int32_t n = args.I32(0);
    if (args.Faulted() || text == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    return static_cast<uint8_t>(text->ReserveChoices(n));
}

uint32_t NativeResetChoiceSeenBase(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    if (text == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    text->ClearSeenFlagBase();
    return 0;
}

uint32_t NativeAddChoice(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const char* choice = NativeOptionalString(args, 0);
    if (args.Faulted() || text == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    return static_cast<uint32_t>(text->AddChoice(choice));
}

uint32_t NativeClearChoices(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    if (text == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    text->ClearChoices();
    return 0;
}

uint32_t NativeChoiceCount(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr ? static_cast<uint32_t>(text->ChoiceCount()) : 0;
}

uint32_t NativeDrawChoice(SobNativeArgs& args)
{
    const int32_t i = args.I32(0);
    const int32_t x = args.I32(1), y = args.I32(2);
    return DrawText(args, [&](CTaggedText& text, CImage* image, CFont* font, uint8_t effect) {
        return text.DrawChoice(i, x, y, image, font, effect);
    });
}

uint32_t NativeCopyChoice(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const int32_t i = args.I32(0);
    const uint32_t buffer = args.U32(1);
    const uint32_t size = args.U32(2);
    if (args.Faulted() || text == nullptr)
        return 0;
    // The answers without a copy come first; a copy lands inside the buffer's block only.
    const int check = text->CopyChoice(i, nullptr, 0);
    if (check != 3)
        return static_cast<uint32_t>(check);
    const uint32_t need = static_cast<uint32_t>(std::strlen(text->GetChoice(i)) + 1);
    if (size < need)
        return 3;
    uint8_t* dst = NativeBlockSpan(args, buffer, need);
    if (dst == nullptr)
        return 0;
    return static_cast<uint32_t>(text->CopyChoice(i, reinterpret_cast<char*>(dst), need));
}

uint32_t NativeGetChoice(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CTaggedText* text = Text(args, &host);
    const int32_t i = args.I32(0);
    if (args.Faulted() || text == nullptr || i < 0 || i >= kMirroredChoices)
        return 0;
    const char* choice = text->GetChoice(i);
    if (choice == nullptr)
        return 0;
    return host->MirrorString(&g_choiceMirrorKeys[i], choice);
}

uint32_t NativeSelectChoice(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t i = static_cast<uint8_t>(args.U32(0));
    if (args.Faulted() || text == nullptr)
        return 0;
    return text->SelectChoice(i) ? 1 : 0;
}

uint32_t NativeSelectedChoice(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    return text != nullptr ? text->GetSelectedChoice() : 0;
}

uint32_t NativeIsChoiceSeen(SobNativeArgs& args)
{
    CTaggedText* text = Text(args);
    const uint8_t i = static_cast<uint8_t>(args.U32(0));
    if (args.Faulted() || text == nullptr)
        return 0;
    return text->IsChoiceSeen(i) ? 1 : 0;
}

uint32_t NativeSetChoiceLayer(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    ClearChoiceLayerFlags(*host);
    const bool isLayer = host->Object<CTextLayerBase>(word) != nullptr;
    SetChoiceLayer(isLayer ? word : 0);
    return isLayer ? 0 : 1;
}

uint32_t NativeCopyChoiceLayerSettings(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    CTextLayerBase* layer = host->Object<CTextLayerBase>(word);
    if (layer == nullptr)
        return static_cast<uint32_t>(-1);
    return static_cast<uint32_t>(layer->CopyReadSettings(ChoiceLayer(*host)));
}
