// CObjectPluginManager: the effect registry. It keeps one record per effect kind, built in or from
// a "*.DCP" plug-in library (any number of kinds each), and makes effect objects by kind name.
// Codes: Register 0, 1 null factory or name; LoadPlugin 0, 1 bad path, 2 LoadLibraryA failed,
// 3 a required export missing, 5 the library's getters failed (nothing stays loaded);
// LoadFolder the number of "*.DCP" files that failed, -1 for a bad folder.
#pragma once

#include <vector>

#include "files/object_plugin_library.h"
#include "files/plugin_object.h"

class CObjectPluginManager {
public:
    struct CKind {
        BYTE type = 0;
        const char* name = nullptr;
        EffectFactoryFunc factory = nullptr;
        EffectCallbackFunc callback = nullptr;
        EffectCallbackFunc callback2 = nullptr;
        HMODULE module = nullptr; // null for a built-in
        DWORD parameter = 0;      // the kind's index in its library, or the built-in's value
    };

    CObjectPluginManager() = default;
    CObjectPluginManager(const CObjectPluginManager&) = delete;
    CObjectPluginManager& operator=(const CObjectPluginManager&) = delete;
    // Unloads everything.
    virtual ~CObjectPluginManager();

    // Removes every kind of that type; a library is freed when its last kind goes.
    virtual void UnloadType(BYTE type);
    virtual void UnloadAll();
    // Appends a built-in kind → 0, or 1 when factory or name is null. A name registered twice keeps
    // both records; lookups find the first.
    virtual int Register(EffectFactoryFunc factory, const char* name, BYTE type, EffectCallbackFunc callback,
                         EffectCallbackFunc callback2, DWORD parameter);
    // Loads a DCP library (path relative to the base folder): its kinds are appended in order.
    virtual int LoadPlugin(const char* path);
    virtual int LoadFolder(const char* folder);
    // The factory of the first kind named name (exact bytes) and its parameter, null when none.
    virtual EffectFactoryFunc FindFactory(const char* name, DWORD* outParameter);
    // factory(parameter) of the named kind, null when none or the factory fails.
    virtual CPluginEffect* CreateRaw(const char* name);
    // CreateRaw, then the object's InitV(args); a refusal releases the object and gives null.
    virtual CPluginEffect* CreateObject(const char* name, const CEffectArgs& args);
    // The callbacks of the first kind named name (null when none or the kind has none).
    EffectCallbackFunc FindCallbackFunc(const char* name);
    EffectCallbackFunc FindCallbackFunc2(const char* name);

    // CreateObject with the pack of the C++ arguments (no arguments: an empty pack).
    template <typename... A>
    CPluginEffect* Create(const char* name, A&&... args)
    {
        return CreateObject(name, CEffectArgs::Of(std::forward<A>(args)...));
    }

    const std::vector<CKind>& GetKinds() const { return m_kinds; }
    size_t GetLibraryCount() const { return m_libraries.GetCount(); }

private:
    const CKind* Find(const char* name) const;

    std::vector<CKind> m_kinds;
    CObjectLibraryList m_libraries;
};

// The effect registry of the game (null until the game makes it).
extern CObjectPluginManager* g_pObjectPluginManager;
