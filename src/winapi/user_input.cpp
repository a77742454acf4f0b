// Input: host events turned into window messages, key state, focus and activation, the cursor,
// capture and the low-level keyboard hook.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "winapi/dialogs/controls.h"
#include "winapi/dinput.h"
#include "winapi/text.h"
#include "winapi/user_internal.h"

namespace winapi {

namespace {

constexpr DWORD kDoubleClickMs = 500;

// USB HID usage (SDL scancode) → virtual key, PC set-1 scan code and the extended-key bit.
struct KeyRow {
    int scancode;
    BYTE vk;
    BYTE scan;
    bool extended;
};

constexpr KeyRow kKeys[] = {
    {4, 'A', 0x1E, false},  {5, 'B', 0x30, false},  {6, 'C', 0x2E, false},  {7, 'D', 0x20, false},
    {8, 'E', 0x12, false},  {9, 'F', 0x21, false},  {10, 'G', 0x22, false}, {11, 'H', 0x23, false},
    {12, 'I', 0x17, false}, {13, 'J', 0x24, false}, {14, 'K', 0x25, false}, {15, 'L', 0x26, false},
    {16, 'M', 0x32, false}, {17, 'N', 0x31, false}, {18, 'O', 0x18, false}, {19, 'P', 0x19, false},
    {20, 'Q', 0x10, false}, {21, 'R', 0x13, false}, {22, 'S', 0x1F, false}, {23, 'T', 0x14, false},
    {24, 'U', 0x16, false}, {25, 'V', 0x2F, false}, {26, 'W', 0x11, false}, {27, 'X', 0x2D, false},
    {28, 'Y', 0x15, false}, {29, 'Z', 0x2C, false}, {30, '1', 0x02, false}, {31, '2', 0x03, false},
    {32, '3', 0x04, false}, {33, '4', 0x05, false}, {34, '5', 0x06, false}, {35, '6', 0x07, false},
    {36, '7', 0x08, false}, {37, '8', 0x09, false}, {38, '9', 0x0A, false}, {39, '0', 0x0B, false},
    {40, VK_RETURN, 0x1C, false},      {41, VK_ESCAPE, 0x01, false},     {42, VK_BACK, 0x0E, false},
    {43, VK_TAB, 0x0F, false},         {44, VK_SPACE, 0x39, false},      {45, VK_OEM_MINUS, 0x0C, false},
    {46, VK_OEM_PLUS, 0x0D, false},    {47, VK_OEM_4, 0x1A, false},      {48, VK_OEM_6, 0x1B, false},
    {49, VK_OEM_5, 0x2B, false},       {51, VK_OEM_1, 0x27, false},      {52, VK_OEM_7, 0x28, false},
    {53, VK_OEM_3, 0x29, false},       {54, VK_OEM_COMMA, 0x33, false},  {55, VK_OEM_PERIOD, 0x34, false},
    {56, VK_OEM_2, 0x35, false},       {57, VK_CAPITAL, 0x3A, false},    {58, VK_F1, 0x3B, false},
    {59, VK_F1 + 1, 0x3C, false},      {60, VK_F1 + 2, 0x3D, false},     {61, VK_F1 + 3, 0x3E, false},
    {62, VK_F1 + 4, 0x3F, false},      {63, VK_F1 + 5, 0x40, false},     {64, VK_F1 + 6, 0x41, false},
    {65, VK_F1 + 7, 0x42, false},      {66, VK_F1 + 8, 0x43, false},     {67, VK_F1 + 9, 0x44, false},
    {68, VK_F1 + 10, 0x57, false},     {69, VK_F1 + 11, 0x58, false},    {70, VK_SNAPSHOT, 0x37, true},
    {71, VK_SCROLL, 0x46, false},      {72, VK_PAUSE, 0x45, false},      {73, VK_INSERT, 0x52, true},
    {74, VK_HOME, 0x47, true},         {75, VK_PRIOR, 0x49, true},       {76, VK_DELETE, 0x53, true},
    {77, VK_END, 0x4F, true},          {78, VK_NEXT, 0x51, true},        {79, VK_RIGHT, 0x4D, true},
    {80, VK_LEFT, 0x4B, true},         {81, VK_DOWN, 0x50, true},        {82, VK_UP, 0x48, true},
    {83, VK_NUMLOCK, 0x45, true},      {84, VK_DIVIDE, 0x35, true},      {85, VK_MULTIPLY, 0x37, false},
    {86, VK_SUBTRACT, 0x4A, false},    {87, VK_ADD, 0x4E, false},        {88, VK_RETURN, 0x1C, true},
    {89, VK_NUMPAD0 + 1, 0x4F, false}, {90, VK_NUMPAD0 + 2, 0x50, false}, {91, VK_NUMPAD0 + 3, 0x51, false},
    {92, VK_NUMPAD0 + 4, 0x4B, false}, {93, VK_NUMPAD0 + 5, 0x4C, false}, {94, VK_NUMPAD0 + 6, 0x4D, false},
    {95, VK_NUMPAD0 + 7, 0x47, false}, {96, VK_NUMPAD0 + 8, 0x48, false}, {97, VK_NUMPAD0 + 9, 0x49, false},
    {98, VK_NUMPAD0, 0x52, false},     {99, VK_DECIMAL, 0x53, false},    {100, VK_OEM_102, 0x56, false},
    {101, VK_APPS, 0x5D, true},        {135, VK_OEM_102, 0x73, false},   {136, VK_KANA, 0x70, false},
    {137, VK_OEM_5, 0x7D, false},      {138, VK_CONVERT, 0x79, false},   {139, VK_NONCONVERT, 0x7B, false},
    {224, VK_LCONTROL, 0x1D, false},   {225, VK_LSHIFT, 0x2A, false},    {226, VK_LMENU, 0x38, false},
    {227, VK_LWIN, 0x5B, true},        {228, VK_RCONTROL, 0x1D, true},   {229, VK_RSHIFT, 0x36, false},
    {230, VK_RMENU, 0x38, true},       {231, VK_RWIN, 0x5C, true},
};

const KeyRow* FindKey(int scancode)
{
    for (const KeyRow& row : kKeys)
        if (row.scancode == scancode)
            return &row;
    return nullptr;
}

// Messages name the generic modifier keys; the state knows both sides.
int GenericKey(int vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

struct InputState {
    std::mutex mutex;
    BYTE async[256]{};          // 0x80 down, 0x01 pressed since last GetAsyncKeyState
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    POINT cursor{0, 0};
    int cursorCount = 0;
    HCURSOR cursorShape = nullptr;
    bool clipped = false;
    RECT clip{0, 0, 0, 0};
};

InputState& Input()
{
    static InputState* state = new InputState;
    return *state;
}

struct Hook {
    HHOOK handle;
    HOOKPROC proc;
};

std::atomic<bool> g_altAlone{false};

std::mutex g_hookMutex;
std::vector<Hook> g_hooks;  // newest first
uintptr_t g_nextHook = 0x30010;

bool IsDown(int vk)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    return (input.async[vk & 0xFF] & 0x80) != 0;
}

void SetAsync(int vk, bool down)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    BYTE& state = input.async[vk & 0xFF];
    if (down)
        state = 0x80 | 0x01;
    else
        state &= 0x01;
}

WPARAM MouseKeys()
{
    WPARAM keys = 0;
    if (IsDown(VK_LBUTTON))
        keys |= MK_LBUTTON;
    if (IsDown(VK_RBUTTON))
        keys |= MK_RBUTTON;
    if (IsDown(VK_MBUTTON))
        keys |= MK_MBUTTON;
    if (IsDown(VK_SHIFT))
        keys |= MK_SHIFT;
    if (IsDown(VK_CONTROL))
        keys |= MK_CONTROL;
    return keys;
}

// The window keyboard input of a top-level window goes to: its focus window when the focus
// lies inside it, else the window itself.
HWND KeyTarget(HWND hwnd)
{
    HWND focus;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        focus = input.focus;
    }
    for (HWND h = focus; h != nullptr; h = GetParent(h))
        if (h == hwnd)
            return focus;
    return hwnd;
}

