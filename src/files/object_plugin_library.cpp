#include "files/object_plugin_library.h"

#include <algorithm>

#include "files/plugin_record.h"

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
            CObjectKindInfo kind{index, 0, As<GetNameFunc>(getName)(index)};
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

int CObjectLibraryList::Load(const char* path, bool withCallbacks,
                             const std::function<void(const CObjectLibraryExports&, const CObjectKindInfo&)>& addKind)
{
    CObjectLibraryExports library;
    const int code = LoadPluginLibrary(path, &library.module);
    if (code != 0)
        return code;
    FARPROC getCount = GetProcAddress(library.module, "GetObjectNum");
    library.getObject = GetProcAddress(library.module, "GetObject");
    FARPROC getName = GetProcAddress(library.module, "GetObjectName");
    FARPROC getType = GetProcAddress(library.module, "GetObjectType");
    std::vector<CObjectKindInfo> kinds;
    const int read = !getCount || !library.getObject || !getName || !getType
                         ? 3
                         : ReadKinds(getCount, getName, getType, &kinds);
    if (read != 0 || kinds.empty()) {
        FreeLibrary(library.module);
        return read;
    }
    if (withCallbacks) {
        library.callback = GetProcAddress(library.module, "CallbackAssistFunc");
        library.callback2 = GetProcAddress(library.module, "CallbackAssistFunc2");
    }
    for (const CObjectKindInfo& kind : kinds)
        addKind(library, kind);
    m_libraries.push_back(CLibrary{library.module, static_cast<int32_t>(kinds.size()) - 1});
    return 0;
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
