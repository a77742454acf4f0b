// Finds out whether DirectInput is there and which interface version it offers (5, else 3):
// through COM first, then by loading "dinput.dll" by hand.
#pragma once

#include <cstdint>

#include "winapi/dinput.h"

class CDirectInputProbe {
public:
    CDirectInputProbe();
    virtual ~CDirectInputProbe();

    // → 0 ok, 1 COM not initialised, 2 dinput.dll or its entry point missing, 3 DirectInput refused.
    uint32_t Create(HINSTANCE instance);
    // Releases the interface and frees a hand-loaded module; version 0.
    void Release();

    uint8_t m_comInitialised = 0;
    IDirectInputA* m_input = nullptr;
    HMODULE m_module = nullptr;
    uint32_t m_version = 0;
};
