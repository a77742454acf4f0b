// Natives over the scripts' owned lists (see owned_list_natives.h).
#include "natives/owned_list_natives.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <memory>
#include <new>
#include <vector>

#include "display/display_objects.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/kad_file.h"
#include "drawing/kag_anim_task.h"
#include "drawing/kag_file.h"
#include "drawing/sprite.h"
#include "controls/control.h"
#include "controls/parts_file.h"
#include "controls/parts_file_b.h"
#include "display/screen.h"
#include "effects/bg_anime.h"
#include "natives/main_form.h"
#include "natives/script_host.h"
#include "natives/native_args.h"
#include "platform/timer_manager.h"
#include "sound/lip_sync_task.h"

COwnedList<CKagFile> g_ScriptKagFiles;
COwnedList<CKadFile> g_ScriptKadFiles;
COwnedList<CCellSheet> g_ScriptCellSheets;
CPartsFileA g_ScriptPartsA;
CPartsFileB g_ScriptPartsB;

namespace {

// 514's animations with the canvas whose scene shows them (as its end is reported).
struct CanvasUser {
    CTimedTask* task;
    const void* canvas;
};
std::vector<CanvasUser>& CanvasUsers()
{
    static auto* users = new std::vector<CanvasUser>; // tasks may end after this file's statics
    return *users;
}

constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);
// 532's word 9 with this value leaves the sheet's playing settings at their defaults.
constexpr uint32_t kDefaults = 65535;

template <class T>
T* At(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = NativeHost(a);
    return host != nullptr ? host->Object<T>(a.U32(k)) : nullptr;
}

CKagFile* KagAt(SobNativeArgs& a, uint32_t k)
{
    return dynamic_cast<CKagFile*>(At<CGroupFile>(a, k));
}

CKadFile* KadAt(SobNativeArgs& a, uint32_t k)
{
    return dynamic_cast<CKadFile*>(At<CGroupFile>(a, k));
}

// 539: each step draws the animation's current cell into the sprite (CAnimTask::DrawFrameTo); it
// ends with the animation. Both are held by handle, so either may end first.
class CSheetFrameTask : public CTimedTask {
public:
    CSheetFrameTask(CScriptHostBase& host, uint32_t anim, uint32_t sprite) : m_host(host), m_anim(anim), m_sprite(sprite)
    {
    }
    int32_t GetKind() override { return kSheetFrameTaskKind; }
    int32_t Step(uint32_t) override
    {
        const CAnimTask* anim = Anim();
        CSprite* sprite = m_host.Object<CSprite>(m_sprite);
        if (anim == nullptr || sprite == nullptr)
            return 1;
        anim->DrawFrameTo(sprite);
        return 0;
    }
    const CCellSheet* Sheet() const
    {
        const CAnimTask* anim = Anim();
        return anim != nullptr ? anim->GetSheet() : nullptr;
    }

private:
    const CAnimTask* Anim() const
    {
        const auto* anim = dynamic_cast<const CAnimTask*>(m_host.Object<CTimedTask>(m_anim));
        return anim != nullptr && !anim->IsDead() ? anim : nullptr;
    }
    CScriptHostBase& m_host;
    uint32_t m_anim;
    uint32_t m_sprite;
};

// The users of each kind of object on the object manager.
void EndKagUsers(const CKagFile* file)
{
    if (g_pObjectManager != nullptr)
        g_pObjectManager->CancelKindIf(kKagAnimTaskKind, [file](CTimedTask* t) {
            return file == nullptr || static_cast<CKagAnimTask*>(t)->GetFile() == file;
        });
}

void EndKadUsers(const CKadFile* kad)
{
    if (g_pObjectManager != nullptr)
        g_pObjectManager->CancelKindIf(kBgAnimeKind, [kad](CTimedTask* t) {
            const auto* effect = dynamic_cast<CBgAnimeEffect*>(t);
            return kad == nullptr || (effect != nullptr && effect->GetKad() == kad);
        });
}

