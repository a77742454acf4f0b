// The image-loader manager and its picture cache.
#include "files/gll_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "files/bmp_convert.h"
#include "files/bmp_loader.h"
#include "files/elg_loader.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/path_utils.h"
#include "winapi/kernel.h"

const CPluginFamily g_GllFamily = {"GetGllType",       "GetGllTypeString", "GetGllSupportExt", "GllAssistFunc",
                                   "GllAssistFunc2",   "GetGllLoadObject", "GllConfigDlg",     "*.GLL"};

CGllManager* g_pGllManager = nullptr;
CGllManager* g_pSPIGllManager = nullptr;

// Plug-in loaders have the loader's layout and slot order but are not objects of the engine's C++
// type, so the sanitizer's dynamic-type check does not apply where the manager reaches into them.
#define GLL_PLUGIN_CALLS __attribute__((no_sanitize("vptr")))

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;

GLL_PLUGIN_CALLS inline CImageLoader* LoaderOf(const CPluginRecord* record)
{
    return static_cast<CImageLoader*>(record->decodeObject);
}

// Lower-cased copy of name into key (MAX_PATH bytes) → false when it does not fit.
bool LowerKey(const char* name, char* key)
{
    const size_t length = std::strlen(name);
    if (length >= MAX_PATH)
        return false;
    std::memcpy(key, name, length + 1);
    CharLowerA(key);
    return true;
}

// Hands a successful load's placement to the caller, and the loader's extension data when both
// of its outputs are given.
GLL_PLUGIN_CALLS void HandOverResults(CImageLoader* loader, int* outX, int* outY, void** outExtra,
                                      DWORD* outExtraSize)
{
    if (outX != nullptr)
        *outX = loader->GetX();
    if (outY != nullptr)
        *outY = loader->GetY();
    if (outExtra == nullptr || outExtraSize == nullptr || loader->GetExtraSize() == 0)
        return;
    const DWORD size = loader->GetExtraSize();
    *outExtra = loader->GetExtraData(TRUE);
    *outExtraSize = size;
}

DWORD WriteToFileStream(const void* data, DWORD bytes, void* user)
{
    return static_cast<CFileStream*>(user)->Write(data, bytes);
}

// Entries of the DIB's colour table (bit counts up to 8), at most 256.
DWORD ColourCount(const BITMAPINFOHEADER* h)
{
    if (h->biBitCount > 8)
        return 0;
    const DWORD most = 1u << h->biBitCount;
    return h->biClrUsed == 0 || h->biClrUsed > most ? most : h->biClrUsed;
}

}  // namespace

CGllManager::~CGllManager()
{
    UnloadAll();
    m_cache.Clear();
}

GLL_PLUGIN_CALLS void CGllManager::UnloadType(DWORD typeId)
{
    auto keep = m_records.begin();
    for (CPluginRecord* record : m_records) {
        if (record->typeId != typeId) {
            *keep++ = record;
            continue;
        }
        if (record->decodeObject != nullptr)
            LoaderOf(record)->Release();
        if (record->module != nullptr)
            FreeLibrary(record->module);
        delete record;
    }
    m_records.erase(keep, m_records.end());
}

GLL_PLUGIN_CALLS void CGllManager::UnloadAll()
{
    for (CPluginRecord* record : m_records) {
        if (record->decodeObject != nullptr)
            LoaderOf(record)->Release();
        if (record->module != nullptr)
            FreeLibrary(record->module);
        delete record;
    }
    m_records.clear();
}

int CGllManager::Register(CImageLoader* object, const char* extensions, const char* typeString, DWORD typeId,
                          PluginAssistFunc assist, PluginAssistFunc assist2, PluginConfigFunc configDlg)
{
    if (object == nullptr)
        return 1;
    auto* record = new (std::nothrow) CPluginRecord;
    if (record == nullptr) {
        object->Release();
        return 2;
    }
    record->typeId = typeId;
    record->typeString = typeString;
    record->extensions = extensions;
    record->decodeObject = object;
    record->assist = assist;
    record->assist2 = assist2;
    record->configDlg = configDlg;
    try {
        m_records.push_back(record);
    } catch (...) {
        delete record;
        object->Release();
        return 2;
    }
    return 0;
}

GLL_PLUGIN_CALLS CImageLoader* CGllManager::FindSupporting(const BYTE* header, DWORD size, const char* name)
{
    for (CPluginRecord* record : m_records)
        if (record->decodeObject != nullptr && LoaderOf(record)->IsSupported(header, size, name))
            return LoaderOf(record);
    return nullptr;
}

