#include "winapi/user_clipboard.h"

#include <cstring>
#include <mutex>
#include <string>

#include "winapi/host.h"
#include "winapi/kernel_memory.h"
#include "winapi/text.h"

namespace {

std::mutex g_lock;
bool g_open = false;
bool g_pending = false;
std::string g_text; // Shift-JIS

} // namespace

BOOL WINAPI OpenClipboard(HWND)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_open)
        return FALSE;
    g_open = true;
    g_pending = false;
    return TRUE;
}

BOOL WINAPI EmptyClipboard()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_open)
        return FALSE;
    g_pending = false;
    g_text.clear();
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_open || format != CF_TEXT || data == nullptr)
        return nullptr;
    const SIZE_T size = GlobalSize(data);
    const char* text = static_cast<const char*>(GlobalLock(data));
    if (text == nullptr)
        return nullptr;
    const void* nul = std::memchr(text, 0, size);
    g_text.assign(text, nul != nullptr ? static_cast<const char*>(nul) - text : size);
    g_pending = true;
    GlobalFree(data); // the clipboard owns the block now
    return data;
}

BOOL WINAPI CloseClipboard()
{
    std::string text;
    bool pending;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (!g_open)
            return FALSE;
        g_open = false;
        pending = g_pending;
        text = g_text;
    }
    if (pending)
        winapi::CurrentHost().SetClipboardText(winapi::SjisToUtf8(text));
    return TRUE;
}
