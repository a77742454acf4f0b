// What the effect (DCP) and transition (TCP) registries share about plug-in libraries: opening one
// and reading its kinds through the four getters, and the list of open libraries, each held once
// per kind made from it (0 = one holder; a release at 0 frees the library).
// Opening codes: 0, 1 path cannot be made full, 2 LoadLibraryA failed, 3 a required export is
// missing, 5 a getter failed (threw, a kind count below 0 or above 4096, a null kind name).
#pragma once

#include <vector>

#include "winapi/base.h"
#include "winapi/kernel.h"

// Kind counts above this are taken for a broken library rather than allocated.
constexpr int kMaxObjectKinds = 4096;

struct CObjectKindInfo {
    BYTE type;
    const char* name; // the library's own text, valid while it is loaded
};

struct CObjectLibraryExports {
    HMODULE module = nullptr;
    FARPROC getObject = nullptr;
    FARPROC callback = nullptr;  // "CallbackAssistFunc", looked up only when asked for
    FARPROC callback2 = nullptr; // "CallbackAssistFunc2"
    std::vector<CObjectKindInfo> kinds;
};

// Loads the library at path (relative to the base folder) and reads its kinds in order → opening
// code; on failure the library is freed again.
int OpenObjectLibrary(const char* path, bool withCallbacks, CObjectLibraryExports* out);

class CObjectLibraryList {
public:
    CObjectLibraryList() = default;
    CObjectLibraryList(const CObjectLibraryList&) = delete;
    CObjectLibraryList& operator=(const CObjectLibraryList&) = delete;
    ~CObjectLibraryList() { FreeAll(); }

    // Keeps module, held by holders kind records (at least 1).
    void Add(HMODULE module, size_t holders);
    // One kind record of module is gone: the count is lowered, or at 0 the library is freed.
    void Release(HMODULE module);
    void FreeAll();
    size_t GetCount() const { return m_libraries.size(); }

private:
    struct CLibrary {
        HMODULE module;
        int32_t holders; // extra holders: 0 = one
    };
    std::vector<CLibrary> m_libraries;
};
