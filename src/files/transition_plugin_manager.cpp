#include "files/transition_plugin_manager.h"

#include <cstring>

CTransitionPluginManager* g_pTransitionPluginManager = nullptr;

namespace {

void RunTeardown(const CTransitionPluginManager::CKind& kind)
{
    if (kind.teardown == nullptr)
        return;
    try {
        kind.teardown();
    } catch (...) {
    }
}

} // namespace

CTransitionPluginManager::~CTransitionPluginManager()
{
    UnloadAll();
}

void CTransitionPluginManager::UnloadType(BYTE type)
{
    m_libraries.RemoveType(m_kinds, type, RunTeardown);
}

void CTransitionPluginManager::UnloadAll()
{
    for (const CKind& kind : m_kinds)
        RunTeardown(kind);
    m_kinds.clear();
    m_libraries.FreeAll();
}

int CTransitionPluginManager::Register(FilterFactoryFunc factory, const char* name, BYTE type, DWORD parameter,
                                       FilterClassFunc init, FilterClassFunc teardown)
{
    if (factory == nullptr || name == nullptr)
        return 1;
    m_kinds.push_back(CKind{type, false, name, factory, nullptr, parameter, init, teardown});
    return 0;
}

int CTransitionPluginManager::LoadPlugin(const char* path)
{
    return m_libraries.Load(path, false, [this](const CObjectLibraryExports& library, const CObjectKindInfo& kind) {
        m_kinds.push_back(CKind{kind.type, false, kind.name, reinterpret_cast<FilterFactoryFunc>(library.getObject),
                                library.module, kind.index, nullptr, nullptr});
    });
}

int CTransitionPluginManager::LoadFolder(const char* folder)
{
    return LoadPluginFiles(folder, "*.TCP", [this](const char* path) { return LoadPlugin(path); });
}

FilterFactoryFunc CTransitionPluginManager::FindFactory(const char* name, DWORD* outParameter)
{
    if (name == nullptr)
        return nullptr;
    for (CKind& kind : m_kinds) {
        if (std::strcmp(kind.name, name) != 0)
            continue;
        if (!kind.initDone && kind.init != nullptr)
            kind.init();
        kind.initDone = true;
        if (outParameter != nullptr)
            *outParameter = kind.parameter;
        return kind.factory;
    }
    return nullptr;
}

CPluginFilter* CTransitionPluginManager::CreateRaw(const char* name)
{
    try {
        DWORD parameter = 0;
        FilterFactoryFunc factory = FindFactory(name, &parameter);
        return factory != nullptr ? factory(parameter) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

CPluginFilter* CTransitionPluginManager::CreateObject(CImageObject* canvas, const char* name,
                                                                          const CEffectArgs& args)
{
    CPluginFilter* object = CreateRaw(name);
    if (object == nullptr)
        return nullptr;
    int refused = 1;
    try {
        refused = object->SetParamsV(canvas, args);
    } catch (...) {
    }
    if (refused != 0) {
        object->Release();
        return nullptr;
    }
    return object;
}