GLL_PLUGIN_CALLS CImageLoader* CGllManager::FindByExtension(const char* name, bool requireCanSave)
{
    if (name == nullptr || std::strlen(name) >= MAX_PATH)
        return nullptr;
    char ext[MAX_PATH];
    GetFileExtension(name, ext);
    if (ext[0] == 0)
        return nullptr;
    CharUpperA(ext);
    for (CPluginRecord* record : m_records) {
        if (record->extensions == nullptr || record->decodeObject == nullptr)
            continue;
        for (const char* e = record->extensions; *e != 0; e += std::strlen(e) + 1) {
            if (std::strcmp(e, ext) != 0)
                continue;
            if (!requireCanSave || LoaderOf(record)->CanSave())
                return LoaderOf(record);
            break;
        }
    }
    return nullptr;
}

GLL_PLUGIN_CALLS CImageLoader* CGllManager::FindPluginByType(DWORD typeId)
{
    for (CPluginRecord* record : m_records)
        if (record->typeId == typeId)
            return LoaderOf(record);
    return nullptr;
}

PluginAssistFunc CGllManager::GetAssistFunc2ByType(DWORD typeId)
{
    for (CPluginRecord* record : m_records)
        if (record->typeId == typeId)
            return record->assist2;
    return nullptr;
}

GLL_PLUGIN_CALLS int CGllManager::LoadImageFromMemory(const BYTE* data, DWORD size, GllAllocateFunc allocate, GllReleaseFunc release,
                                     void* allocateUser, BOOL eightBit, GllProgressFunc progress, void* progressUser,
                                     const char* name, int* outX, int* outY, void** outExtra, DWORD* outExtraSize)
{
    CImageLoader* loader = FindSupporting(data, size, name);
    if (loader == nullptr)
        return kGllNotSupported;
    const int r = loader->Load(data, size, allocate, allocateUser, eightBit, progress, progressUser);
    if (r == kGllOk) {
        HandOverResults(loader, outX, outY, outExtra, outExtraSize);
        return kGllOk;
    }
    if (r == kGllUseLoadPicture) {
        const int code = LoadViaPicture(loader, data, size, name, allocate, allocateUser, eightBit, outX, outY,
                                        outExtra, outExtraSize);
        // What the failed attempt allocated goes back, as after a failed Load.
        if (code != kGllOk && release != nullptr)
            release(allocateUser);
        return code;
    }
    if (release != nullptr)
        release(allocateUser);
    // The loader recognised the data but could not load it: its own code says why (bad data, no
    // memory, aborted) rather than "no loader".
    return r;
}

GLL_PLUGIN_CALLS int CGllManager::LoadViaPicture(CImageLoader* loader, const BYTE* data, DWORD size, const char* name,
                                GllAllocateFunc allocate, void* allocateUser, BOOL eightBit, int* outX, int* outY,
                                void** outExtra, DWORD* outExtraSize)
{
    if (allocate == nullptr)
        return kGllBadArguments;
    CLoadedPicture* picture = LoadPictureFromMemory(data, size, loader);
    if (picture == nullptr)
        return kGllNotSupported;
    if (name != nullptr && m_cache.m_budget != 0)
        AddCachedImage(picture, name);

    const BITMAPINFOHEADER* h = picture->GetHeader();
    int code = kGllOk;
    // A plug-in's bitmap may be stored top-down (negative height); the conversions read both.
    const LONG height = h == nullptr ? 0 : (h->biHeight < 0 ? -h->biHeight : h->biHeight);
    if (h == nullptr || picture->GetBits() == nullptr || h->biWidth <= 0 || height <= 0) {
        code = kGllConvertFailed;
    } else {
        const bool hasAlpha = h->biBitCount == 32;
        const DWORD colours = ColourCount(h);
        int pitch = 0;
        BYTE* palette = nullptr;
        const bool wantPalette = eightBit && colours != 0;
        auto* dst = static_cast<BYTE*>(allocate(h->biWidth, height, eightBit ? 8 : 32, hasAlpha ? TRUE : FALSE,
                                                &pitch, wantPalette ? &palette : nullptr, allocateUser));
        if (dst == nullptr || (wantPalette && palette == nullptr)) {
            code = kGllNoMemory;
        } else if (pitch < static_cast<int64_t>(h->biWidth) * (eightBit ? 1 : 4)) {
            code = kGllBadData;
        } else {
            if (wantPalette) {
                std::memset(palette, 0, 1024);
                std::memcpy(palette, reinterpret_cast<const BYTE*>(h) + h->biSize, 4 * colours);
            }
            const EBitmapConversion kind = eightBit ? kConvertTo8 : (hasAlpha ? kConvertTo32 : kConvertTo32NoAlpha);
            if (!ConvertBitmapRows(dst, pitch, kind, h, picture->GetBits(), static_cast<int>(picture->m_stride),
                                   h->biWidth, height))
                code = kGllConvertFailed;
        }
    }
    if (code == kGllOk) {
        if (outX != nullptr)
            *outX = picture->GetX();
        if (outY != nullptr)
            *outY = picture->GetY();
        if (outExtra != nullptr && outExtraSize != nullptr && picture->GetExtraSize() != 0) {
            const DWORD extraSize = picture->GetExtraSize();
            if (picture->m_refCount == 0) {
                *outExtra = picture->GetExtraData(TRUE);
            } else {
                // The cache still holds the picture: hand over a copy.
                *outExtra = std::malloc(extraSize);
                if (*outExtra != nullptr)
                    std::memcpy(*outExtra, picture->GetExtraData(FALSE), extraSize);
            }
            *outExtraSize = *outExtra != nullptr ? extraSize : 0;
        }
    }
    picture->Release();
    return code;
}

