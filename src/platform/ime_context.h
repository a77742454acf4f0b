// CImeContext: the IME context of the frame's text-entry window. The text controls hold a pointer
// to it (never own it) to read the composition and open state; the frame attaches it to the
// window that receives typed text.
#pragma once

#include <string>

#include "winapi/imm.h"
#include "winapi/user.h"

class CImeContext {
public:
    CImeContext() = default;
    ~CImeContext() { Release(); }
    CImeContext(const CImeContext&) = delete;
    CImeContext& operator=(const CImeContext&) = delete;

    // Zeroes everything (without releasing).
    void Clear();
    // Frees the composition strings and releases the input context.
    void Release();
    // Release, then (non-null) remember the window and its input context.
    void Attach(HWND window);
    // → 0 ok, 1 no context, 2 ImmSetOpenStatus failed.
    uint32_t SetOpen(bool open);
    bool IsOpen();
    // Both left unchanged without a context.
    void GetConversionStatus(DWORD* conversion, DWORD* sentence);
    // The composition string (at most 127 bytes) when it changed; null when unchanged or none.
    const char* UpdateComposition();
    // End of the first clause, 0 on failure.
    int GetClauseEnd();
    int GetCursorPos();
    int GetDeltaStart();
    void SetCandidatePos(int x, int y) { m_candidateX = x, m_candidateY = y; }
    POINT GetCandidatePos() const { return POINT{m_candidateX, m_candidateY}; }
    HWND GetWindow() const { return m_window; }
    HIMC GetContext() const { return m_context; }

private:
    HWND m_window = nullptr;
    HIMC m_context = nullptr;
    std::string m_composition;
    bool m_hasComposition = false;
    std::string m_second;
    int32_t m_candidateX = 0;
    int32_t m_candidateY = 0;
};
