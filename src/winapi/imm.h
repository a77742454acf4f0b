// The input method (IME) of the stand-in over the host's text input. Every window uses the
// process's default input context unless another (or none) is associated with it. Typed text
// with characters beyond ASCII arrives, while the context is open, as an IME result
// (WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION with GCS_RESULTSTR, WM_IME_ENDCOMPOSITION), which
// DefWindowProcA turns into WM_IME_CHAR and then WM_CHAR byte pairs; all text is Shift-JIS.
#pragma once

#include "winapi/user.h"

#define GCS_COMPREADSTR 0x0001
#define GCS_COMPSTR 0x0008
#define GCS_COMPCLAUSE 0x0020
#define GCS_CURSORPOS 0x0080
#define GCS_DELTASTART 0x0100
#define GCS_RESULTREADSTR 0x0200
#define GCS_RESULTSTR 0x0800
#define IMM_ERROR_NODATA (-1)
#define IMM_ERROR_GENERAL (-2)

#define IACE_CHILDREN 0x0001
#define IACE_DEFAULT 0x0010
#define IACE_IGNORENOCONTEXT 0x0020

#define IMN_CLOSESTATUSWINDOW 0x0001
#define IMN_OPENSTATUSWINDOW 0x0002
#define IMN_CLOSECANDIDATE 0x0004
#define IMN_OPENCANDIDATE 0x0005
#define IMC_CLOSESTATUSWINDOW 0x0021
#define IMC_OPENSTATUSWINDOW 0x0022
#define ISC_SHOWUICOMPOSITIONWINDOW 0x80000000u
#define ISC_SHOWUIALLCANDIDATEWINDOW 0x0000000Fu

#define CFS_DEFAULT 0x0000
#define CFS_POINT 0x0002
#define CFS_CANDIDATEPOS 0x0040
#define CFS_EXCLUDE 0x0080

#define IME_CMODE_NATIVE 0x0001
#define IME_CMODE_FULLSHAPE 0x0008
#define IME_SMODE_NONE 0x0000
// The modes the IME status indicator reads.
#define IME_CMODE_KATAKANA 0x0002
#define IME_CMODE_ROMAN 0x0010
#define IME_CMODE_NOCONVERSION 0x0100
#define IME_SMODE_PLAURALCLAUSE 0x0001
#define IME_SMODE_SINGLECONVERT 0x0002
#define IME_SMODE_AUTOMATIC 0x0004
#define IME_SMODE_PHRASEPREDICT 0x0008

struct CANDIDATEFORM {
    DWORD dwIndex;
    DWORD dwStyle;
    POINT ptCurrentPos;
    RECT rcArea;
};

// The window's input context, null when none is associated. Give it back with ImmReleaseContext.
HIMC WINAPI ImmGetContext(HWND hwnd);
BOOL WINAPI ImmReleaseContext(HWND hwnd, HIMC context);
HIMC WINAPI ImmCreateContext();
BOOL WINAPI ImmDestroyContext(HIMC context);
// Associates a context (null: none, the IME is off for the window); the previous one.
HIMC WINAPI ImmAssociateContext(HWND hwnd, HIMC context);
// IACE_DEFAULT gives the window the default context again; FALSE for a bad window.
BOOL WINAPI ImmAssociateContextEx(HWND hwnd, HIMC context, DWORD flags);
BOOL WINAPI ImmGetOpenStatus(HIMC context);
// Opening a context switches the host's text composition on; FALSE for a bad context.
BOOL WINAPI ImmSetOpenStatus(HIMC context, BOOL open);
BOOL WINAPI ImmGetConversionStatus(HIMC context, LPDWORD conversion, LPDWORD sentence);
BOOL WINAPI ImmSetConversionStatus(HIMC context, DWORD conversion, DWORD sentence);
// Bytes of the string (or of the clause table, or the value for GCS_CURSORPOS/GCS_DELTASTART);
// with a null buffer or length 0 the size needed. IMM_ERROR_NODATA for an unknown index,
// IMM_ERROR_GENERAL for a bad context.
LONG WINAPI ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD length);
BOOL WINAPI ImmSetCandidateWindow(HIMC context, const CANDIDATEFORM* form);
BOOL WINAPI ImmGetCandidateWindow(HIMC context, DWORD index, CANDIDATEFORM* form);
// The calling thread's IME window (class "IME"), which takes WM_IME_CONTROL.
HWND WINAPI ImmGetDefaultIMEWnd(HWND hwnd);

namespace winapi {
// Whether the IME's status window is shown (WM_IME_CONTROL IMC_OPEN/CLOSESTATUSWINDOW).
bool ImeStatusWindowShown();
} // namespace winapi
