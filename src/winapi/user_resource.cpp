// Resources from the compiled-in table: icons, cursors, accelerators, menus; and message boxes.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "winapi/gdi_pixels.h"
#include "winapi/text.h"
#include "winapi/user_internal.h"

namespace winapi {

namespace {

struct IconObject {
    WORD id = 0;
    int standardId = 0;  // a host cursor / system icon, no pixels
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
};

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU popup = nullptr;
};

struct MenuObject {
    std::vector<MenuItem> items;
};

struct ResourceState {
    std::mutex mutex;
    std::vector<ResourceRow> rows;
    std::map<uintptr_t, IconObject> icons;   // icons and cursors
    std::map<std::pair<int, WORD>, uintptr_t> loaded;  // (kind, id) → handle
    std::map<uintptr_t, std::vector<ACCEL>> accelerators;
    std::map<uintptr_t, MenuObject> menus;
    std::map<HWND, HMENU> systemMenus;
    uintptr_t nextHandle = 0x40010;
};

ResourceState& State()
{
    static ResourceState* state = new ResourceState;
    return *state;
}

uintptr_t NewHandle(ResourceState& state)
{
    const uintptr_t handle = state.nextHandle;
    state.nextHandle += 4;
    return handle;
}

const ResourceRow* FindRowLocked(ResourceState& state, ResourceKind kind, LPCSTR name)
{
    if (name == nullptr || !IS_INTRESOURCE(name))
        return nullptr;  // the table is by id only
    const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    for (auto it = state.rows.rbegin(); it != state.rows.rend(); ++it)
        if (it->kind == kind && it->id == id)
            return &*it;
    return nullptr;
}

uintptr_t LoadIconLike(HINSTANCE instance, LPCSTR name, ResourceKind kind)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (name == nullptr || !IS_INTRESOURCE(name))
        return 0;
    const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    const int kindKey = instance == nullptr ? 100 + static_cast<int>(kind) : static_cast<int>(kind);
    if (auto it = state.loaded.find({kindKey, id}); it != state.loaded.end())
        return it->second;
    IconObject icon;
    icon.id = id;
    if (instance == nullptr) {
        // The system's own icons and cursors: the standard ids only.
        if (id < 32512 || id > 32651)
            return 0;
        icon.standardId = id;
    } else {
        const ResourceRow* row = FindRowLocked(state, kind, name);
        if (row == nullptr)
            return 0;
        icon.pixels = row->pixels;
        icon.width = row->width;
        icon.height = row->height;
        icon.hotX = row->hotX;
        icon.hotY = row->hotY;
    }
    const uintptr_t handle = NewHandle(state);
    state.icons[handle] = icon;
    state.loaded[{kindKey, id}] = handle;
    return handle;
}

HMENU BuildMenuLocked(ResourceState& state, const MenuItemResource* items, int first, int count, int total, int depth)
{
    const uintptr_t handle = NewHandle(state);
    MenuObject menu;
    for (int i = first; i < first + count && i < total; ++i) {
        const MenuItemResource& item = items[i];
        MenuItem made;
        made.flags = item.flags;
        made.text = item.text != nullptr ? item.text : "";
        made.id = item.id;
        // Sub-menus point into the same list; the depth limit stops a list that loops.
        if ((item.flags & MF_POPUP) && depth < 8 && item.id < static_cast<UINT>(total) && item.popupCount > 0) {
            made.popup = BuildMenuLocked(state, items, static_cast<int>(item.id), item.popupCount, total, depth + 1);
            made.id = reinterpret_cast<UINT_PTR>(made.popup);
        }
        menu.items.push_back(made);
    }
    state.menus[handle] = std::move(menu);
    return reinterpret_cast<HMENU>(handle);
}

HMENU DefaultSystemMenuLocked(ResourceState& state)
{
    const uintptr_t handle = NewHandle(state);
    MenuObject menu;
    const UINT commands[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    for (UINT command : commands) {
        MenuItem item;
        item.flags = command == 0 ? MF_SEPARATOR : MF_STRING;
        item.id = command;
        menu.items.push_back(item);
    }
    state.menus[handle] = std::move(menu);
    return reinterpret_cast<HMENU>(handle);
}

void DestroyMenuLocked(ResourceState& state, HMENU menu)
{
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == state.menus.end())
        return;
    std::vector<HMENU> popups;
    for (const MenuItem& item : it->second.items)
        if (item.popup != nullptr)
            popups.push_back(item.popup);
    state.menus.erase(it);
    for (HMENU popup : popups)
        DestroyMenuLocked(state, popup);
}