// Clicks on a dialog go to the control under the pointer.
HWND MouseTarget(HWND hwnd, POINT* client)
{
    HWND capture;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        capture = input.capture;
    }
    if (capture != nullptr && capture != hwnd && IsWindow(capture)) {
        ClientToScreen(hwnd, client);
        ScreenToClient(capture, client);
        return capture;
    }
    if (dialogs::IsDialogWindow(hwnd))
        return dialogs::DialogMouseTarget(hwnd, client);
    return hwnd;
}

// A second left press on the same window, near the first and soon after, is a double click for
// classes that ask for them.
UINT LeftDownMessage(HWND target, POINT screen)
{
    struct LastDown {
        HWND hwnd = nullptr;
        DWORD time = 0;
        POINT point{0, 0};
    };
    static std::mutex mutex;
    static LastDown last;
    auto window = user::FindWindowRecord(target);
    const bool wants = window && window->cls && (window->cls->info.style & CS_DBLCLKS) != 0;
    const DWORD now = user::Now();
    std::lock_guard lock(mutex);
    const bool doubled = wants && last.hwnd == target && now - last.time <= kDoubleClickMs &&
                         std::abs(screen.x - last.point.x) <= 2 && std::abs(screen.y - last.point.y) <= 2;
    last = doubled ? LastDown{} : LastDown{target, now, screen};
    return doubled ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
}