void EndSheetUsers(const CCellSheet* sheet)
{
    if (g_pObjectManager == nullptr)
        return;
    g_pObjectManager->CancelKindIf(kAnimTaskKind, [sheet](CTimedTask* t) {
        return sheet == nullptr || static_cast<CAnimTask*>(t)->GetSheet() == sheet;
    });
    g_pObjectManager->CancelKindIf(kLipSyncTaskKind, [sheet](CTimedTask* t) {
        if (sheet == nullptr)
            return true;
        if (const auto* lips = dynamic_cast<CLipSyncTask*>(t))
            return lips->GetSheet() == sheet;
        const auto* frames = dynamic_cast<CSheetFrameTask*>(t);
        return frames != nullptr && frames->Sheet() == sheet;
    });
}

// Lists a loaded object and hands out its handle → 0 when it did not load or cannot be listed.
template <class T>
uint32_t Listed(SobNativeArgs& a, COwnedList<T>& list, std::unique_ptr<T> object, int loadResult)
{
    CScriptHostBase* host = NativeHost(a);
    if (host == nullptr || loadResult != 0)
        return 0;
    T* listed = list.Add(std::move(object));
    if (listed == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(listed);
    if (handle == 0)
        list.Release(listed);
    return handle;
}

// Release by a 4-byte cell holding the handle: 1 a null cell or one holding 0; 2 a handle of no listed object
// (the cell unchanged); else the users end, the list's release code, and on 0 the cell cleared.
template <class T, class Find, class EndUsers>
uint32_t ReleaseByCell(SobNativeArgs& a, COwnedList<T>& list, Find find, EndUsers endUsers)
{
    CScriptHostBase* host = NativeHost(a);
    const uint32_t cell = a.U32(0);
    if (a.Faulted() || host == nullptr)
        return 0;
    return NativeReleaseByCell(a, cell, [&](uint32_t handle) {
        T* object = find(*host, handle);
        if (object == nullptr || !list.Contains(object))
            return 2;
        endUsers(object);
        return list.Release(object);
    });
}

// 532's and 537's words from k: file, cell width, cell height, record sprite, direct surface,
// x, y, flag, mode, cells (65535: keep the defaults), frame time, play mode.
struct SheetWords {
    const char* file = nullptr;
    LONG cellWidth = 0, cellHeight = 0;
    CSprite* record = nullptr;
    CImage* direct = nullptr;
    LONG x = 0, y = 0;
    uint8_t flag = 0;
    int32_t mode = 0;
    uint32_t cells = kDefaults;
    uint32_t frameTime = 0;
    uint8_t playMode = 0;
};

bool ReadSheetWords(SobNativeArgs& a, uint32_t k, SheetWords* w)
{
    w->file = NativeOptionalString(a, k);
    w->cellWidth = a.I32(k + 1);
    w->cellHeight = a.I32(k + 2);
    w->record = At<CSprite>(a, k + 3);
    w->direct = GetSurfaceImage(At<CSurface>(a, k + 4));
    w->x = a.I32(k + 5);
    w->y = a.I32(k + 6);
    w->flag = static_cast<uint8_t>(a.U32(k + 7));
    w->mode = a.I32(k + 8);
    w->cells = a.U32(k + 9);
    w->frameTime = a.U32(k + 10);
    w->playMode = static_cast<uint8_t>(a.U32(k + 11));
    // A sheet cell of negative size would make the loader's arithmetic run backwards.
    return !a.Faulted() && w->cellWidth >= 0 && w->cellHeight >= 0;
}

int LoadSheet(CCellSheet& sheet, const SheetWords& w)
{
    const int code = sheet.LoadImage(w.file, w.cellWidth, w.cellHeight, w.record, w.direct, w.x, w.y, w.flag, w.mode,
                                     false, false, 0xFFFFFFFFu);
    if (code == 0 && w.cells != kDefaults)
        sheet.SetAnimation(static_cast<int32_t>(w.cells), w.frameTime, w.playMode, 0, 1);
    return code;
}

// Hands out a task just listed on the object manager, its out cell (word k, 0 none) registered
// to be cleared when the task ends → the handle; 0 with the task cancelled when none can be made.
uint32_t HandOutTask(SobNativeArgs& a, CTimedTask* task, uint32_t cellWord)
{
    CScriptHostBase* host = NativeHost(a);
    const uint32_t handle = host->ObjectHandle(task);
    if (handle == 0) {
        g_pObjectManager->Cancel(task);
        return 0;
    }
    if (cellWord != 0 && a.Memory().Store32(cellWord, handle))
        host->ClearOnDestruction(handle, cellWord);
    return handle;
}

} // namespace

