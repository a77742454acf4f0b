#include "platform/frame_window.h"

#include "winapi/imm.h"

uint32_t CFrameWindow::OnMessage(CWindowMessage* message)
{
    switch (message->message) {
    case WM_DESTROY:
        return CWindow::OnMessage(message);
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
        return 0;  // the IME draws no composition window of its own
    case WM_IME_COMPOSITION:
        return (message->lParam & GCS_RESULTSTR) ? 1 : 0;
    case WM_IME_SETCONTEXT:
        // The IME's own composition and candidate windows are not shown.
        message->lParam &= 0x3FFFFFF0;
        return 1;
    case WM_IME_NOTIFY:
        switch (message->wParam) {
        case IMN_OPENCANDIDATE: {
            HIMC context = m_frame != nullptr ? m_frame->GetImeContextHandle() : nullptr;
            if (context != nullptr) {
                const POINT position = m_frame->GetCandidatePos();
                CANDIDATEFORM form{};
                form.dwIndex = 0;
                form.dwStyle = CFS_EXCLUDE;
                form.ptCurrentPos = position;
                form.rcArea = RECT{0, 0, position.x, position.y};
                ImmSetCandidateWindow(context, &form);
            }
            if (m_frame != nullptr)
                m_frame->SetCandidateListOpen(true);
            return 1;
        }
        case IMN_CLOSECANDIDATE:
            if (m_frame != nullptr)
                m_frame->SetCandidateListOpen(false);
            return 1;
        case IMN_OPENSTATUSWINDOW:
            return m_frame != nullptr && m_frame->IsFullScreen() ? 0 : 1;
        default:
            return 1;
        }
    default:
        return 1;
    }
}
