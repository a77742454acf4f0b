// CGllManager: the image-loader manager. It keeps the loaders (built-in BMP type 1 and ELG type 2,
// GLL plug-ins from a folder of shared objects), picks one by a file's extension or by its first
// bytes, loads into caller memory, into pictures and through the picture cache, and saves through
// a loader that can write.
// Plug-in loading codes: 0, 1 bad path, 2 LoadLibraryA failed, 3 export missing, 4 null load
// object, 5 anything else. Load codes: 0, 1 no loader, 3 bad data, 4 bad arguments, 6 no memory,
// 9 conversion failed, -1 aborted, -3 file not found or not creatable (see EGllErrorCode).
#pragma once

#include <cstdint>

#include "files/image_cache.h"
#include "files/image_loader.h"
#include "files/loaded_picture.h"
#include "files/plugin_record.h"

// Export names and file pattern of the GLL family.
extern const CPluginFamily g_GllFamily;

class CGllManager {
public:
    CGllManager() = default;
    CGllManager(const CGllManager&) = delete;
    CGllManager& operator=(const CGllManager&) = delete;
    // Unloads every loader, then empties the cache.
    virtual ~CGllManager();

    // Removes every record of the type: its loader released, its library freed.
    virtual void UnloadType(DWORD typeId);
    virtual void UnloadAll();
    // Appends a built-in loader → 0, 1 null object, 2 no memory (the object is then released).
    virtual int Register(CImageLoader* object, const char* extensions, const char* typeString, DWORD typeId,
                         PluginAssistFunc assist, PluginAssistFunc assist2, PluginConfigFunc configDlg);
    // Loads one GLL plug-in (path relative to the base folder) → plug-in loading code.
    virtual int LoadPlugin(const char* path);
    // Loads every "*.GLL" of folder → the number that failed, -1 for a bad folder path.
    virtual int LoadFolder(const char* folder);
    // The first loader (registration order) that recognises the data, or null.
    virtual CImageLoader* FindSupporting(const BYTE* header, DWORD size, const char* name);
    // The first loader listing name's upper-cased extension (and able to save, when asked), or null.
    virtual CImageLoader* FindByExtension(const char* name, bool requireCanSave);
    // The loader of the first record with that type id, or null.
    virtual CImageLoader* FindPluginByType(DWORD typeId);
    // Loads data with the loader that recognises it → load code (the failing loader's own code
    // when one recognised the data but could not load it). Optional outputs: placement offset and
    // extension data (the caller takes it over; free with std::free).
    virtual int LoadImageFromMemory(const BYTE* data, DWORD size, GllAllocateFunc allocate, GllReleaseFunc release,
                                    void* allocateUser, BOOL eightBit, GllProgressFunc progress, void* progressUser,
                                    const char* name, int* outX, int* outY, void** outExtra, DWORD* outExtraSize);
    // Loads a file through the file manager: by extension first, then by header → load code.
    virtual int LoadImage(const char* name, GllAllocateFunc allocate, GllReleaseFunc release, void* allocateUser,
                          BOOL eightBit, GllProgressFunc progress, void* progressUser, int* outX, int* outY,
                          void** outExtra, DWORD* outExtraSize);
    // A new picture (count 0) from data, with the given loader or the one that recognises it.
    virtual CLoadedPicture* LoadPictureFromMemory(const BYTE* data, DWORD size, CImageLoader* loader);
    // The cached picture of name, or a newly loaded one (cached when the cache is on); the caller
    // holds one reference. Null when not found or not loadable.
    virtual CLoadedPicture* GetOrLoadCachedImage(const char* name);
    // Writes an image with the loader of typeId (0: by name's extension, one that can save) →
    // 1 no such loader, -3 cannot create the file, or the loader's code (the file is deleted on
    // failure).
    virtual int SaveImage(const char* name, int mode, const void* pixels, int width, int height, int bits, int pitch,
                          const BYTE* palette, DWORD typeId, GllProgressFunc progress, void* progressUser);

    // The budget rule alone: bytes for a setting and a physical memory size.
    static uint64_t ComputeCacheBudget(int megabytes, uint64_t totalPhysical);
    // Sets the budget in bytes (0 empties the cache), evicting down to it.
    void SetCacheBudget(uint64_t bytes);
    // The budget from a setting in megabytes (negative: automatic, 0: off) and the machine's
    // physical memory (read in 64 bits, so settings above 4 GB work on large machines).
    void SetCacheBudgetFromMemory(int megabytes);
    uint64_t GetCacheBudget() const;
    // → 0 added (one reference taken), 1 null argument, 2 cache off, -1 already cached (it
    // becomes the most recent; nothing added).
    int AddCachedImage(CLoadedPicture* picture, const char* name);
    // The cached picture with one more reference, or null.
    CLoadedPicture* LookupCachedImage(const char* name);
    // → 0 cached, 1 cache off, 2 not loadable.
    int PreloadCachedImage(const char* name);
    PluginAssistFunc GetAssistFunc2ByType(DWORD typeId);

    const CImageCacheTable& GetCache() const { return m_cache; }

private:
    int LoadViaPicture(CImageLoader* loader, const BYTE* data, DWORD size, const char* name,
                       GllAllocateFunc allocate, void* allocateUser, BOOL eightBit, int* outX, int* outY,
                       void** outExtra, DWORD* outExtraSize);
    void InsertAndEvict(const char* key, CLoadedPicture* picture);
    void Evict(uint64_t limit);

    CPluginList m_records;
    CImageCacheTable m_cache;
};

// Registers the built-in loaders as the game does at start-up: BMP (type 1, "BMP", "Bitmap format")
// then ELG (type 2, "ELG", "ELG format") → 0, or the first failing Register code.
int RegisterBuiltinImageLoaders(CGllManager& manager);

extern CGllManager* g_pGllManager;
extern CGllManager* g_pSPIGllManager;