GLL_PLUGIN_CALLS CLoadedPicture* CGllManager::LoadPictureFromMemory(const BYTE* data, DWORD size, CImageLoader* loader)
{
    if (loader == nullptr)
        loader = FindSupporting(data, size, nullptr);
    if (loader == nullptr)
        return nullptr;
    HGLOBAL info = nullptr;
    HGLOBAL bits = nullptr;
    if (loader->LoadPicture(data, size, &info, &bits, nullptr, nullptr) != kGllOk)
        return nullptr;
    auto* picture = new (std::nothrow) CLoadedPicture;
    if (picture == nullptr) {
        GlobalFree(info);
        GlobalFree(bits);
        return nullptr;
    }
    picture->m_info = info;
    picture->m_bits = bits;
    picture->m_pictureSize = loader->m_pictureSize;
    picture->m_stride = loader->m_stride;
    picture->SetOffset(loader->GetX(), loader->GetY());
    const DWORD extraSize = loader->GetExtraSize();
    if (extraSize != 0)
        picture->SetExtraData(loader->GetExtraData(TRUE), extraSize);
    return picture;
}

void CGllManager::InsertAndEvict(const char* key, CLoadedPicture* picture)
{
    if (m_cache.Insert(key, picture) == nullptr)
        return;  // out of memory: the picture is simply not cached
    picture->AddRef();
    m_cache.m_total += picture->m_pictureSize;
    Evict(std::max<uint64_t>(m_cache.m_budget, picture->m_pictureSize));
}

void CGllManager::Evict(uint64_t limit)
{
    while (m_cache.m_total > limit && m_cache.EvictOldest()) {
    }
}

int CGllManager::AddCachedImage(CLoadedPicture* picture, const char* name)
{
    if (picture == nullptr || name == nullptr)
        return 1;
    if (m_cache.m_budget == 0)
        return 2;
    char key[MAX_PATH];
    if (!LowerKey(name, key))
        return 1;
    if (CNameHashEntry* entry = m_cache.Find(key)) {
        m_cache.Touch(entry);
        return -1;
    }
    InsertAndEvict(key, picture);
    return 0;
}

CLoadedPicture* CGllManager::LookupCachedImage(const char* name)
{
    if (m_cache.m_budget == 0 || name == nullptr)
        return nullptr;
    char key[MAX_PATH];
    if (!LowerKey(name, key))
        return nullptr;
    CNameHashEntry* entry = m_cache.Find(key);
    if (entry == nullptr)
        return nullptr;
    m_cache.Touch(entry);
    entry->value->AddRef();
    return entry->value;
}

uint64_t CGllManager::ComputeCacheBudget(int megabytes, uint64_t totalPhysical)
{
    if (megabytes < 0) {
        uint64_t mb;
        if (totalPhysical <= 96 * kMegabyte)
            mb = 0;
        else if (totalPhysical <= 128 * kMegabyte)
            mb = 10;
        else if (totalPhysical <= 192 * kMegabyte)
            mb = 20;
        else if (totalPhysical <= 256 * kMegabyte)
            mb = 30;
        else if (totalPhysical <= 512 * kMegabyte)
            mb = 64;
        else
            mb = 80;
        return std::min(mb * kMegabyte, totalPhysical);
    }
    return std::min(static_cast<uint64_t>(megabytes) * kMegabyte, totalPhysical / 2);
}

void CGllManager::SetCacheBudgetFromMemory(int megabytes)
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    uint64_t total = GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
    SetCacheBudget(ComputeCacheBudget(megabytes, total));
}

uint64_t CGllManager::GetCacheBudget() const
{
    return m_cache.m_budget;
}

void CGllManager::SetCacheBudget(uint64_t bytes)
{
    m_cache.m_budget = bytes;
    if (bytes == 0) {
        m_cache.Clear();
        m_cache.m_total = 0;
        return;
    }
    Evict(bytes);
}


int CGllManager::LoadPlugin(const char* path)
{
    return ::LoadPlugin(m_records, g_GllFamily, path);
}

int CGllManager::LoadFolder(const char* folder)
{
    return LoadPluginFolder(m_records, g_GllFamily, folder);
}

