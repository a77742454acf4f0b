// CFileManager decides where every file comes from: a name is made full against the base
// folder, then looked for as a loose file, under each search folder, and in the mounted archives
// (newest patch first), and handed back as a read stream or a block of memory. It also keeps the
// archive decoders (built in and "*.ADL" plug-ins).
// Codes (EAdlErrorCode): 0 success, 1 no decoder accepts the archive, 3 not found or cannot be
// opened, 5 bad name (for Mount also: archive file not found), 7 read failed, 8 no memory,
// 10 size unknown, 14 any other failure.
#pragma once

#include <list>
#include <string>

#include "files/archive.h"
#include "files/plugin_record.h"
#include "files/read_stream.h"
#include "winapi/kernel.h"

enum EAdlErrorCode {
    ADL_OK = 0,
    ADL_NO_DECODER = 1,
    ADL_LIBRARY_FAILED = 2,
    ADL_NOT_FOUND = 3,
    ADL_DECODE_OBJECT_NULL = 4,
    ADL_BAD_PATH = 5,
    ADL_SEEK_FAILED = 6,
    ADL_READ_FAILED = 7,
    ADL_NO_MEMORY = 8,
    ADL_SIZE_UNKNOWN = 10,
    ADL_EXPAND_FAILED = 12,
    ADL_OTHER = 14,
};

class CFileManager {
public:
    // Mount record; group: L > 0 heads a group sharing L leading characters, -1 ends a group,
    // 0 a middle or lone record.
    struct CMount {
        CArchive* archive = nullptr; // one reference held
        std::string prefix;          // full, lower-cased, ends with '\'
        int id = 0;
        int group = 0;
    };

    CFileManager() = default;
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;
    // Clears the search folders, unmounts everything and unloads all decoders.
    virtual ~CFileManager();

    // A read stream for name (outPath, MAX_PATH bytes, receives where it was found) or null with
    // outCode 3 / 5 / 8 / 14. With allowLoad an archive entry that cannot be streamed is loaded
    // into a CMemoryReader; without, it counts as not found.
    virtual CReadStream* Open(const char* name, char* outPath, int* outCode, bool allowLoad);
    // Loads the whole file into a block from allocate(size, record, null) → 0, 3, 5, 7 (free was
    // called), 8 (also for an empty file with the GlobalAlloc pair), 10, 14.
    virtual int LoadFile(const char* name, LoadAllocFunc allocate, LoadFreeFunc free,
                         CLoadRecord* record, char* outPath);
    virtual int GetSearchFolderCount();
    virtual void ClearSearchFolders();
    // → 0, 1 bad path, 2 no memory. The folder is made full, lower-cased, ended with '\'.
    virtual int AddSearchFolder(const char* path, bool atEnd);
    // → 0 removed, 1 bad path, -1 not found. Null path: the folder at index (negative: the last).
    virtual int RemoveSearchFolder(const char* path, int index);
    // The folder at index (negative: the last), null when index ≥ count.
    virtual const char* GetSearchFolder(int index);
    // Loose files only → 0 found, 1 bad name, 2 an absolute name that does not exist, 3 not found.
    virtual int FindFile(char* outPath, const char* name, WIN32_FIND_DATAA* outFindData);
    // → 0 opened, 1 bad name or an absolute name that cannot be opened, 2 not found.
    virtual int OpenFileHandle(HANDLE* outHandle, const char* name, bool shareRead, char* outPath);
    virtual int GetMountCount();
    virtual void UnmountAll();
    // → 0, 1 no decoder, 3 cannot open, 5 bad name or not found, 8 no memory, or the decoder's code.
    virtual int Mount(const char* name, int id, bool asFolder, bool append, CArchive** outArchive);
    // With a path: every mount of that prefix; else id -2: the mount at index (negative: the
    // last); else the first mount with that id.
    virtual void Unmount(const char* path, int id, int index);
    // id -1: the mount at index (negative: the last); else the first mount with that id; null when none.
    virtual const char* GetMountPrefix(int id, int index);
    // Entry `index` (or `name` when index is -1) of the first mount with that id → 0 (outPath =
    // prefix + name, or prefix + "%06d.DAT"), 3 no such mount, or the archive's code (free called).
    virtual int LoadArchiveEntry(int id, int index, const char* name, LoadAllocFunc allocate,
                                 LoadFreeFunc free, CLoadRecord* record, char* outPath);
    virtual CArchive* GetMountArchive(int id, int index);
    // → 0 loose file (outPath, outFindData filled), -1 only a mounted archive holds it,
    // 1 bad name, 2 not found.
    virtual int FindFileOrEntry(char* outPath, const char* name, WIN32_FIND_DATAA* outFindData);

    // Archive decoders (the common plug-in procedures).
    virtual void UnloadDecoderType(DWORD typeId);
    virtual void UnloadAllDecoders();
    // → 0, or 1 when object is null.
    virtual int RegisterDecoder(CArchiveDecoder* object, const char* extensions,
                                const char* typeString, DWORD typeId, PluginAssistFunc assist,
                                PluginAssistFunc assist2, PluginConfigFunc configDlg);
    // → plug-in loading code (0, 1, 2, 3, 4, 5).
    virtual int LoadDecoderPlugin(const char* path);
    // → the number of "*.ADL" files that failed to load, -1 for a bad folder path.
    virtual int LoadDecoderFolder(const char* folder);
    // The decoder of the first record whose extension list holds name's extension, else null.
    virtual CArchiveDecoder* FindDecoderByExtension(const char* name);
    // The second assist function of the first record with that type id, else null.
    PluginAssistFunc FindDecoderByType(DWORD typeId);

    const std::list<CMount>& GetMounts() const { return m_mounts; }

private:
    // Where a name lies: full path and whether it was absolute → 0, or 5.
    int ResolveName(const char* name, std::string* fullPath, bool* absolute);
    // The group walk: asks the archives for the lower-cased full path.
    enum class WalkMode { Stream, StreamOrLoad, Load, Exists };
    int WalkMounts(const std::string& path, WalkMode mode, CReadStream** outStream,
                   LoadAllocFunc allocate, LoadFreeFunc free, CLoadRecord* record);
    int AskArchive(CArchive* archive, const char* entry, WalkMode mode, CReadStream** outStream,
                   LoadAllocFunc allocate, CLoadRecord* record);
    void RemoveMount(std::list<CMount>::iterator it);

    std::list<std::string> m_searchFolders;
    CPluginList m_decoders;
    std::list<CMount> m_mounts;
};

extern CFileManager* g_pFileManager;
extern CFileManager* g_pSPIFileManager;
