// The registry's read calls over a small in-process store of string values. Nothing is in it
// unless set (the DirectX version, for one, is absent); tests and the stand-in's areas put values
// with SetRegistryString.
#pragma once

#include <string>

#include "winapi/base.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define KEY_QUERY_VALUE 0x0001u
#define KEY_READ 0x20019u
#define REG_SZ 1u
#define ERROR_MORE_DATA 234L
using REGSAM = DWORD;
using PHKEY = HKEY*;

// → ERROR_SUCCESS with a key, ERROR_FILE_NOT_FOUND when no value lies under that path,
// ERROR_INVALID_HANDLE for a bad root. Paths are matched without case.
LONG WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// A string value (REG_SZ, with its NUL). ERROR_FILE_NOT_FOUND for a missing value,
// ERROR_MORE_DATA (and the size needed) when data is too small; a null data asks the size.
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG WINAPI RegCloseKey(HKEY key);

namespace winapi {
// Sets (value non-null) or removes a string value (Shift-JIS) of root\path.
void SetRegistryString(HKEY root, const std::string& path, const std::string& name, const char* value);
} // namespace winapi
