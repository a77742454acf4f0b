// CMessageHandler: a functor that a window's message map holds for one message id, and the
// member-function handler that calls a member of a target object (for the frame, a thunk to one
// of its virtual handlers, so that a derived class's override is reached).
#pragma once

#include <cstdint>

#include "winapi/base.h"

class CWindow;

// The record handed to handlers: the window, the message and its parameters, and the result the
// window procedure returns when a handler handled the message (0 unless the handler sets it).
struct CWindowMessage {
    CWindow* window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;

    // The window's HWND (null when the record names no window).
    HWND GetWindowHandle() const;
};

class CMessageHandler {
public:
    virtual ~CMessageHandler() = default;
    // 0 = handled (nothing further runs), non-zero = let OnMessage and DefWindowProcA run.
    virtual uint32_t Invoke(CWindowMessage* message) = 0;
};

template <class T>
class CMemberHandler : public CMessageHandler {
public:
    using Member = uint32_t (T::*)(CWindowMessage*);
    CMemberHandler(T* target, Member member) : m_target(target), m_member(member) {}
    uint32_t Invoke(CWindowMessage* message) override { return (m_target->*m_member)(message); }

private:
    T* m_target;
    Member m_member;
};

// A new handler that calls target->member (owned by the map it is given to).
template <class T>
CMessageHandler* MakeMessageHandler(T* target, uint32_t (T::*member)(CWindowMessage*))
{
    return new CMemberHandler<T>(target, member);
}