// Whether `target` is `from` or one of its sub-menus, at any depth.
bool MenuReachesLocked(ResourceState& state, HMENU from, HMENU target)
{
    std::vector<HMENU> pending{from};
    std::set<HMENU> seen;
    while (!pending.empty()) {
        HMENU menu = pending.back();
        pending.pop_back();
        if (menu == target)
            return true;
        if (!seen.insert(menu).second)
            continue;
        auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
        if (it == state.menus.end())
            continue;
        for (const MenuItem& item : it->second.items)
            if (item.popup != nullptr)
                pending.push_back(item.popup);
    }
    return false;
}

// The item of a menu by command (searching sub-menus) or by position.
MenuItem* FindItemLocked(ResourceState& state, HMENU menu, UINT item, UINT flags, MenuObject** owner, size_t* index)
{
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == state.menus.end())
        return nullptr;
    auto& items = it->second.items;
    if (flags & MF_BYPOSITION) {
        if (item >= items.size())
            return nullptr;
        *owner = &it->second;
        *index = item;
        return &items[item];
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].popup == nullptr && items[i].id == item && !(items[i].flags & MF_SEPARATOR)) {
            *owner = &it->second;
            *index = i;
            return &items[i];
        }
        if (items[i].popup != nullptr)
            if (MenuItem* found = FindItemLocked(state, items[i].popup, item, flags, owner, index))
                return found;
    }
    return nullptr;
}

} // namespace

void RegisterResources(const ResourceRow* rows, size_t count)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    for (size_t i = 0; i < count; ++i)
        state.rows.push_back(rows[i]);
}

const DialogResource* FindDialogResource(LPCSTR name)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    const ResourceRow* row = FindRowLocked(state, ResourceKind::Dialog, name);
    return row != nullptr ? row->dialog : nullptr;
}

namespace user {

HCURSOR ClassCursor(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    return window && window->cls ? window->cls->info.hCursor : nullptr;
}

void ShowCursorShape(HCURSOR cursor)
{
    IconObject icon;
    bool found = false;
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        auto it = state.icons.find(reinterpret_cast<uintptr_t>(cursor));
        if (it != state.icons.end()) {
            icon = it->second;
            found = true;
        }
    }
    if (!found)
        CurrentHost().SetCursorShape(nullptr, 0, 0, 0, 0, 0);
    else
        CurrentHost().SetCursorShape(icon.pixels, icon.width, icon.height, icon.hotX, icon.hotY, icon.standardId);
}

} // namespace user

} // namespace winapi

using namespace winapi;

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HICON>(LoadIconLike(instance, name, ResourceKind::Icon));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HCURSOR>(LoadIconLike(instance, name, ResourceKind::Cursor));
}

BOOL WINAPI DestroyIcon(HICON icon)
{
    // Icons from the table are shared: destroying one is a no-op, as for Win32's shared icons.
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return state.icons.count(reinterpret_cast<uintptr_t>(icon)) != 0;
}

BOOL WINAPI DestroyCursor(HCURSOR cursor)
{
    return DestroyIcon(cursor);
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE, LPCSTR name)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    const ResourceRow* row = FindRowLocked(state, ResourceKind::Accelerators, name);
    if (row == nullptr || row->accelerators == nullptr || row->acceleratorCount < 1)
        return nullptr;
    const uintptr_t handle = NewHandle(state);
    state.accelerators[handle].assign(row->accelerators, row->accelerators + row->acceleratorCount);
    return reinterpret_cast<HACCEL>(handle);
}

HACCEL WINAPI CreateAcceleratorTableA(const ACCEL* entries, int count)
{
    if (entries == nullptr || count < 1)
        return nullptr;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    const uintptr_t handle = NewHandle(state);
    state.accelerators[handle].assign(entries, entries + count);
    return reinterpret_cast<HACCEL>(handle);
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL table)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return state.accelerators.erase(reinterpret_cast<uintptr_t>(table)) != 0;
}

