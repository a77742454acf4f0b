#include "platform/window_app.h"

#include "winapi/text.h"

CWindowApp::CWindowApp(bool hasMessageLoop) : m_hasMessageLoop(hasMessageLoop) {}

CWindowApp::~CWindowApp() = default;

bool CWindowApp::PreTranslateMessage(HWND, UINT, WPARAM, LPARAM, DWORD, LONG, LONG)
{
    return false;
}

int CWindowApp::Run(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand)
{
    m_instance = instance;
    m_previous = previous;
    m_commandLine = commandLine;
    m_showCommand = showCommand;
    const int code = Init();
    if (code != 0) {
        Exit(code);
        return code;
    }
    if (!m_hasMessageLoop) {
        RunNoMessageLoop();
        Exit(0);
        return 0;
    }
    int result = 0;
    MSG msg;
    while (!m_quit) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            break;
        if (got == -1) {
            const char* caption = GetName();
            MessageBoxA(GetDesktopWindow(), winapi::Sjis("GetMessage()でエラーが発生しました"),
                        caption != nullptr ? caption : winapi::Sjis("エラー"),
                        MB_ICONSTOP | MB_SYSTEMMODAL | MB_SETFOREGROUND);
            // Reported as a failure: the loop did not end by WM_QUIT.
            result = kMessageLoopFailed;
            break;
        }
        if (PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, msg.time, msg.pt.x, msg.pt.y))
            continue;
        Deliver(msg);
    }
    Exit(result);
    return result;
}

bool CWindowApp::LoadAccelerators(WORD resourceId)
{
    m_accelerators = LoadAcceleratorsA(m_instance, MAKEINTRESOURCEA(resourceId));
    return m_accelerators != nullptr;
}

void CWindowApp::Deliver(MSG& msg)
{
    if (m_accelerators != nullptr && TranslateAcceleratorA(m_acceleratorWindow, m_accelerators, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool CWindowApp::PumpMessages(bool keepMouseMoves)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!keepMouseMoves && (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE ||
                                msg.message == WM_NCHITTEST || msg.message == WM_SETCURSOR))
            continue;
        if (PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, msg.time, msg.pt.x, msg.pt.y))
            continue;
        if (msg.message == WM_QUIT) {
            m_quit = true;
            return true;
        }
        Deliver(msg);
    }
    return false;
}