POINT ToScreen(HWND hwnd, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(hwnd, &point);
    return point;
}

void SetCursorPoint(POINT point)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    input.cursor = point;
}

struct ActivateCall {
    HWND hwnd;
};

LRESULT ActivateOnOwner(void* context)
{
    user::Activate(static_cast<ActivateCall*>(context)->hwnd);
    return 0;
}

} // namespace

int VirtualKeyFromScancode(int scancode)
{
    const KeyRow* row = FindKey(scancode);
    return row != nullptr ? GenericKey(row->vk) : 0;
}

void HostKey(HWND hwnd, const HostKeyEvent& key)
{
    const KeyRow* row = FindKey(key.scancode);
    if (row == nullptr || !IsWindow(hwnd))
        return;
    const int vk = GenericKey(row->vk);
    const bool wasDown = IsDown(vk);
    const bool alt = IsDown(VK_MENU) || (vk == VK_MENU && key.down);
    const bool ctrl = IsDown(VK_CONTROL);
    // Keys with Alt (and F10 alone) are system keys; Ctrl+Alt is not.
    const bool system = (alt && !ctrl) || vk == VK_F10 || (vk == VK_MENU && !ctrl);
    const UINT message = key.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    KBDLLHOOKSTRUCT hook{};
    hook.vkCode = row->vk;
    hook.scanCode = row->scan;
    hook.flags = (row->extended ? LLKHF_EXTENDED : 0) | (alt ? LLKHF_ALTDOWN : 0) | (key.down ? 0 : LLKHF_UP);
    hook.time = user::Now();
    if (user::RunKeyboardHooks(message, hook))
        return;
    // Alt pressed and released with no other key between opens the menu (DefWindowProcA).
    if (vk == VK_MENU && key.down && !key.repeat)
        g_altAlone = true;
    else if (key.down && vk != VK_MENU)
        g_altAlone = false;
    SetAsync(row->vk, key.down);
    DinputKey(DikFromScan(row->scan, row->extended, row->vk), key.down);
    SetAsync(vk, key.down || (vk == VK_SHIFT && IsDown(row->vk == VK_LSHIFT ? VK_RSHIFT : VK_LSHIFT)));
    LPARAM lParam = 1 | (LPARAM{row->scan} << 16);
    if (row->extended)
        lParam |= LPARAM{1} << 24;
    if (alt && system)
        lParam |= LPARAM{1} << 29;
    if (wasDown || !key.down)
        lParam |= LPARAM{1} << 30;
    if (!key.down)
        lParam |= LPARAM{1} << 31;
    POINT cursor;
    GetCursorPos(&cursor);
    user::QueueInput(KeyTarget(hwnd), message, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<uint32_t>(lParam)), cursor);
}