int WINAPI TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg)
{
    if (msg == nullptr || !IsWindow(hwnd))
        return 0;
    const bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    const bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!keyDown && !character)
        return 0;
    std::vector<ACCEL> entries;
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        auto it = state.accelerators.find(reinterpret_cast<uintptr_t>(table));
        if (it == state.accelerators.end())
            return 0;
        entries = it->second;
    }
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    for (const ACCEL& entry : entries) {
        bool match;
        if (entry.fVirt & FVIRTKEY)
            match = keyDown && entry.key == msg->wParam && ((entry.fVirt & FSHIFT) != 0) == shift &&
                    ((entry.fVirt & FCONTROL) != 0) == control && ((entry.fVirt & FALT) != 0) == alt;
        else
            match = character && entry.key == msg->wParam;
        if (match) {
            SendMessageA(hwnd, WM_COMMAND, MAKELONG(entry.cmd, 1), 0);
            return 1;
        }
    }
    return 0;
}

HMENU WINAPI CreateMenu()
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    const uintptr_t handle = NewHandle(state);
    state.menus[handle] = MenuObject{};
    return reinterpret_cast<HMENU>(handle);
}

HMENU WINAPI CreatePopupMenu()
{
    return CreateMenu();
}

HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR name)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    const ResourceRow* row = FindRowLocked(state, ResourceKind::Menu, name);
    if (row == nullptr || row->menu == nullptr || row->menuCount < 1)
        return nullptr;
    const int total = std::max(row->menuTotal, row->menuCount);
    return BuildMenuLocked(state, row->menu, 0, row->menuCount, total, 0);
}

BOOL WINAPI DestroyMenu(HMENU menu)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (state.menus.count(reinterpret_cast<uintptr_t>(menu)) == 0)
        return FALSE;
    DestroyMenuLocked(state, menu);
    return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == state.menus.end())
        return FALSE;
    MenuItem item;
    item.flags = flags;
    item.id = id;
    if (!(flags & MF_SEPARATOR) && text != nullptr)
        item.text = text;
    if (flags & MF_POPUP) {
        item.popup = reinterpret_cast<HMENU>(id);
        // A menu inside itself would make every search through it endless.
        if (MenuReachesLocked(state, item.popup, menu)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    it->second.items.push_back(item);
    return TRUE;
}

namespace {

// Takes an item out of its menu; a deleted item's sub-menu is destroyed with it, a removed one's
// is kept for the caller.
BOOL TakeMenuItem(HMENU menu, UINT position, UINT flags, bool destroyPopup)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    MenuObject* owner = nullptr;
    size_t index = 0;
    MenuItem* item = FindItemLocked(state, menu, position, flags, &owner, &index);
    if (item == nullptr)
        return FALSE;
    HMENU popup = item->popup;
    owner->items.erase(owner->items.begin() + static_cast<std::ptrdiff_t>(index));
    if (destroyPopup && popup != nullptr)
        DestroyMenuLocked(state, popup);
    return TRUE;
}

} // namespace

BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags)
{
    return TakeMenuItem(menu, position, flags, true);
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags)
{
    return TakeMenuItem(menu, position, flags, false);
}

int WINAPI GetMenuItemCount(HMENU menu)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    return it == state.menus.end() ? -1 : static_cast<int>(it->second.items.size());
}

UINT WINAPI GetMenuItemID(HMENU menu, int position)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == state.menus.end() || position < 0 || static_cast<size_t>(position) >= it->second.items.size())
        return 0xFFFFFFFFu;
    const MenuItem& item = it->second.items[static_cast<size_t>(position)];
    return item.popup != nullptr ? 0xFFFFFFFFu : static_cast<UINT>(item.id);
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    MenuObject* owner = nullptr;
    size_t index = 0;
    MenuItem* found = FindItemLocked(state, menu, item, check & MF_BYPOSITION, &owner, &index);
    if (found == nullptr)
        return 0xFFFFFFFFu;
    const DWORD previous = found->flags & MF_CHECKED;
    found->flags = (found->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    return previous;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT enable)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    MenuObject* owner = nullptr;
    size_t index = 0;
    MenuItem* found = FindItemLocked(state, menu, item, enable & MF_BYPOSITION, &owner, &index);
    if (found == nullptr)
        return -1;
    const BOOL previous = static_cast<BOOL>(found->flags & (MF_GRAYED | MF_DISABLED));
    found->flags = (found->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    MenuObject* owner = nullptr;
    size_t index = 0;
    const MenuItem* found = FindItemLocked(state, menu, item, flags & MF_BYPOSITION, &owner, &index);
    return found != nullptr ? found->flags : 0xFFFFFFFFu;
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int max, UINT flags)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    MenuObject* owner = nullptr;
    size_t index = 0;
    const MenuItem* found = FindItemLocked(state, menu, item, flags & MF_BYPOSITION, &owner, &index);
    if (found == nullptr)
        return 0;
    const int length = static_cast<int>(found->text.size());
    if (buffer == nullptr || max <= 0)
        return length;
    const int copied = std::min(length, max - 1);
    std::memcpy(buffer, found->text.data(), static_cast<size_t>(copied));
    buffer[copied] = 0;
    return copied;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == state.menus.end() || position < 0 || static_cast<size_t>(position) >= it->second.items.size())
        return nullptr;
    return it->second.items[static_cast<size_t>(position)].popup;
}

