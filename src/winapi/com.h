// COM objects of the stand-in: the IUnknown root and CoCreateInstance over a table of classes
// that the stand-in's areas register (CLSID_DirectInput, CLSID_DirectSound).
#pragma once

#include "winapi/base.h"
#include "winapi/kernel_sync.h" // CoInitialize

// Guarded: other area headers of the stand-in may carry the same definition.
#ifndef TESSARO_IUNKNOWN_DEFINED
#define TESSARO_IUNKNOWN_DEFINED
// The root of the COM interfaces of the stand-in.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    // Deletes the object when the count reaches 0; returns the new count.
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
#endif

#define CLSCTX_INPROC_SERVER 0x1u
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110u)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)

extern const IID IID_IUnknown;

// S_OK with the object's interface iid in *out; REGDB_E_CLASSNOTREG for an unknown class,
// CLASS_E_NOAGGREGATION with an outer object, CO_E_NOTINITIALIZED on a thread without
// CoInitialize, E_POINTER for a null out, or what the class's factory answers.
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out);

namespace winapi {
// A class's factory: makes the object and answers its interface iid.
using ComFactory = HRESULT (*)(REFIID iid, void** out);
// Registers (or replaces) the factory of a class.
void RegisterComClass(const CLSID& clsid, ComFactory factory);
} // namespace winapi