void HostText(HWND hwnd, const std::string& utf8)
{
    if (!IsWindow(hwnd) || utf8.empty())
        return;
    HWND target = KeyTarget(hwnd);
    const std::string sjis = Utf8ToSjis(utf8);
    if (user::ImeTakesText(target, sjis))
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    for (char c : sjis)
        user::QueueInput(target, WM_CHAR, static_cast<unsigned char>(c), 1, cursor);
}

void HostComposition(HWND hwnd, const std::string& utf8, int cursor)
{
    HostComposition(hwnd, utf8, cursor, {}, 0);
}

void HostComposition(HWND hwnd, const std::string& utf8, int cursor, const std::vector<int>& clauseEnds,
                     int deltaStart)
{
    if (!IsWindow(hwnd))
        return;
    const std::string sjis = Utf8ToSjis(utf8);
    // Positions count characters; the IME reports them in bytes.
    auto bytesOf = [&sjis](int chars) {
        size_t i = 0;
        for (int n = 0; i < sjis.size() && n < chars; ++n)
            i += IsSjisLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
        return static_cast<int>(i);
    };
    std::vector<DWORD> ends;
    for (int end : clauseEnds)
        ends.push_back(static_cast<DWORD>(bytesOf(end)));
    user::ImeComposition(KeyTarget(hwnd), sjis, bytesOf(cursor), ends, bytesOf(deltaStart));
}

void HostMouseMove(HWND hwnd, int x, int y)
{
    if (!IsWindow(hwnd))
        return;
    const POINT screen = ToScreen(hwnd, x, y);
    SetCursorPoint(screen);
    DinputMouseMove(screen.x, screen.y);
    POINT client{x, y};
    HWND target = MouseTarget(hwnd, &client);
    if (target == nullptr)
        return;
    user::QueueInput(target, WM_MOUSEMOVE, MouseKeys(), MAKELONG(client.x, client.y), screen);
}

void HostMouseButton(HWND hwnd, int button, bool down, int x, int y)
{
    static const int kButtonKeys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    static const UINT kMessages[3][2] = {{WM_LBUTTONUP, WM_LBUTTONDOWN}, {WM_RBUTTONUP, WM_RBUTTONDOWN},
                                         {WM_MBUTTONUP, WM_MBUTTONDOWN}};
    if (button < 0 || button > 2 || !IsWindow(hwnd))
        return;
    SetAsync(kButtonKeys[button], down);
    DinputMouseButton(button, down);
    const POINT screen = ToScreen(hwnd, x, y);
    SetCursorPoint(screen);
    POINT client{x, y};
    HWND target = MouseTarget(hwnd, &client);
    if (target == nullptr)
        return;  // a disabled control takes no clicks
    UINT message = kMessages[button][down ? 1 : 0];
    if (message == WM_LBUTTONDOWN)
        message = LeftDownMessage(target, screen);
    user::QueueInput(target, message, MouseKeys(), MAKELONG(client.x, client.y), screen);
}

void HostMouseWheel(HWND hwnd, int delta, int x, int y)
{
    if (!IsWindow(hwnd))
        return;
    const POINT screen = ToScreen(hwnd, x, y);
    const WPARAM wParam = (static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(delta))) << 16) | MouseKeys();
    DinputMouseWheel(delta);
    user::QueueInput(KeyTarget(hwnd), WM_MOUSEWHEEL, wParam, MAKELONG(screen.x, screen.y), screen);
}