namespace {

struct SetMenuCall {
    HWND hwnd;
    HMENU menu;
};

LRESULT SetMenuOnOwner(void* context)
{
    const auto& call = *static_cast<SetMenuCall*>(context);
    auto window = user::FindWindowRecord(call.hwnd);
    if (!window || (window->style & WS_CHILD))
        return FALSE;
    {
        std::lock_guard lock(user::WindowLock());
        window->menu = call.menu;
    }
    // The menu bar takes its height from the client area.
    RECT rect;
    GetWindowRect(call.hwnd, &rect);
    SetWindowPos(call.hwnd, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

} // namespace

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu)
{
    if (menu != nullptr) {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        if (state.menus.count(reinterpret_cast<uintptr_t>(menu)) == 0)
            return FALSE;
    }
    SetMenuCall call{hwnd, menu};
    return static_cast<BOOL>(user::RunOnOwner(hwnd, SetMenuOnOwner, &call));
}

HMENU WINAPI GetMenu(HWND hwnd)
{
    auto window = user::FindWindowRecord(hwnd);
    if (!window)
        return nullptr;
    std::lock_guard lock(user::WindowLock());
    return window->menu;
}

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert)
{
    if (!IsWindow(hwnd))
        return nullptr;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.systemMenus.find(hwnd);
    if (revert) {
        if (it != state.systemMenus.end()) {
            DestroyMenuLocked(state, it->second);
            state.systemMenus.erase(it);
        }
        return nullptr;
    }
    if (it != state.systemMenus.end())
        return it->second;
    HMENU menu = DefaultSystemMenuLocked(state);
    state.systemMenus[hwnd] = menu;
    return menu;
}

BOOL WINAPI DrawMenuBar(HWND hwnd)
{
    return IsWindow(hwnd);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const std::string utf8Text = SjisToUtf8(text != nullptr ? text : "");
    const std::string utf8Caption = SjisToUtf8(caption != nullptr ? caption : "Error");
    // The owner takes no input while its box is up.
    const bool disable = owner != nullptr && owner != GetDesktopWindow() && IsWindow(owner);
    const BOOL wasDisabled = disable ? EnableWindow(owner, FALSE) : TRUE;
    const int answer = CurrentHost().MessageBox(utf8Text, utf8Caption, type);
    if (disable && !wasDisabled)
        EnableWindow(owner, TRUE);
    return answer;
}

BOOL WINAPI DrawIconEx(HDC hdc, int x, int y, HICON icon, int, int, UINT, HBRUSH, UINT)
{
    IconObject picture;
    {
        auto& state = winapi::State();
        std::lock_guard lock(state.mutex);
        auto it = state.icons.find(reinterpret_cast<uintptr_t>(icon));
        if (it == state.icons.end() || it->second.pixels == nullptr)
            return FALSE;
        picture = it->second;
    }
    winapi::DcPixelAccess access(hdc);
    if (!access.Ok())
        return FALSE;
    const winapi::PixelView& view = access.View();
    RECT changed{x, y, x, y};
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            const int px = x + column, py = y + row;
            const uint32_t src = picture.pixels[static_cast<size_t>(row) * picture.width + column];
            const uint32_t alpha = src >> 24;
            if (alpha == 0 || px < 0 || py < 0 || px >= view.width || py >= view.height)
                continue;
            const uint32_t dst = winapi::ReadPixel(view, px, py);
            uint32_t mixed = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
                mixed |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
            }
            winapi::FillPixels(view, RECT{px, py, px + 1, py + 1}, mixed);
            changed = RECT{std::min<LONG>(changed.left, px), std::min<LONG>(changed.top, py),
                           std::max<LONG>(changed.right, px + 1), std::max<LONG>(changed.bottom, py + 1)};
        }
    }
    access.MarkChanged(changed);
    return TRUE;
}