void ReleaseScriptOwnedLists()
{
    EndKagUsers(nullptr);
    EndKadUsers(nullptr);
    EndSheetUsers(nullptr);
    // Every use dropped: none outlives the host.
    while (g_ScriptKagFiles.GetCount() != 0)
        g_ScriptKagFiles.ReleaseAll();
    while (g_ScriptKadFiles.GetCount() != 0)
        g_ScriptKadFiles.ReleaseAll();
    while (g_ScriptCellSheets.GetCount() != 0)
        g_ScriptCellSheets.ReleaseAll();
    g_ScriptPartsA.Clear();
    g_ScriptPartsB.Clear();
}

uint32_t NativeKagCreate(SobNativeArgs& a)
{
    const char* name = NativeOptionalString(a, 0);
    const bool palette = a.U32(1) != 0;
    if (a.Faulted() || name == nullptr)
        return 0;
    std::unique_ptr<CKagFile> file(new (std::nothrow) CKagFile);
    if (!file)
        return 0;
    const int code = file->Load(name, palette);
    return Listed(a, g_ScriptKagFiles, std::move(file), code);
}

uint32_t NativeKagRelease(SobNativeArgs& a)
{
    return ReleaseByCell(
        a, g_ScriptKagFiles,
        [](CScriptHostBase& host, uint32_t h) { return dynamic_cast<CKagFile*>(host.Object<CGroupFile>(h)); },
        EndKagUsers);
}

uint32_t NativeKagReleaseAll(SobNativeArgs&)
{
    EndKagUsers(nullptr);
    g_ScriptKagFiles.ReleaseAll();
    return 0;
}

uint32_t NativeKagReload(SobNativeArgs& a)
{
    CKagFile* file = KagAt(a, 0);
    const char* name = NativeOptionalString(a, 1);
    const bool palette = a.U32(2) != 0;
    if (a.Faulted())
        return 0;
    if (file == nullptr)
        return kMinus2;
    EndKagUsers(file);
    return static_cast<uint32_t>(file->Load(name, palette));
}

// Words: KAG, canvas surface (its scene shows the animation), group, loops, priority, x, y,
// catch-up (byte), end when done (byte), start delay, out cell (0 none).
uint32_t NativeKagAnimate(SobNativeArgs& a)
{
    CKagFile* file = KagAt(a, 0);
    CScene* scene = GetSurfaceScene(At<CSurface>(a, 1));
    const int32_t group = a.I32(2), loops = a.I32(3);
    const uint32_t priority = a.U32(4);
    const int32_t x = a.I32(5), y = a.I32(6);
    const uint8_t catchUp = static_cast<uint8_t>(a.U32(7)), endWhenDone = static_cast<uint8_t>(a.U32(8));
    const uint32_t delay = a.U32(9);
    const uint32_t cell = a.U32(10);
    if (a.Faulted() || (cell != 0 && a.Memory().Span(cell, 4) == nullptr)) {
        a.MarkFault();
        return 0;
    }
    if (file == nullptr || scene == nullptr || g_pObjectManager == nullptr)
        return 0;
    std::unique_ptr<CKagAnimTask> task(new (std::nothrow) CKagAnimTask);
    if (!task)
        return 0;
    task->SetBase(x, y);
    // The list owns the file: the task only borrows it (a release ends the task first).
    if (task->Setup(g_pObjectManager, scene, file, group, loops, priority, catchUp, endWhenDone, 0, delay) != 0)
        return 0;
    CKagAnimTask* listed = task.release();
    std::vector<CanvasUser>& users = CanvasUsers();
    users.erase(std::remove_if(users.begin(), users.end(),
                               [](const CanvasUser& u) { return !g_pObjectManager->Contains(u.task); }),
                users.end());
    users.push_back({listed, static_cast<const void*>(At<CSurface>(a, 1))});
    return HandOutTask(a, listed, cell);
}