void HostCloseRequest(HWND hwnd)
{
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

namespace {

LRESULT EndSessionOnOwner(void* context)
{
    HWND hwnd = *static_cast<HWND*>(context);
    const LRESULT allowed = SendMessageA(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
    SendMessageA(hwnd, WM_ENDSESSION, allowed != 0 ? TRUE : FALSE, ENDSESSION_CLOSEAPP);
    if (allowed != 0 && IsWindow(hwnd))
        DestroyWindow(hwnd);
    return allowed;
}

} // namespace

bool HostEndSession()
{
    bool any = false;
    for (auto& window : user::AllWindows()) {
        if (!user::IsTopLevel(*window) || window->hwnd == GetDesktopWindow() || !IsWindow(window->hwnd))
            continue;
        any = true;
        HWND hwnd = window->hwnd;
        user::RunOnOwner(hwnd, EndSessionOnOwner, &hwnd);
    }
    return any;
}

void HostFocus(HWND hwnd, bool gained)
{
    if (!IsWindow(hwnd))
        return;
    if (gained) {
        // A window disabled by its modal dialog hands the activation to that dialog.
        if (!IsWindowEnabled(hwnd))
            for (const auto& window : user::AllWindows())
                if (GetWindow(window->hwnd, GW_OWNER) == hwnd && IsWindowVisible(window->hwnd) &&
                    IsWindowEnabled(window->hwnd))
                    hwnd = window->hwnd;
        ActivateCall call{hwnd};
        user::RunOnOwner(hwnd, ActivateOnOwner, &call);
    } else if (GetActiveWindow() == hwnd) {
        ActivateCall call{nullptr};
        user::RunOnOwner(hwnd, ActivateOnOwner, &call);
    }
    // Keys held while the focus left would stay down for ever.
    if (!gained) {
        DinputFocusLost();
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        std::memset(input.async, 0, sizeof(input.async));
    }
}

void HostMinimized(HWND hwnd, bool minimized)
{
    if (IsIconic(hwnd) != (minimized ? TRUE : FALSE))
        PostMessageA(hwnd, WM_SYSCOMMAND, minimized ? SC_MINIMIZE : SC_RESTORE, 0);
}

void HostExposed(HWND hwnd)
{
    auto window = user::FindWindowRecord(hwnd);
    if (!window)
        return;
    window->store->MarkDirty();
    user::RequestPresent(*window->queue);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void HostDisplaysChanged()
{
    auto displays = CurrentHost().Displays();
    if (displays.empty())
        return;
    const DisplayInfo primary = displays.front();
    SetDisplays(std::move(displays));
    const int width = primary.bounds.right - primary.bounds.left;
    const int height = primary.bounds.bottom - primary.bounds.top;
    for (auto& window : user::AllWindows())
        if (user::IsTopLevel(*window))
            SendNotifyMessageA(window->hwnd, WM_DISPLAYCHANGE, static_cast<WPARAM>(primary.bitsPerPixel),
                               MAKELONG(width, height));
    user::UpdateHostWindows();
}

namespace user {

void HoldKey(int virtualKey, bool down)
{
    SetAsync(virtualKey, down);
    BYTE& state = CurrentQueue()->keyState[virtualKey & 0xFF];
    state = static_cast<BYTE>(down ? (state | 0x80) : (state & 0x01));
}

void UpdateKeyStateFromMessage(ThreadQueue& queue, const MSG& msg)
{
    auto set = [&](int vk, bool down) {
        BYTE& state = queue.keyState[vk & 0xFF];
        if (down && !(state & 0x80))
            state ^= 0x01;  // toggled on every press
        state = static_cast<BYTE>(down ? (state | 0x80) : (state & 0x01));
    };
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        set(static_cast<int>(msg.wParam), true);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        set(static_cast<int>(msg.wParam), false);
        break;
    case WM_LBUTTONDOWN: set(VK_LBUTTON, true); break;
    case WM_LBUTTONUP: set(VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: set(VK_RBUTTON, true); break;
    case WM_RBUTTONUP: set(VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: set(VK_MBUTTON, true); break;
    case WM_MBUTTONUP: set(VK_MBUTTON, false); break;
    default: break;
    }
}

void Activate(HWND hwnd)
{
    HWND old, oldFocus;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        old = input.active;
        oldFocus = input.focus;
        if (old == hwnd)
            return;
        input.active = hwnd;
        if (oldFocus != nullptr && oldFocus != hwnd)
            input.focus = nullptr;
    }
    std::vector<HWND> topLevel;
    for (auto& window : AllWindows())
        if (IsTopLevel(*window))
            topLevel.push_back(window->hwnd);
    if (old != nullptr && IsWindow(old)) {
        SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
        // Notified, not waited for: a window of a thread that is not pumping must not stall this one.
        if (hwnd == nullptr)
            for (HWND h : topLevel)
                SendNotifyMessageA(h, WM_ACTIVATEAPP, FALSE, 0);
        if (oldFocus != nullptr && oldFocus != hwnd && IsWindow(oldFocus))
            SendMessageA(oldFocus, WM_KILLFOCUS, 0, 0);
    }
    if (hwnd != nullptr) {
        if (old == nullptr || !IsWindow(old))
            for (HWND h : topLevel)
                SendNotifyMessageA(h, WM_ACTIVATEAPP, TRUE, 0);
        SendMessageA(hwnd, WM_NCACTIVATE, TRUE, 0);
        SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    }
}

void ForgetWindowInput(HWND hwnd)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    if (input.active == hwnd)
        input.active = nullptr;
    if (input.focus == hwnd)
        input.focus = nullptr;
    if (input.capture == hwnd)
        input.capture = nullptr;
}

bool AltPressedAlone()
{
    return g_altAlone.load();
}

bool RunKeyboardHooks(WPARAM message, const KBDLLHOOKSTRUCT& info)
{
    HOOKPROC first = nullptr;
    {
        std::lock_guard lock(g_hookMutex);
        if (!g_hooks.empty())
            first = g_hooks.front().proc;
    }
    if (first == nullptr)
        return false;
    KBDLLHOOKSTRUCT copy = info;
    return first(HC_ACTION, message, reinterpret_cast<LPARAM>(&copy)) != 0;
}

} // namespace user

} // namespace winapi

using namespace winapi;

SHORT WINAPI GetKeyState(int virtualKey)
{
    const BYTE state = user::CurrentQueue()->keyState[virtualKey & 0xFF];
    return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

SHORT WINAPI GetAsyncKeyState(int virtualKey)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    BYTE& state = input.async[virtualKey & 0xFF];
    const SHORT result = static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
    state &= 0x80;
    return result;
}

BOOL WINAPI GetKeyboardState(BYTE* state)
{
    if (state == nullptr)
        return FALSE;
    std::memcpy(state, user::CurrentQueue()->keyState, 256);
    return TRUE;
}

UINT WINAPI MapVirtualKeyA(UINT code, UINT mapType)
{
    for (const KeyRow& row : kKeys) {
        if (mapType == 0 && (row.vk == code || GenericKey(row.vk) == static_cast<int>(code)))
            return row.scan;
        if (mapType == 1 && row.scan == code && !row.extended)
            return static_cast<UINT>(GenericKey(row.vk));
    }
    return 0;
}

HWND WINAPI SetFocus(HWND hwnd)
{
    if (hwnd != nullptr && !IsWindow(hwnd))
        return nullptr;
    // The focus window's top-level window becomes the active one.
    HWND top = hwnd;
    while (top != nullptr && (GetWindowLongPtrA(top, GWL_STYLE) & WS_CHILD))
        top = GetParent(top);
    if (top != nullptr && GetActiveWindow() != top)
        user::Activate(top);
    HWND old;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        old = input.focus;
        if (old == hwnd)
            return old;
        input.focus = hwnd;
    }
    if (old != nullptr && IsWindow(old))
        SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd != nullptr)
        SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetFocus()
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    return input.focus;
}

