#include "files/object_plugin_manager.h"

#include <cstring>

CObjectPluginManager* g_pObjectPluginManager = nullptr;

CObjectPluginManager::~CObjectPluginManager()
{
    UnloadAll();
}

void CObjectPluginManager::UnloadType(BYTE type)
{
    m_libraries.RemoveType(m_kinds, type, [](const CKind&) {});
}

void CObjectPluginManager::UnloadAll()
{
    m_kinds.clear();
    m_libraries.FreeAll();
}

int CObjectPluginManager::Register(EffectFactoryFunc factory, const char* name, BYTE type,
                                   EffectCallbackFunc callback, EffectCallbackFunc callback2, DWORD parameter)
{
    if (factory == nullptr || name == nullptr)
        return 1;
    m_kinds.push_back(CKind{type, name, factory, callback, callback2, nullptr, parameter});
    return 0;
}

int CObjectPluginManager::LoadPlugin(const char* path)
{
    return m_libraries.Load(path, true, [this](const CObjectLibraryExports& library, const CObjectKindInfo& kind) {
        m_kinds.push_back(CKind{kind.type, kind.name, reinterpret_cast<EffectFactoryFunc>(library.getObject),
                                reinterpret_cast<EffectCallbackFunc>(library.callback),
                                reinterpret_cast<EffectCallbackFunc>(library.callback2), library.module,
                                kind.index});
    });
}

int CObjectPluginManager::LoadFolder(const char* folder)
{
    return LoadPluginFiles(folder, "*.DCP", [this](const char* path) { return LoadPlugin(path); });
}

const CObjectPluginManager::CKind* CObjectPluginManager::Find(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (const CKind& kind : m_kinds)
        if (std::strcmp(kind.name, name) == 0)
            return &kind;
    return nullptr;
}

EffectFactoryFunc CObjectPluginManager::FindFactory(const char* name, DWORD* outParameter)
{
    const CKind* kind = Find(name);
    if (kind == nullptr)
        return nullptr;
    if (outParameter != nullptr)
        *outParameter = kind->parameter;
    return kind->factory;
}

CPluginEffect* CObjectPluginManager::CreateRaw(const char* name)
{
    DWORD parameter = 0;
    EffectFactoryFunc factory = FindFactory(name, &parameter);
    if (factory == nullptr)
        return nullptr;
    try {
        return factory(parameter);
    } catch (...) {
        return nullptr;
    }
}

CPluginEffect* CObjectPluginManager::CreateObject(const char* name, const CEffectArgs& args)
{
    CPluginEffect* object = CreateRaw(name);
    if (object == nullptr)
        return nullptr;
    int refused = 1;
    try {
        refused = object->InitV(args);
    } catch (...) {
    }
    if (refused != 0) {
        object->Release();
        return nullptr;
    }
    return object;
}

EffectCallbackFunc CObjectPluginManager::FindCallbackFunc(const char* name)
{
    const CKind* kind = Find(name);
    return kind != nullptr ? kind->callback : nullptr;
}

EffectCallbackFunc CObjectPluginManager::FindCallbackFunc2(const char* name)
{
    const CKind* kind = Find(name);
    return kind != nullptr ? kind->callback2 : nullptr;
}
