#include "files/object_plugin_library.h"

#include <algorithm>

#include "files/path_utils.h"

namespace {

using GetCountFunc = int (*)();
using GetNameFunc = const char* (*)(DWORD index);
using GetTypeFunc = BYTE (*)(DWORD index);

template <typename F>
F As(FARPROC proc)
{
    return reinterpret_cast<F>(proc);
}

// Reads the kinds → 0, or 5.
int ReadKinds(FARPROC getCount, FARPROC getName, FARPROC getType, std::vector<CObjectKindInfo>* kinds)
{
    try {
        const int count = As<GetCountFunc>(getCount)();
        if (count < 0 || count > kMaxObjectKinds)
            return 5;
        kinds->reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const DWORD index = static_cast<DWORD>(i);
            CObjectKindInfo kind{0, As<GetNameFunc>(getName)(index)};
            if (kind.name == nullptr)
                return 5;
            kind.type = As<GetTypeFunc>(getType)(index);
            kinds->push_back(kind);
        }
    } catch (...) {
        return 5;
    }
    return 0;
}

} // namespace

int OpenObjectLibrary(const char* path, bool withCallbacks, CObjectLibraryExports* out)
{
    *out = CObjectLibraryExports{};
    char full[MAX_PATH];
    if (path == nullptr || MakeFullPath(full, path, nullptr) == 0)
        return 1;
    HMODULE module = LoadLibraryA(full);
    if (module == nullptr)
        return 2;
    FARPROC getCount = GetProcAddress(module, "GetObjectNum");
    FARPROC getObject = GetProcAddress(module, "GetObject");
    FARPROC getName = GetProcAddress(module, "GetObjectName");
    FARPROC getType = GetProcAddress(module, "GetObjectType");
    int code = 0;
    if (!getCount || !getObject || !getName || !getType)
        code = 3;
    else
        code = ReadKinds(getCount, getName, getType, &out->kinds);
    if (code != 0) {
        out->kinds.clear();
        FreeLibrary(module);
        return code;
    }
    out->module = module;
    out->getObject = getObject;
    if (withCallbacks) {
        out->callback = GetProcAddress(module, "CallbackAssistFunc");
        out->callback2 = GetProcAddress(module, "CallbackAssistFunc2");
    }
    return 0;
}

void CObjectLibraryList::Add(HMODULE module, size_t holders)
{
    m_libraries.push_back(CLibrary{module, static_cast<int32_t>(holders) - 1});
}

void CObjectLibraryList::Release(HMODULE module)
{
    auto it = std::find_if(m_libraries.begin(), m_libraries.end(),
                           [module](const CLibrary& library) { return library.module == module; });
    if (it == m_libraries.end())
        return;
    // A count of 0 means one kind still points into the library: only its release frees it.
    if (it->holders > 0) {
        --it->holders;
        return;
    }
    FreeLibrary(it->module);
    m_libraries.erase(it);
}

void CObjectLibraryList::FreeAll()
{
    for (const CLibrary& library : m_libraries)
        FreeLibrary(library.module);
    m_libraries.clear();
}
