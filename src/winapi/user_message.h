// Message queues of the stand-in: one per thread that uses them. Retrieval order: sent messages
// (run inside the call, never returned), posted messages, WM_QUIT once no posted message is left,
// input, WM_PAINT for an invalid window, WM_TIMER. A cross-thread SendMessageA blocks the sender
// until the owner thread has run the procedure inside GetMessageA, PeekMessageA or a send of its own.
#pragma once

#include "winapi/user_window.h"

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);

// Waits for a message. 0 for WM_QUIT, -1 for a bad window filter, else non-zero.
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// Runs waiting sent messages, then takes (PM_REMOVE) or copies the next message; FALSE when none.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
// Waits until the queue has something new (any message or a sent one); FALSE on failure.
BOOL WINAPI WaitMessage();
// Key-down messages of character keys that the host gives no text for (Enter, Backspace, Tab,
// Escape) post their WM_CHAR; TRUE when a character was posted.
BOOL WINAPI TranslateMessage(const MSG* msg);
// Calls the window's procedure (or the timer's callback); the procedure's value.
LRESULT WINAPI DispatchMessageA(const MSG* msg);
// FALSE for a bad window. A null window posts to the calling thread.
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// FALSE when the thread has no queue.
BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
// Same thread: calls the procedure. Other thread: waits until the owner ran it; 0 when the
// window is or becomes destroyed.
LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// As SendMessageA but does not wait for another thread; TRUE when sent or queued.
BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Whether the calling thread is running a procedure for a message sent from another thread.
BOOL WINAPI InSendMessage();
// The position and time of the last message retrieved on this thread.
DWORD WINAPI GetMessagePos();
LONG WINAPI GetMessageTime();

// Timers: WM_TIMER once per elapse while nothing else waits. The timer id, 0 on failure.
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id);