HWND WINAPI SetActiveWindow(HWND hwnd)
{
    HWND old = GetActiveWindow();
    if (hwnd != nullptr && !IsWindow(hwnd))
        return nullptr;
    user::Activate(hwnd);
    return old;
}

HWND WINAPI GetActiveWindow()
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    return input.active;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return FALSE;
    ActivateCall call{hwnd};
    user::RunOnOwner(hwnd, ActivateOnOwner, &call);
    return TRUE;
}

HWND WINAPI GetForegroundWindow()
{
    return GetActiveWindow();
}

HWND WINAPI SetCapture(HWND hwnd)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    HWND old = input.capture;
    input.capture = hwnd;
    return old;
}

BOOL WINAPI ReleaseCapture()
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    input.capture = nullptr;
    return TRUE;
}

HWND WINAPI GetCapture()
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    return input.capture;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor)
{
    HCURSOR old;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        old = input.cursorShape;
        if (old == cursor)
            return old;
        input.cursorShape = cursor;
    }
    user::ShowCursorShape(cursor);
    return old;
}

HCURSOR WINAPI GetCursor()
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    return input.cursorShape;
}

int WINAPI ShowCursor(BOOL show)
{
    int count;
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        input.cursorCount += show ? 1 : -1;
        count = input.cursorCount;
    }
    CurrentHost().SetCursorVisible(count >= 0);
    return count;
}

