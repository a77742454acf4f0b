#include "files/plugin_record.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include "files/path_utils.h"
#include "winapi/kernel.h"

const CPluginFamily g_AdlFamily = {
    "GetAdlType", "GetAdlTypeString", "GetAdlSupportExt", "AdlAssistFunc",
    "AdlAssistFunc2", "GetAdlDecodeObject", "AdlConfigDlg", "*.ADL",
};

namespace {

using GetWordFunc = DWORD (*)();
using GetTextFunc = const char* (*)();
using GetObjectFunc = CPluginObject* (*)();

template <typename F>
F As(FARPROC proc)
{
    return reinterpret_cast<F>(proc);
}

void DestroyRecord(CPluginRecord* record)
{
    delete record->decodeObject;
    if (record->module != nullptr)
        FreeLibrary(record->module);
    delete record;
}

} // namespace

int RegisterPlugin(CPluginList& list, CPluginObject* object, const char* extensions, const char* typeString,
                   DWORD typeId, PluginAssistFunc assist, PluginAssistFunc assist2, PluginConfigFunc configDlg)
{
    if (object == nullptr)
        return 1;
    auto* record = new CPluginRecord;
    record->typeId = typeId;
    record->typeString = typeString;
    record->extensions = extensions;
    record->decodeObject = object;
    record->assist = assist;
    record->assist2 = assist2;
    record->configDlg = configDlg;
    list.push_back(record);
    return 0;
}

int LoadPlugin(CPluginList& list, const CPluginFamily& family, const char* path)
{
    char full[MAX_PATH];
    if (path == nullptr || MakeFullPath(full, path, nullptr) == 0)
        return 1;
    auto* record = new CPluginRecord;
    record->module = LoadLibraryA(full);
    if (record->module == nullptr) {
        delete record;
        return 2;
    }
    FARPROC getType = GetProcAddress(record->module, family.getType);
    FARPROC getTypeString = GetProcAddress(record->module, family.getTypeString);
    FARPROC getSupportExt = GetProcAddress(record->module, family.getSupportExt);
    FARPROC assist = GetProcAddress(record->module, family.assist);
    FARPROC assist2 = GetProcAddress(record->module, family.assist2);
    FARPROC getDecodeObject = GetProcAddress(record->module, family.getDecodeObject);
    FARPROC configDlg = GetProcAddress(record->module, family.configDlg);
    if (!getType || !getTypeString || !getSupportExt || !assist || !assist2 || !getDecodeObject) {
        DestroyRecord(record);
        return 3;
    }
    record->assist = As<PluginAssistFunc>(assist);
    record->assist2 = As<PluginAssistFunc>(assist2);
    record->configDlg = As<PluginConfigFunc>(configDlg);
    try {
        record->typeId = As<GetWordFunc>(getType)();
        record->typeString = As<GetTextFunc>(getTypeString)();
        record->extensions = As<GetTextFunc>(getSupportExt)();
        record->decodeObject = As<GetObjectFunc>(getDecodeObject)();
    } catch (...) {
        DestroyRecord(record);
        return 5;
    }
    if (record->decodeObject == nullptr) {
        DestroyRecord(record);
        return 4;
    }
    list.push_back(record);
    return 0;
}

int LoadPluginFiles(const char* folder, const char* pattern, const std::function<int(const char*)>& load)
{
    char full[MAX_PATH];
    if (folder == nullptr || MakeFullPath(full, folder, nullptr) == 0)
        return -1;
    std::string base = full;
    if (!EndsWithSeparator(base.c_str()))
        base += '\\';
    std::string search = base + pattern;
    if (search.size() >= MAX_PATH)
        return -1;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int failed = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string path = base + data.cFileName;
        if (path.size() >= MAX_PATH || load(path.c_str()) != 0)
            ++failed;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return failed;
}

int LoadPluginLibrary(const char* path, HMODULE* outModule)
{
    *outModule = nullptr;
    char full[MAX_PATH];
    if (path == nullptr || MakeFullPath(full, path, nullptr) == 0)
        return 1;
    *outModule = LoadLibraryA(full);
    return *outModule != nullptr ? 0 : 2;
}

int LoadPluginFolder(CPluginList& list, const CPluginFamily& family, const char* folder)
{
    return LoadPluginFiles(folder, family.pattern,
                           [&](const char* path) { return LoadPlugin(list, family, path); });
}

namespace {

// The upper-cased extension of name (empty when it has none or it is too long to be one).
bool UpperExtension(const char* name, char* out, size_t outSize)
{
    char extension[MAX_PATH];
    if (name == nullptr || std::strlen(name) >= MAX_PATH)
        return false;
    GetFileExtension(name, extension);
    if (extension[0] == '\0' || std::strlen(extension) >= outSize)
        return false;
    std::memcpy(out, extension, std::strlen(extension) + 1);
    CharUpperA(out);
    return true;
}

} // namespace

CPluginRecord* FindPluginByExtension(const CPluginList& list, const char* name)
{
    char extension[MAX_PATH];
    if (!UpperExtension(name, extension, sizeof extension))
        return nullptr;
    for (CPluginRecord* record : list) {
        if (record->extensions == nullptr)
            continue;
        for (const char* entry = record->extensions; *entry != '\0'; entry += std::strlen(entry) + 1)
            if (std::strcmp(entry, extension) == 0)
                return record;
    }
    return nullptr;
}

CPluginRecord* FindPluginByType(const CPluginList& list, DWORD typeId)
{
    for (CPluginRecord* record : list)
        if (record->typeId == typeId)
            return record;
    return nullptr;
}

void UnloadPluginType(CPluginList& list, DWORD typeId)
{
    auto it = std::stable_partition(list.begin(), list.end(),
                                    [typeId](const CPluginRecord* r) { return r->typeId != typeId; });
    for (auto i = it; i != list.end(); ++i)
        DestroyRecord(*i);
    list.erase(it, list.end());
}

void UnloadAllPlugins(CPluginList& list)
{
    for (CPluginRecord* record : list)
        DestroyRecord(record);
    list.clear();
}
