// The registry store; see registry.h.
#include "winapi/registry.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "winapi/kernel_string.h"

namespace winapi {

namespace {

struct OpenKey {
    std::string path;  // "root\path", upper-cased
};

std::mutex g_registryMutex;
std::map<std::string, std::map<std::string, std::string>>& Store()
{
    static auto* store = new std::map<std::string, std::map<std::string, std::string>>;
    return *store;
}

bool RootName(HKEY root, std::string* out)
{
    const auto value = reinterpret_cast<uintptr_t>(root);
    if (value < 0x80000000u || value > 0x80000002u)
        return false;
    *out = std::to_string(value - 0x80000000u);
    return true;
}

std::string Upper(std::string text)
{
    if (!text.empty())
        CharUpperA(text.data());
    return text;
}

} // namespace

void SetRegistryString(HKEY root, const std::string& path, const std::string& name, const char* value)
{
    std::string rootName;
    if (!RootName(root, &rootName))
        return;
    std::lock_guard lock(g_registryMutex);
    auto& values = Store()[rootName + "\\" + Upper(path)];
    if (value != nullptr)
        values[Upper(name)] = value;
    else
        values.erase(Upper(name));
}

} // namespace winapi

LONG WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    std::string rootName;
    if (result == nullptr || !winapi::RootName(root, &rootName))
        return ERROR_INVALID_HANDLE;
    const std::string path = rootName + "\\" + winapi::Upper(subKey != nullptr ? subKey : "");
    {
        std::lock_guard lock(winapi::g_registryMutex);
        auto it = winapi::Store().find(path);
        if (it == winapi::Store().end() || it->second.empty())
            return ERROR_FILE_NOT_FOUND;
    }
    *result = reinterpret_cast<HKEY>(new winapi::OpenKey{path});
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    const auto* open = reinterpret_cast<const winapi::OpenKey*>(key);
    std::string value;
    {
        std::lock_guard lock(winapi::g_registryMutex);
        auto it = winapi::Store().find(open->path);
        if (it == winapi::Store().end())
            return ERROR_FILE_NOT_FOUND;
        auto found = it->second.find(winapi::Upper(name != nullptr ? name : ""));
        if (found == it->second.end())
            return ERROR_FILE_NOT_FOUND;
        value = found->second;
    }
    if (type != nullptr)
        *type = REG_SZ;
    const DWORD needed = static_cast<DWORD>(value.size() + 1);
    if (data == nullptr) {
        if (size != nullptr)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.c_str(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key)
{
    std::string rootName;
    if (key == nullptr || winapi::RootName(key, &rootName))
        return ERROR_INVALID_HANDLE;
    delete reinterpret_cast<winapi::OpenKey*>(key);
    return ERROR_SUCCESS;
}