BOOL WINAPI SetCursorPos(int x, int y)
{
    POINT point{x, y};
    {
        auto& input = Input();
        std::lock_guard lock(input.mutex);
        if (input.clipped) {
            point.x = std::clamp<LONG>(point.x, input.clip.left, std::max(input.clip.left, input.clip.right - 1));
            point.y = std::clamp<LONG>(point.y, input.clip.top, std::max(input.clip.top, input.clip.bottom - 1));
        }
        input.cursor = point;
    }
    // The host moves its pointer inside the window that holds the point, if any.
    for (auto& window : user::AllWindows()) {
        if (!window->hostWindow || !user::IsVisibleStyle(*window))
            continue;
        const RECT client = user::ClientRectOnScreen(*window);
        if (point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom) {
            CurrentHost().WarpCursor(window->hwnd, point.x - client.left, point.y - client.top);
            break;
        }
    }
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT point)
{
    if (point == nullptr)
        return FALSE;
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    *point = input.cursor;
    return TRUE;
}

BOOL WINAPI ClipCursor(const RECT* rect)
{
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    input.clipped = rect != nullptr;
    if (rect != nullptr)
        input.clip = *rect;
    return TRUE;
}

BOOL WINAPI GetClipCursor(LPRECT rect)
{
    if (rect == nullptr)
        return FALSE;
    auto& input = Input();
    std::lock_guard lock(input.mutex);
    if (input.clipped)
        *rect = input.clip;
    else {
        const RECT desktop{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        *rect = desktop;
    }
    return TRUE;
}

HHOOK WINAPI SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE, DWORD)
{
    if (kind != WH_KEYBOARD_LL || proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard lock(g_hookMutex);
    HHOOK handle = reinterpret_cast<HHOOK>(g_nextHook);
    g_nextHook += 4;
    g_hooks.insert(g_hooks.begin(), Hook{handle, proc});
    // A low-level hook wants the system keys: the host grabs the keyboard while one is installed.
    winapi::CurrentHost().SetKeyboardGrab(GetActiveWindow(), true);
    return handle;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook)
{
    std::lock_guard lock(g_hookMutex);
    const auto before = g_hooks.size();
    std::erase_if(g_hooks, [hook](const Hook& h) { return h.handle == hook; });
    if (g_hooks.empty() && before != 0)
        winapi::CurrentHost().SetKeyboardGrab(GetActiveWindow(), false);
    return g_hooks.size() != before;
}

LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam)
{
    HOOKPROC next = nullptr;
    {
        std::lock_guard lock(g_hookMutex);
        auto it = std::find_if(g_hooks.begin(), g_hooks.end(), [hook](const Hook& h) { return h.handle == hook; });
        if (it != g_hooks.end() && it + 1 != g_hooks.end())
            next = (it + 1)->proc;
    }
    return next != nullptr ? next(code, wParam, lParam) : 0;
}

BOOL WINAPI TranslateMessage(const MSG* msg)
{
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    // Printable characters come from the host's text input; the keys below give none there.
    WPARAM ch = 0;
    switch (msg->wParam) {
    case VK_RETURN: ch = '\r'; break;
    case VK_BACK: ch = 8; break;
    case VK_TAB: ch = '\t'; break;
    case VK_ESCAPE: ch = 27; break;
    default:
        if (msg->wParam >= 'A' && msg->wParam <= 'Z' && (GetKeyState(VK_CONTROL) & 0x8000) &&
            !(GetKeyState(VK_MENU) & 0x8000))
            ch = msg->wParam - 'A' + 1;
        break;
    }
    if (ch == 0 || msg->message == WM_SYSKEYDOWN)
        return msg->message == WM_SYSKEYDOWN;
    return PostMessageA(msg->hwnd, WM_CHAR, ch, msg->lParam);
}