uint32_t NativeKadCreate(SobNativeArgs& a)
{
    const char* name = NativeOptionalString(a, 0);
    if (a.Faulted() || name == nullptr)
        return 0;
    std::unique_ptr<CKadFile> file(new (std::nothrow) CKadFile);
    if (!file)
        return 0;
    const int code = file->Load(name);
    return Listed(a, g_ScriptKadFiles, std::move(file), code);
}

uint32_t NativeKadRelease(SobNativeArgs& a)
{
    return ReleaseByCell(
        a, g_ScriptKadFiles,
        [](CScriptHostBase& host, uint32_t h) { return dynamic_cast<CKadFile*>(host.Object<CGroupFile>(h)); },
        EndKadUsers);
}

uint32_t NativeKadReleaseAll(SobNativeArgs&)
{
    EndKadUsers(nullptr);
    g_ScriptKadFiles.ReleaseAll();
    return 0;
}

uint32_t NativeKadReload(SobNativeArgs& a)
{
    CKadFile* file = KadAt(a, 0);
    const char* name = NativeOptionalString(a, 1);
    if (a.Faulted())
        return 0;
    if (file == nullptr)
        return kMinus2;
    EndKadUsers(file);
    return static_cast<uint32_t>(file->Load(name));
}

uint32_t NativeKadField(SobNativeArgs& a)
{
    CKadFile* file = KadAt(a, 0);
    const uint32_t code = a.U32(1);
    if (a.Faulted() || file == nullptr)
        return 0;
    switch (code) {
    case 0:
        return file->GetGroupCount();
    case 1:
        return file->GetEntryCount();
    case 2:
        return GetU16(file->GetHeader());
    case 3:
        return GetU16(file->GetHeader() + 2);
    default:
        return 0;
    }
}

uint32_t NativeSheetCreate(SobNativeArgs& a)
{
    SheetWords w;
    if (!ReadSheetWords(a, 0, &w))
        return 0;
    std::unique_ptr<CCellSheet> sheet(new (std::nothrow) CCellSheet);
    if (!sheet)
        return 0;
    const int code = LoadSheet(*sheet, w);
    return Listed(a, g_ScriptCellSheets, std::move(sheet), code);
}

uint32_t NativeSheetRemoveUser(SobNativeArgs& a)
{
    CCellSheet* sheet = At<CCellSheet>(a, 0);
    CDrawable* user = At<CDrawable>(a, 1);
    if (!a.Faulted() && sheet != nullptr && user != nullptr)
        sheet->RemoveUser(user);
    return 0;
}

uint32_t NativeSheetRedraw(SobNativeArgs& a)
{
    CCellSheet* sheet = At<CCellSheet>(a, 0);
    if (!a.Faulted() && sheet != nullptr)
        CAnimTask::RedrawUsers(*sheet);
    return 0;
}

uint32_t NativeSheetRelease(SobNativeArgs& a)
{
    return ReleaseByCell(
        a, g_ScriptCellSheets, [](CScriptHostBase& host, uint32_t h) { return host.Object<CCellSheet>(h); },
        EndSheetUsers);
}

uint32_t NativeSheetReleaseAll(SobNativeArgs&)
{
    EndSheetUsers(nullptr);
    g_ScriptCellSheets.ReleaseAll();
    return 0;
}

