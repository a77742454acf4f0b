#include "winapi/kernel_module.h"

#include "winapi/kernel_file.h"
#include "winapi/wuvorbis.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_set>

namespace {

struct Builtin {
    const winapi::BuiltinProc* procs;
    size_t count;
};

struct Module {
    const winapi::BuiltinProc* procs = nullptr; // built-in
    size_t count = 0;
    void* shared = nullptr; // shared object from disk
    std::string key;
    int refs = 1;
};

std::mutex g_mutex;
std::string BuiltinKey(const char* name);

// The stand-in's own modules, present from the first load.
std::map<std::string, Builtin>* MakeRegistry()
{
    auto* registry = new std::map<std::string, Builtin>;
    size_t count = 0;
    const winapi::BuiltinProc* procs = winapi::WuvorbisProcs(&count);
    (*registry)[BuiltinKey("wuvorbis.dll")] = Builtin{procs, count};
    return registry;
}

std::map<std::string, Builtin>& Registry()
{
    static auto* registry = MakeRegistry();
    return *registry;
}
std::map<std::string, Module*>& Loaded()
{
    static auto* loaded = new std::map<std::string, Module*>;
    return *loaded;
}
std::unordered_set<Module*>& Live()
{
    static auto* live = new std::unordered_set<Module*>;
    return *live;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "Z:\Game\WUVORBIS.DLL" → "wuvorbis.dll"; "tvpgl" → "tvpgl.dll".
std::string BuiltinKey(const char* name)
{
    std::string s(name);
    size_t slash = s.find_last_of("\\/:");
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    if (s.find('.') == std::string::npos)
        s += ".dll";
    return Lower(s);
}

// The file a name loads: a bare name goes to the system's library search as it stands; a path is
// a Windows path (drive Z:, Shift-JIS, any case), resolved against the disk. False: another drive.
bool HostPath(const char* name, std::string* path)
{
    if (!std::strpbrk(name, "\\/:")) {
        *path = name;
        return true;
    }
    return winapi::ResolvePath(name, path);
}

} // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string key = BuiltinKey(fileName);
    auto builtin = Registry().find(key);
    std::string file;
    if (builtin == Registry().end() && !HostPath(fileName, &file)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string loadedKey = builtin != Registry().end() ? "builtin:" + key : "file:" + file;
    auto loaded = Loaded().find(loadedKey);
    if (loaded != Loaded().end()) {
        ++loaded->second->refs;
        return reinterpret_cast<HMODULE>(loaded->second);
    }
    auto* m = new Module;
    m->key = loadedKey;
    if (builtin != Registry().end()) {
        m->procs = builtin->second.procs;
        m->count = builtin->second.count;
    } else {
        m->shared = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m->shared) {
            delete m;
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    }
    Loaded()[loadedKey] = m;
    Live().insert(m);
    return reinterpret_cast<HMODULE>(m);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* m = reinterpret_cast<Module*>(module);
    if (!Live().count(m)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (m->shared) {
        void* symbol = dlsym(m->shared, procName);
        if (!symbol)
            SetLastError(ERROR_PROC_NOT_FOUND);
        return reinterpret_cast<FARPROC>(symbol);
    }
    for (size_t i = 0; i < m->count; ++i)
        if (m->procs[i].name && std::strcmp(m->procs[i].name, procName) == 0)
            return m->procs[i].proc;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* m = reinterpret_cast<Module*>(module);
    if (!Live().count(m)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--m->refs == 0) {
        Live().erase(m);
        Loaded().erase(m->key);
        if (m->shared)
            dlclose(m->shared);
        delete m;
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    // A handle of its own that no loaded module can have.
    static char programModule;
    if (moduleName == nullptr)
        return reinterpret_cast<HMODULE>(&programModule);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

namespace winapi {

bool RegisterBuiltinModule(const char* name, const BuiltinProc* procs, size_t count)
{
    if (!name || !*name)
        return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    Registry()[BuiltinKey(name)] = Builtin{procs, count};
    return true;
}

void UnregisterBuiltinModule(const char* name)
{
    if (!name)
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    Registry().erase(BuiltinKey(name));
}

} // namespace winapi
