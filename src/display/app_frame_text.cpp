// CAppFrame: text entry for the game's text controls, the IME switch, cursor tracking against the
// game picture and the low-level keyboard hook of full screen.
#include "display/app_frame.h"

#include <cstring>

#include "winapi/imm.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

// When the cursor started resting on the top edge in full screen (0: not resting).
DWORD g_hoverStart = 0;

} // namespace

uint32_t CAppFrame::AttachTextInput(HWND window)
{
    // The IME switch runs on the UI thread, whose handlers take the text-input lock: both sends
    // are made outside it. Switching on comes first, so that the context attached is the live one.
    if (window != nullptr && !m_imeEnabled)
        SendMessageA(window, WM_FRAME_IME, 1, 0);
    HWND switchOff = nullptr;
    {
        CScopedLock lock(m_textLock);
        if (m_savedProc != nullptr) {
            if (m_textWindow != nullptr && IsWindow(m_textWindow))
                SetWindowLongPtrA(m_textWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_savedProc));
            m_savedProc = nullptr;
        }
        if (window != nullptr) {
            m_ime.Attach(window);
            m_textWindow = window;
            m_savedProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&CAppFrame::TextInputSubclassProc)));
        } else if (m_textWindow != nullptr) {
            if (m_imeEnabled)
                switchOff = m_textWindow;
            m_ime.Attach(nullptr);
            m_textWindow = nullptr;
        }
        m_pendingKey = 0;
        m_textCount = 0;
        m_delivered = 0;
        m_leadPending = false;
    }
    if (switchOff != nullptr && IsWindow(switchOff))
        SendMessageA(switchOff, WM_FRAME_IME, 0, 0);
    return 0;
}

LRESULT CALLBACK CAppFrame::TextInputSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CAppFrame* frame = g_pAppFrame;
    if (frame == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    LRESULT result = frame->OnTextInputMessage(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY)
        frame->AttachTextInput(nullptr);
    return result;
}

