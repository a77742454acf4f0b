// The root of every input source (keyboard, mouse, joystick): one-byte codes that the rest of the
// system samples once a frame with the same four questions. Codes per source: keyboard DIK_ codes;
// mouse 0 left, 1 right, 2 middle, 3 wheel forward, 4 wheel back; joystick 0 up, 1 down, 2 left,
// 3 right, 4 + n button n.
#pragma once

#include <cstdint>

// Keyboard and mouse back-ends.
enum EInputMethod : uint8_t {
    kInputDirectInput = 0,
    kInputPolling = 1,
    kInputMessages = 2,
    kInputPollingSubset = 3,  // keyboard only
};

class CInputSource {
public:
    virtual ~CInputSource() = default;
    // Held in the latest sample.
    virtual bool IsDown(int code) = 0;
    // Held in the latest sample and not in the one before.
    virtual bool IsPushed(int code) = 0;
    // → the lowest held code, -1 none.
    virtual int FindFirstDown() = 0;
    // → the lowest pushed code, -1 none.
    virtual int FindFirstPushed() = 0;
    // Both samples to all released.
    virtual void Clear() = 0;
};
