// CFrameWindow: the frame's main window and its full-screen menu window, a CWindow whose own
// handling keeps the IME's composition, candidate and status windows from showing over the game.
#pragma once

#include "platform/window.h"

class CFrameWindow : public CWindow {
public:
    // What the window reads of its frame: the frame's IME context handle (null when none), the
    // candidate position it stored, its candidate-list flag and whether the screen is full screen.
    class Frame {
    public:
        virtual ~Frame() = default;
        virtual HIMC GetImeContextHandle() = 0;
        virtual POINT GetCandidatePos() = 0;
        virtual void SetCandidateListOpen(bool open) = 0;
        virtual bool IsFullScreen() = 0;
    };

    // frame may be null (then no context and never full screen).
    explicit CFrameWindow(Frame* frame = nullptr) : m_frame(frame) {}
    void SetFrame(Frame* frame) { m_frame = frame; }

    // WM_DESTROY as the base; the IME start/end composition messages are swallowed; a
    // composition goes on to DefWindowProcA only with a result string; WM_IME_SETCONTEXT hides the
    // IME's own windows; WM_IME_NOTIFY places the candidate list and hides the status window in
    // full screen. Everything else: 1.
    uint32_t OnMessage(CWindowMessage* message) override;

private:
    Frame* m_frame;
};
