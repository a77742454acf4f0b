#include "platform/ime_context.h"

void CImeContext::Clear()
{
    m_window = nullptr;
    m_context = nullptr;
    m_composition.clear();
    m_hasComposition = false;
    m_second.clear();
    m_candidateX = m_candidateY = 0;
}

void CImeContext::Release()
{
    m_composition.clear();
    m_hasComposition = false;
    m_second.clear();
    if (m_context != nullptr)
        ImmReleaseContext(m_window, m_context);
    m_context = nullptr;
}

void CImeContext::Attach(HWND window)
{
    Release();
    m_window = window;
    if (window != nullptr)
        m_context = ImmGetContext(window);
}

uint32_t CImeContext::SetOpen(bool open)
{
    if (m_context == nullptr)
        return 1;
    return ImmSetOpenStatus(m_context, open ? TRUE : FALSE) ? 0 : 2;
}

bool CImeContext::IsOpen()
{
    return m_context != nullptr && ImmGetOpenStatus(m_context) != 0;
}

void CImeContext::GetConversionStatus(DWORD* conversion, DWORD* sentence)
{
    if (m_context != nullptr)
        ImmGetConversionStatus(m_context, conversion, sentence);
}

const char* CImeContext::UpdateComposition()
{
    char text[128];
    LONG bytes = m_context != nullptr ? ImmGetCompositionStringA(m_context, GCS_COMPSTR, text, 127) : 0;
    if (bytes <= 0) {
        m_composition.clear();
        m_hasComposition = false;
        return nullptr;
    }
    std::string now(text, static_cast<size_t>(bytes > 127 ? 127 : bytes));
    if (m_hasComposition && now == m_composition)
        return nullptr;
    m_composition = std::move(now);
    m_hasComposition = true;
    return m_composition.c_str();
}

int CImeContext::GetClauseEnd()
{
    DWORD clauses[2] = {0, 0};
    if (m_context == nullptr)
        return 0;
    LONG bytes = ImmGetCompositionStringA(m_context, GCS_COMPCLAUSE, clauses, sizeof clauses);
    return bytes >= static_cast<LONG>(sizeof clauses) ? static_cast<int>(clauses[1]) : 0;
}

int CImeContext::GetCursorPos()
{
    if (m_context == nullptr)
        return 0;
    LONG at = ImmGetCompositionStringA(m_context, GCS_CURSORPOS, nullptr, 0);
    return at < 0 ? 0 : static_cast<int>(at);
}

int CImeContext::GetDeltaStart()
{
    if (m_context == nullptr)
        return 0;
    LONG at = ImmGetCompositionStringA(m_context, GCS_DELTASTART, nullptr, 0);
    return at < 0 ? 0 : static_cast<int>(at);
}