LRESULT CAppFrame::OnTextInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC next = nullptr;
    {
        CScopedLock lock(m_textLock);
        if (message == WM_KEYDOWN) {
            m_pendingKey = static_cast<int>(wParam);
        } else if (message == WM_CHAR) {
            if (m_delivered != 0)
                m_textCount = m_delivered = 0;
            const auto byte = static_cast<unsigned char>(wParam);
            if (m_textCount < 32) {
                if (m_leadPending)
                    m_leadPending = false;
                else
                    m_leadPending = winapi::IsSjisLeadByte(byte);
                m_text[m_textCount++] = static_cast<char>(byte);
            } else if (m_leadPending) {
                // A full buffer drops the byte, and the lead byte left at its end with it, so that
                // no half character is ever delivered.
                --m_textCount;
                m_leadPending = false;
            }
        } else if (message == WM_FRAME_IMEOPEN) {
            m_ime.SetOpen(wParam != 0);
        }
        next = window == m_textWindow ? m_savedProc : nullptr;
    }
    if (next != nullptr)
        return CallWindowProcA(next, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

uint8_t CAppFrame::DeliverTextInput(ITextInputTarget* control)
{
    if (control == nullptr)
        return 0;
    int key = 0;
    char text[32];
    int count = 0;
    {
        // The key is taken under the lock: the UI thread writes it.
        CScopedLock lock(m_textLock);
        key = m_pendingKey;
        m_pendingKey = 0;
        if (key == 0 && m_delivered == 0 && m_textCount != 0 && !m_leadPending) {
            count = m_textCount;
            std::memcpy(text, m_text, static_cast<size_t>(count));
            m_delivered = count;
        }
    }
    if (key != 0)
        return control->OnKeyDown(key);
    if (count != 0)
        return control->OnTextInput(text, count);
    return 0;
}

uint32_t CAppFrame::EnableIme(bool on)
{
    static const HMODULE imm = LoadLibraryA("imm32.dll");
    using AssociateEx = BOOL(WINAPI*)(HWND, HIMC, DWORD);
    auto associate =
        imm != nullptr ? reinterpret_cast<AssociateEx>(GetProcAddress(imm, "ImmAssociateContextEx")) : nullptr;
    if (associate == nullptr)
        return 1;
    HWND hwnd = m_mainWindow.GetHwnd();
    if (on && !m_imeEnabled) {
        BOOL done = associate(hwnd, nullptr, IACE_DEFAULT);
        m_imeEnabled = true;
        return done ? 0 : 2;
    }
    if (!on && m_imeEnabled) {
        HIMC previous = ImmAssociateContext(hwnd, nullptr);
        m_imeEnabled = false;
        return previous == nullptr ? 3 : 0;
    }
    return 0;
}

bool CAppFrame::SetImeOpen(bool open)
{
    HWND window;
    {
        CScopedLock lock(m_textLock);
        window = m_textWindow;
    }
    if (window == nullptr)
        return false;
    SendMessageA(window, WM_FRAME_IMEOPEN, open ? 1 : 0, 0);
    return true;
}

void CAppFrame::ClientToScreen(POINT* point)
{
    if (CurrentMode() != 1 || m_screen == nullptr) {
        ::ClientToScreen(m_mainWindow.GetHwnd(), point);
        return;
    }
    const AppFrameOptions& o = m_options;
    if (m_screen->IsScaled()) {
        ScreenBox picture = m_screen->GetPictureRect();
        point->x = static_cast<LONG>(int64_t{point->x} * picture.width / (o.screenWidth ? o.screenWidth : 1)) + picture.x;
        point->y =
            static_cast<LONG>(int64_t{point->y} * picture.height / (o.screenHeight ? o.screenHeight : 1)) + picture.y;
    }
    ScreenBox out = m_screen->GetOutputRect();
    point->x += out.x;
    point->y += out.y;
}

void CAppFrame::SetCursorPos(int x, int y)
{
    POINT at{x, y};
    ClientToScreen(&at);
    ::SetCursorPos(at.x, at.y);
    if (static_cast<unsigned>(x) < m_options.screenWidth && static_cast<unsigned>(y) < m_options.screenHeight)
        m_cursorPos = CursorPosition{x, y};
    else
        m_cursorPos = CursorPosition{-1, -1};
}

bool CAppFrame::CloseMenuIfOpen()
{
    m_menuOpen = false;
    CMouseDevice* mouse = m_input.GetMouse();
    if (mouse != nullptr && mouse->m_keepCursor == 0)
        SendWithoutFrameLock(WM_FRAME_SHOWCURSOR, 0, 0);
    SendWithoutFrameLock(WM_FRAME_HIDEMENU, 0, 0);
    if (m_screen != nullptr && m_screen->UsesFlipping())
        m_screen->LeaveGdi();
    return false;
}

bool CAppFrame::UpdateCursor()
{
    HWND hwnd = m_mainWindow.GetHwnd();
    if (m_menuInUse || hwnd == nullptr || IsIconic(hwnd)) {
        m_edge = 0;
        m_cursorPos = CursorPosition{-1, -1};
        return false;
    }
    CMouseDevice* mouse = m_input.GetMouse();
    const bool keeps = mouse != nullptr && mouse->m_keepCursor != 0;
    const bool hides = mouse != nullptr && mouse->m_hideInClient != 0;
    POINT at;
    GetCursorPos(&at);
    if (CurrentMode() != 1 || m_screen == nullptr) {
        RECT client;
        GetClientRectOnScreen(hwnd, &client);
        const auto dx = static_cast<uint32_t>(at.x - client.left);
        const auto dy = static_cast<uint32_t>(at.y - client.top);
        const bool inside = dx < static_cast<uint32_t>(client.right - client.left) &&
                            dy < static_cast<uint32_t>(client.bottom - client.top);
        if (!inside) {
            if (!keeps && !hides)
                SendWithoutFrameLock(WM_FRAME_SHOWCURSOR, 1, 0);
            if (m_edge == 0) {
                const int x = at.x - client.left, y = at.y - client.top;
                const bool xOut = x < 0 || x >= client.right - client.left;
                const bool yOut = y < 0 || y >= client.bottom - client.top;
                if (xOut && yOut)
                    m_edge = x > 0 ? (y < 1 ? 9 : 3) : (y < 1 ? 7 : 1);
                else if (xOut)
                    m_edge = x < 1 ? 4 : 6;
                else
                    m_edge = y < 1 ? 8 : 2;
                if (mouse != nullptr && mouse->GetMethod() == kInputMessages)
                    mouse->Clear();
            }
            m_cursorPos = CursorPosition{-1, -1};
            return false;
        }
        m_cursorPos = CursorPosition{static_cast<int32_t>(dx), static_cast<int32_t>(dy)};
        if (hides && !m_modalHold && !keeps)
            SendWithoutFrameLock(WM_FRAME_SHOWCURSOR, 0, 0);
        m_edge = 0;
        return true;
    }
    const AppFrameOptions& o = m_options;
    ScreenBox out = m_screen->GetOutputRect();
    int dx = at.x - out.x, dy = at.y - out.y;
    m_edge = 0;
    if (m_menu != nullptr && (o.keyOptions & 3) != 0 && o.fullScreenMenuStyle != 0) {
        const bool over = dx >= 0 && dx < out.width;
        if (m_menuOpen) {
            if (over && dy >= m_menuBarHeight)
                return CloseMenuIfOpen();
            m_cursorPos = CursorPosition{-1, -1};
            return false;
        }
        if (over && dy < 1) {
            const DWORD now = GetTickCount();
            if (g_hoverStart == 0)
                g_hoverStart = now != 0 ? now : 1;
            if (now - g_hoverStart >= o.menuHoverDelay) {
                g_hoverStart = 0;
                m_menuOpen = true;
                if (m_screen->UsesFlipping())
                    m_screen->FlipToGdi();
                SendWithoutFrameLock(WM_FRAME_SHOWMENU, 0, 0);
                SendWithoutFrameLock(WM_FRAME_SHOWCURSOR, 1, 0);
                return false;
            }
        } else {
            g_hoverStart = 0;
        }
    }
    int edgeX = dx;
    if (m_screen->IsScaled()) {
        ScreenBox picture = m_screen->GetPictureRect();
        // A scaling screen without a picture has nothing to point at.
        if (picture.width <= 0 || picture.height <= 0) {
            m_cursorPos = CursorPosition{-1, -1};
            return false;
        }
        const int sx = dx - picture.x, sy = dy - picture.y;
        const auto lx = static_cast<int32_t>(int64_t{o.screenWidth} * sx / picture.width);
        const auto ly = static_cast<int32_t>(int64_t{o.screenHeight} * sy / picture.height);
        const bool inOutput = dx >= 0 && dy >= 0 && dx < out.width && dy < out.height;
        const bool xIn = sx >= 0 && sx < picture.width, yIn = sy >= 0 && sy < picture.height;
        if (xIn && yIn) {
            m_cursorPos = CursorPosition{lx, ly};
        } else if (inOutput && !xIn) {
            m_cursorPos = CursorPosition{-2, ly};
            m_edge = 8;
            return true;
        } else if (inOutput) {
            m_cursorPos = CursorPosition{lx, -2};
            edgeX = 0;
        } else {
            m_cursorPos = CursorPosition{-1, -1};
        }
    } else {
        m_cursorPos = CursorPosition{dx, dy};
    }
    if (dy < 1)
        m_edge = 8;
    else if (dy >= out.height - 1)
        m_edge = 2;
    else if (edgeX < 1)
        m_edge = 4;
    else if (edgeX >= out.width - 1)
        m_edge = 6;
    return true;
}

int CAppFrame::InstallKeyboardHook()
{
    // NT 4 before service pack 3 and the 9x family have no low-level hooks.
    if (m_info.m_isNt4Sp3 == 0 && m_info.m_isNt5 == 0)
        return -1;
    if (m_hook != nullptr || CurrentMode() != 1)
        return 0;
    const uint8_t keys = m_options.keyOptions & 3;
    const bool leaveAlone = m_options.fullScreenMenuStyle == 1 && m_info.m_isXp != 0 ? keys != 0 : keys == 1;
    if (leaveAlone)
        return 0;
    m_hook = SetWindowsHookExA(WH_KEYBOARD_LL, &CAppFrame::LowLevelKeyboardProc, GetInstance(), 0);
    return m_hook != nullptr ? 0 : 1;
}

void CAppFrame::RemoveKeyboardHook()
{
    if (m_hook != nullptr)
        UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
}

LRESULT CALLBACK CAppFrame::LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    CAppFrame* frame = g_pAppFrame;
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (frame != nullptr && info != nullptr && code == HC_ACTION && frame->IsFullScreen() &&
        ((frame->m_options.keyOptions & 3) != 1 || frame->m_menuOpen || frame->m_modalHold)) {
        const bool alt = (info->flags & LLKHF_ALTDOWN) != 0;
        const DWORD vk = info->vkCode;
        if ((vk == VK_ESCAPE && GetAsyncKeyState(VK_CONTROL) < 0) || (vk == VK_TAB && alt) ||
            (vk == VK_ESCAPE && alt) || vk == VK_LWIN || vk == VK_RWIN)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
