// CPluginRecord: one registered decoder (built in or from a plug-in library), shared by the
// archive-decoder (ADL), sound-decoder (SLL) and image-loader (GLL) managers, with the common
// procedures of those managers: load a library by its seven exports, load a folder of them,
// find a decoder by extension or type id, unload.
// Loading codes (EAdlErrorCode / ESllErrorCode / EGllErrorCode numbering): 0 loaded, 1 bad path,
// 2 LoadLibraryA failed, 3 a required export is missing, 4 null decode object, 5 the plug-in failed.
#pragma once

#include <functional>
#include <vector>

#include "winapi/base.h"

// The decode objects of every family derive from this, so that the record can delete them.
class CPluginObject {
public:
    virtual ~CPluginObject() = default;
};

// Assist functions take an argument block whose first word is a command → a 32-bit answer.
using PluginAssistFunc = DWORD (*)(void* block);
// Configuration dialog export; kept in the record, never called by the managers.
using PluginConfigFunc = void (*)();

struct CPluginRecord {
    DWORD typeId = 0;
    const char* typeString = nullptr;
    const char* extensions = nullptr; // "EXT1\0EXT2\0\0": upper case, without dot
    CPluginObject* decodeObject = nullptr; // owned
    HMODULE module = nullptr;              // null for a built-in
    PluginAssistFunc assist = nullptr;
    PluginAssistFunc assist2 = nullptr;
    PluginConfigFunc configDlg = nullptr;
};

// The export names and file pattern of one family, in the loading order.
struct CPluginFamily {
    const char* getType;         // e.g. "GetAdlType"
    const char* getTypeString;   // "GetAdlTypeString"
    const char* getSupportExt;   // "GetAdlSupportExt"
    const char* assist;          // "AdlAssistFunc"
    const char* assist2;         // "AdlAssistFunc2"
    const char* getDecodeObject; // "GetAdlDecodeObject"
    const char* configDlg;       // "AdlConfigDlg" (optional)
    const char* pattern;         // "*.ADL"
};

extern const CPluginFamily g_AdlFamily;

using CPluginList = std::vector<CPluginRecord*>;

// Appends a record with no module → 0, or 1 when object is null (then nothing is kept).
int RegisterPlugin(CPluginList& list, CPluginObject* object, const char* extensions,
                   const char* typeString, DWORD typeId, PluginAssistFunc assist,
                   PluginAssistFunc assist2, PluginConfigFunc configDlg);
// Loads one plug-in library (path relative to the base folder) → loading code; a failed plug-in
// leaves no record and no loaded library.
int LoadPlugin(CPluginList& list, const CPluginFamily& family, const char* path);
// Loads every file of the family's pattern in folder → the number that failed, -1 for a bad path.
int LoadPluginFolder(CPluginList& list, const CPluginFamily& family, const char* folder);
// The first record (registration order) whose extension list holds the upper-cased extension of
// name; null when none (a name without extension matches nothing).
CPluginRecord* FindPluginByExtension(const CPluginList& list, const char* name);
// The first record with that type id, null when none.
CPluginRecord* FindPluginByType(const CPluginList& list, DWORD typeId);
// Deletes the decode object, frees the library and the record of every record with that type id.
void UnloadPluginType(CPluginList& list, DWORD typeId);
void UnloadAllPlugins(CPluginList& list);

// The folder walk of every plug-in family (also the object and SPI plug-ins): calls load(path) for
// each file of pattern (e.g. "*.DCP") in folder, made full against the base folder, in the order
// the system lists them → the number of files whose load answered non-zero, -1 for a bad folder.
int LoadPluginFiles(const char* folder, const char* pattern, const std::function<int(const char*)>& load);
// Loads the library at path (made full against the base folder) → 0, 1 bad path, 2 LoadLibraryA
// failed.
int LoadPluginLibrary(const char* path, HMODULE* outModule);