uint32_t NativeSheetReload(SobNativeArgs& a)
{
    CCellSheet* sheet = At<CCellSheet>(a, 0);
    SheetWords w;
    const bool wordsOk = ReadSheetWords(a, 1, &w);
    if (a.Faulted())
        return 0;
    if (sheet == nullptr)
        return kMinus2;
    if (!wordsOk)
        return 1;
    EndSheetUsers(sheet);
    return static_cast<uint32_t>(LoadSheet(*sheet, w));
}

// Words: sheet, target sprite (0: the sheet's own image), loops (byte), wait after each cycle,
// random part of the wait, random first wait (byte), out cell (0 none).
uint32_t NativeSheetAnimate(SobNativeArgs& a)
{
    CCellSheet* sheet = At<CCellSheet>(a, 0);
    const uint32_t targetWord = a.U32(1);
    CSprite* target = At<CSprite>(a, 1);
    const uint8_t loops = static_cast<uint8_t>(a.U32(2));
    const uint32_t wait = a.U32(3), range = a.U32(4);
    const uint8_t randomFirst = static_cast<uint8_t>(a.U32(5));
    const uint32_t cell = a.U32(6);
    if (a.Faulted() || (cell != 0 && a.Memory().Span(cell, 4) == nullptr)) {
        a.MarkFault();
        return 0;
    }
    if (sheet == nullptr || (targetWord != 0 && target == nullptr) || g_pObjectManager == nullptr)
        return 0;
    std::unique_ptr<CAnimTask> task(new (std::nothrow) CAnimTask);
    if (!task || task->Setup(g_pObjectManager, sheet, target, loops, wait, range, randomFirst, nullptr) != 0)
        return 0;
    return HandOutTask(a, task.release(), cell);
}

uint32_t NativeSheetDrawFrames(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    const uint32_t animWord = a.U32(0), spriteWord = a.U32(1);
    const uint32_t cell = a.U32(2);
    if (a.Faulted() || (cell != 0 && a.Memory().Span(cell, 4) == nullptr)) {
        a.MarkFault();
        return 0;
    }
    if (host == nullptr || g_pObjectManager == nullptr || host->Object<CSprite>(spriteWord) == nullptr ||
        dynamic_cast<CAnimTask*>(host->Object<CTimedTask>(animWord)) == nullptr)
        return 0;
    std::unique_ptr<CSheetFrameTask> task(new (std::nothrow) CSheetFrameTask(*host, animWord, spriteWord));
    if (!task || g_pObjectManager->Add(task.get(), 0, 0, 0) != 0)
        return 0;
    return HandOutTask(a, task.release(), cell);
}

