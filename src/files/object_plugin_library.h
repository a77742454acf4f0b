// What the effect (DCP) and transition (TCP) registries share about plug-in libraries: loading one
// and reading its kinds through the four getters, and the list of loaded libraries, each held once
// per kind record made from it (0 = one holder; a release at 0 frees the library).
// Loading codes: 0, 1 path cannot be made full, 2 LoadLibraryA failed, 3 a required export is
// missing, 5 a getter failed (threw, a kind count below 0 or above 4096, a null kind name).
#pragma once

#include <functional>
#include <vector>

#include "winapi/base.h"
#include "winapi/kernel.h"

// Kind counts above this are taken for a broken library rather than allocated.
constexpr int kMaxObjectKinds = 4096;

// One kind of a library as its getters describe it.
struct CObjectKindInfo {
    DWORD index;
    BYTE type;
    const char* name; // the library's own text, valid while it is loaded
};

// What a registry keeps of a library for each of its kinds.
struct CObjectLibraryExports {
    HMODULE module = nullptr;
    FARPROC getObject = nullptr;
    FARPROC callback = nullptr;  // "CallbackAssistFunc", looked up only when asked for
    FARPROC callback2 = nullptr; // "CallbackAssistFunc2"
};

class CObjectLibraryList {
public:
    CObjectLibraryList() = default;
    CObjectLibraryList(const CObjectLibraryList&) = delete;
    CObjectLibraryList& operator=(const CObjectLibraryList&) = delete;
    ~CObjectLibraryList() { FreeAll(); }

    // Loads the library at path (relative to the base folder), reads its kinds and calls addKind
    // for each, in order; the library is then held once per kind → loading code. A library that
    // fails is freed again; one without kinds too (nothing points into it), answering 0.
    int Load(const char* path, bool withCallbacks,
             const std::function<void(const CObjectLibraryExports&, const CObjectKindInfo&)>& addKind);
    // One kind record of module is gone: the count is lowered, or at 0 the library is freed.
    void Release(HMODULE module);
    void FreeAll();
    size_t GetCount() const { return m_libraries.size(); }

    // Removes the kind records of type from kinds, keeping the others' order; each removed record
    // goes through dropped (may be null) and then releases its library.
    template <typename Kind, typename F>
    void RemoveType(std::vector<Kind>& kinds, BYTE type, F dropped)
    {
        auto keep = kinds.begin();
        for (Kind& kind : kinds) {
            if (kind.type != type) {
                *keep++ = kind;
                continue;
            }
            dropped(kind);
            if (kind.module != nullptr)
                Release(kind.module);
        }
        kinds.erase(keep, kinds.end());
    }

private:
    struct CLibrary {
        HMODULE module;
        int32_t holders; // extra holders: 0 = one
    };
    std::vector<CLibrary> m_libraries;
};