GLL_PLUGIN_CALLS int CGllManager::LoadImage(const char* name, GllAllocateFunc allocate, GllReleaseFunc release, void* allocateUser,
                           BOOL eightBit, GllProgressFunc progress, void* progressUser, int* outX, int* outY,
                           void** outExtra, DWORD* outExtraSize)
{
    CFileStream file;
    if (name == nullptr || file.OpenInMemory(name) != 0)
        return kGllFileError;
    const auto* data = static_cast<const BYTE*>(file.GetBuffer());
    const DWORD size = file.GetSize();
    if (CImageLoader* loader = FindByExtension(name, false)) {
        const int r = loader->Load(data, size, allocate, allocateUser, eightBit, progress, progressUser);
        if (r == kGllOk) {
            HandOverResults(loader, outX, outY, outExtra, outExtraSize);
            return kGllOk;
        }
        if (r == kGllUseLoadPicture &&
            LoadViaPicture(loader, data, size, name, allocate, allocateUser, eightBit, outX, outY, outExtra,
                           outExtraSize) == kGllOk)
            return kGllOk;
        // The failed attempt's memory goes back before the loader by header allocates again.
        if (release != nullptr)
            release(allocateUser);
    }
    return LoadImageFromMemory(data, size, allocate, release, allocateUser, eightBit, progress, progressUser,
                               nullptr, outX, outY, outExtra, outExtraSize);
}

CLoadedPicture* CGllManager::GetOrLoadCachedImage(const char* name)
{
    if (name == nullptr)
        return nullptr;
    char key[MAX_PATH] = {};
    const bool cacheOn = m_cache.m_budget != 0;
    if (cacheOn) {
        if (g_pFileManager == nullptr)
            return nullptr;
        char resolved[MAX_PATH] = {};
        WIN32_FIND_DATAA findData;
        const int found = g_pFileManager->FindFileOrEntry(resolved, name, &findData);
        if (found != 0 && found != -1)
            return nullptr;
        // The resolved path names the loose file or, for a picture only an archive holds, that
        // archive entry; an empty one would make every such picture share one key.
        if (resolved[0] == 0 && MakeFullPath(resolved, name, nullptr) == 0)
            return nullptr;
        if (!LowerKey(resolved, key))
            return nullptr;
        if (CNameHashEntry* entry = m_cache.Find(key)) {
            m_cache.Touch(entry);
            entry->value->AddRef();
            return entry->value;
        }
    }
    CFileStream file;
    if (file.OpenInMemory(name) != 0)
        return nullptr;
    const auto* data = static_cast<const BYTE*>(file.GetBuffer());
    const DWORD size = file.GetSize();
    CLoadedPicture* picture = nullptr;
    if (CImageLoader* loader = FindByExtension(name, false))
        picture = LoadPictureFromMemory(data, size, loader);
    if (picture == nullptr)
        picture = LoadPictureFromMemory(data, size, nullptr);
    if (picture != nullptr && cacheOn)
        InsertAndEvict(key, picture);
    return picture;
}

int CGllManager::PreloadCachedImage(const char* name)
{
    if (m_cache.m_budget == 0)
        return 1;
    CLoadedPicture* picture = GetOrLoadCachedImage(name);
    if (picture == nullptr)
        return 2;
    picture->Release();
    return 0;
}

GLL_PLUGIN_CALLS int CGllManager::SaveImage(const char* name, int mode, const void* pixels, int width, int height, int bits, int pitch,
                           const BYTE* palette, DWORD typeId, GllProgressFunc progress, void* progressUser)
{
    CImageLoader* loader = typeId != 0 ? FindPluginByType(typeId) : FindByExtension(name, true);
    if (loader == nullptr || name == nullptr)
        return kGllNotSupported;
    CFileStream file;
    if (file.Create(name, true) != 0)
        return kGllFileError;
    const int r = loader->Save(mode, pixels, width, height, bits, pitch, WriteToFileStream, &file, palette, progress,
                               progressUser);
    if (r != kGllOk) {
        char path[MAX_PATH];
        std::memcpy(path, file.GetPath(), MAX_PATH);
        path[MAX_PATH - 1] = 0;
        file.Close();
        DeleteFileA(path);
    }
    return r;
}

int RegisterBuiltinImageLoaders(CGllManager& manager)
{
    static const char kBmpExtensions[] = "BMP\0";
    static const char kElgExtensions[] = "ELG\0";
    int code = manager.Register(new (std::nothrow) CBmpLoader, kBmpExtensions, "Bitmap format", 1, nullptr, nullptr,
                                nullptr);
    if (code != 0)
        return code;
    return manager.Register(new (std::nothrow) CElgLoader, kElgExtensions, "ELG format", 2, nullptr, nullptr,
                            nullptr);
}