namespace {

// 526 and 531: out arrays of 4-byte cells (0 none), each checked whole inside its block for the
// clamped range before any is written; first outside the list copies nothing.
template <class Value>
uint32_t CopyRange(SobNativeArgs& a, size_t count, uint32_t arrays, Value value)
{
    const uint32_t first = a.U32(0), asked = a.U32(1);
    if (a.Faulted() || first >= count)
        return 0;
    const size_t left = count - first;
    const size_t n = asked == 0 || asked > left ? left : asked;
    std::vector<uint8_t*> out(arrays, nullptr);
    for (uint32_t k = 0; k < arrays; ++k) {
        const uint32_t at = a.U32(2 + k);
        if (at != 0 && (out[k] = NativeBlockSpan(a, at, static_cast<uint32_t>(4 * n))) == nullptr)
            return 0;
    }
    if (a.Faulted())
        return 0;
    for (size_t i = 0; i < n; ++i)
        for (uint32_t k = 0; k < arrays; ++k)
            if (out[k] != nullptr) {
                const uint32_t v = value(first + i, k);
                std::memcpy(out[k] + 4 * i, &v, 4);
            }
    return 0;
}

// 525 and 530: out cells (0 none) checked before any is written; -1 for an index outside the list.
template <class Value>
uint32_t ReadPart(SobNativeArgs& a, size_t count, uint32_t cells, Value value)
{
    const uint32_t index = a.U32(0);
    for (uint32_t k = 0; k < cells; ++k)
        if (!a.IsNull(1 + k) && a.Span(1 + k, 4) == nullptr)
            return 0;
    if (a.Faulted())
        return 0;
    if (index >= count)
        return static_cast<uint32_t>(-1);
    for (uint32_t k = 0; k < cells; ++k)
        if (!a.IsNull(1 + k))
            a.Out32(1 + k, value(index, k));
    return 0;
}

// Part i's fields for scripts, as handles and numbers.
// The file's arrays only point at objects the screen and the control set own: one deleted since
// reads as none (no handle is made for freed memory).
uint32_t PartAField(CScriptHostBase& host, size_t i, uint32_t field)
{
    CSprite* sprite = g_ScriptPartsA.GetSprite(i);
    CImage* image = g_ScriptPartsA.GetImage(i);
    if (g_pDisplay == nullptr || !g_pDisplay->HasDrawable(sprite))
        sprite = nullptr;
    if (g_pDisplay == nullptr || !g_pDisplay->HasSurface(image))
        image = nullptr;
    const PartRecord* record = g_ScriptPartsA.GetRecord(i);
    switch (field) {
    case 0:
        return image != nullptr ? host.ObjectHandle(image) : 0;
    case 1:
        return sprite != nullptr ? host.ObjectHandle(sprite) : 0;
    case 2:
        return sprite != nullptr ? static_cast<uint32_t>(sprite->GetX()) : 0;
    case 3:
        return sprite != nullptr ? static_cast<uint32_t>(sprite->GetY()) : 0;
    default:
        return record != nullptr ? record->c : 0;
    }
}

uint32_t PartBField(CScriptHostBase& host, size_t i, uint32_t field)
{
    CControl* control = g_ScriptPartsB.GetControl(i);
    const std::list<CControl*>& made = g_TextObjectList.GetControls();
    if (std::find(made.begin(), made.end(), control) == made.end())
        control = nullptr;
    const PartRecord* record = g_ScriptPartsB.GetRecord(i);
    switch (field) {
    case 0:
        return control != nullptr ? host.ObjectHandle(control) : 0;
    case 1:
        return control != nullptr ? static_cast<uint32_t>(control->GetX()) : 0;
    case 2:
        return control != nullptr ? static_cast<uint32_t>(control->GetY()) : 0;
    default:
        return record != nullptr ? record->c : 0;
    }
}

} // namespace

// Words: surface (its scene takes the sprites), file, priority, -, scene sub-list (byte),
// background with palette (byte).
uint32_t NativePartsALoad(SobNativeArgs& a)
{
    CScene* scene = GetSurfaceScene(At<CSurface>(a, 0));
    const char* name = NativeOptionalString(a, 1);
    const int32_t priority = a.I32(2);
    const bool subList = static_cast<uint8_t>(a.U32(4)) != 0, palette = static_cast<uint8_t>(a.U32(5)) != 0;
    if (a.Faulted())
        return 0;
    return static_cast<uint32_t>(g_ScriptPartsA.Load(g_pDisplay, scene, name, priority, subList, palette));
}

uint32_t NativePartsAClear(SobNativeArgs&)
{
    g_ScriptPartsA.Clear();
    return 0;
}

uint32_t NativePartsACount(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_ScriptPartsA.GetCount());
}

uint32_t NativePartsAPart(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    if (host == nullptr)
        return 0;
    return ReadPart(a, g_ScriptPartsA.GetCount(), 5,
                    [host](size_t i, uint32_t k) { return PartAField(*host, i, k); });
}

// Arrays: sprites, x, y, kinds.
uint32_t NativePartsARange(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    if (host == nullptr)
        return 0;
    return CopyRange(a, g_ScriptPartsA.GetCount(), 4,
                     [host](size_t i, uint32_t k) { return PartAField(*host, i, k + 1); });
}

// Words: file, first control id, the factory's argument, palette variant (byte).
uint32_t NativePartsBLoad(SobNativeArgs& a)
{
    const char* name = NativeOptionalString(a, 0);
    const int32_t firstId = a.I32(1), factory = a.I32(2);
    const bool palette = static_cast<uint8_t>(a.U32(3)) != 0;
    if (a.Faulted())
        return 0;
    return static_cast<uint32_t>(
        g_ScriptPartsB.Load(&g_TextObjectList, &g_MainForm, name, firstId, factory, palette, g_pDisplay));
}

