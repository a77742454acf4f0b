// CTransitionPluginManager: the transition registry. It keeps one record per screen-filter or
// transition kind, built in or from a "*.TCP" plug-in library, and makes those objects by kind name
// for a canvas. A built-in kind may bring a class init (run at its first lookup) and a class
// teardown (run when the kind is dropped).
// Codes: Register 0, 1 null factory or name; LoadPlugin 0, 1 bad path, 2 LoadLibraryA failed,
// 3 a required export missing, 5 the library's getters failed (nothing stays loaded);
// LoadFolder the number of "*.TCP" files that failed, -1 for a bad folder.
#pragma once

#include <vector>

#include "files/object_plugin_library.h"
#include "files/plugin_object.h"

class CTransitionPluginManager {
public:
    struct CKind {
        BYTE type = 0;
        bool initDone = false;
        const char* name = nullptr;
        FilterFactoryFunc factory = nullptr;
        HMODULE module = nullptr; // null for a built-in
        DWORD parameter = 0;      // the kind's index in its library, or the built-in's value
        FilterClassFunc init = nullptr;
        FilterClassFunc teardown = nullptr;
    };

    CTransitionPluginManager() = default;
    CTransitionPluginManager(const CTransitionPluginManager&) = delete;
    CTransitionPluginManager& operator=(const CTransitionPluginManager&) = delete;
    // Unloads everything.
    virtual ~CTransitionPluginManager();

    // Removes every kind of that type, running its teardown; a library is freed when its last kind
    // goes.
    virtual void UnloadType(BYTE type);
    virtual void UnloadAll();
    // Appends a built-in kind → 0, or 1 when factory or name is null.
    virtual int Register(FilterFactoryFunc factory, const char* name, BYTE type, DWORD parameter,
                         FilterClassFunc init, FilterClassFunc teardown);
    // Loads a TCP library (path relative to the base folder): its kinds are appended in order.
    virtual int LoadPlugin(const char* path);
    virtual int LoadFolder(const char* folder);
    // The factory of the first kind named name (exact bytes) and its parameter, null when none;
    // the kind's class init runs at its first lookup.
    virtual FilterFactoryFunc FindFactory(const char* name, DWORD* outParameter);
    // factory(parameter) of the named kind, null when none or the factory fails.
    virtual CPluginFilter* CreateRaw(const char* name);
    // CreateRaw, then the object's SetParamsV(canvas, args); a refusal releases the object and
    // gives null.
    virtual CPluginFilter* CreateObject(CImageObject* canvas, const char* name, const CEffectArgs& args);

    // CreateObject with the pack of the C++ arguments.
    template <typename... A>
    CPluginFilter* Create(CImageObject* canvas, const char* name, A&&... args)
    {
        return CreateObject(canvas, name, CEffectArgs::Of(std::forward<A>(args)...));
    }

    const std::vector<CKind>& GetKinds() const { return m_kinds; }
    size_t GetLibraryCount() const { return m_libraries.GetCount(); }

private:
    std::vector<CKind> m_kinds;
    CObjectLibraryList m_libraries;
};

// The transition registry of the game (null until the game makes it).
extern CTransitionPluginManager* g_pTransitionPluginManager;