uint32_t NativePartsBClear(SobNativeArgs&)
{
    g_ScriptPartsB.Clear();
    return 0;
}

uint32_t NativePartsBCount(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_ScriptPartsB.GetCount());
}

uint32_t NativePartsBPart(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    if (host == nullptr)
        return 0;
    return ReadPart(a, g_ScriptPartsB.GetCount(), 4,
                    [host](size_t i, uint32_t k) { return PartBField(*host, i, k); });
}

// Arrays: controls, x, y, kinds.
uint32_t NativePartsBRange(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    if (host == nullptr)
        return 0;
    return CopyRange(a, g_ScriptPartsB.GetCount(), 4,
                     [host](size_t i, uint32_t k) { return PartBField(*host, i, k); });
}

namespace {

// The KAG animation behind a task word while the object manager runs it, else null.
CKagAnimTask* ManagedKagAnim(CTimedTask* task)
{
    if (task == nullptr || g_pObjectManager == nullptr || !g_pObjectManager->Contains(task))
        return nullptr;
    return task->GetKind() == kKagAnimTaskKind ? dynamic_cast<CKagAnimTask*>(task) : nullptr;
}

} // namespace

uint32_t NativeKagGetValue(SobNativeArgs& a)
{
    CTimedTask* task = At<CTimedTask>(a, 0);
    if (a.Faulted())
        return 0;
    const CKagAnimTask* anim = ManagedKagAnim(task);
    return anim != nullptr ? static_cast<uint32_t>(anim->GetUserValue()) : 0;
}

uint32_t NativeKagSetValue(SobNativeArgs& a)
{
    const uint32_t word = a.U32(0);
    CTimedTask* task = At<CTimedTask>(a, 0);
    const uint32_t mustBeZero = a.U32(1);
    const int32_t value = a.I32(2);
    if (a.Faulted())
        return 0;
    if (word == 0)
        return static_cast<uint32_t>(-1);
    if (task == nullptr || g_pObjectManager == nullptr || !g_pObjectManager->Contains(task))
        return static_cast<uint32_t>(-2);
    CKagAnimTask* anim = ManagedKagAnim(task);
    if (anim == nullptr)
        return static_cast<uint32_t>(-3);
    if (mustBeZero != 0)
        return static_cast<uint32_t>(-4);
    anim->SetUserValue(value);
    return 0;
}

uint32_t NativeSheetImage(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    CCellSheet* sheet = At<CCellSheet>(a, 0);
    if (a.Faulted() || host == nullptr || sheet == nullptr || sheet->GetPicture() == nullptr)
        return 0;
    return host->ObjectHandle(sheet->GetPicture());
}

void ForgetOwnedListObject(const void* object)
{
    if (object == nullptr)
        return;
    std::vector<CCellSheet*> emptied;
    g_ScriptCellSheets.ForEach([&](CCellSheet* sheet) {
        const CImage* source = sheet->GetSource();
        const CImage* picture = sheet->GetPicture();
        if ((source != nullptr && static_cast<const void*>(static_cast<const CSurface*>(source)) == object) ||
            (picture != nullptr && static_cast<const void*>(static_cast<const CSurface*>(picture)) == object)) {
            emptied.push_back(sheet);
            return;
        }
        for (CDrawable* user : sheet->GetUsers()) {
            if (static_cast<const void*>(user) == object) {
                sheet->RemoveUser(user);
                break;
            }
        }
    });
    for (CCellSheet* sheet : emptied) {
        EndSheetUsers(sheet);
        sheet->Clear();
    }
    if (g_pObjectManager != nullptr) {
        for (const CanvasUser& user : CanvasUsers())
            if (user.canvas == object && g_pObjectManager->Contains(user.task))
                g_pObjectManager->Cancel(user.task);
    }
}
