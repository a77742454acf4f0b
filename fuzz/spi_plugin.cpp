// Fuzzes the SPI adapters with a fake plug-in, registered as a built-in module, that takes every
// answer from the input in the order the adapters ask: the kind (image, archive, or a version
// string), the pattern list and description (up to 300 bytes, so without NUL past 255), then for
// an image plug-in up to four pictures loaded through the image-loader manager (each: 8-bit or
// 32-bit, cache on or off, GetPicture's answer and its info and bits blocks), for an archive
// plug-in the build-records switch, GetArchiveInfo's answer and record block, and for each of the
// first entries GetFile's block (loaded by name) and answer (extracted into a folder).
// A block is: kind (none, fixed, moveable, stray, the info block again), a size word, its bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/spi_archive.h"
#include "files/spi_plugin.h"
#include "support/fuzz_input.h"
#include "support/picture_target.h"
#include "winapi/kernel.h"

namespace {

FuzzInput* g_in = nullptr;
int g_stray = 0;

std::string Text()
{
    std::string text;
    for (int n = g_in->Small(300); n > 0; --n)
        text += static_cast<char>(g_in->pos < g_in->size ? g_in->data[g_in->pos++] : 0);
    return text;
}

HLOCAL Block(HLOCAL info)
{
    const int kind = g_in->Small(5);
    if (kind == 0)
        return nullptr;
    if (kind == 3)
        return &g_stray;
    if (kind == 4)
        return info;
    const size_t size = g_in->U32() % (1u << 18);
    HLOCAL block = LocalAlloc(kind == 1 ? LMEM_FIXED : LHND, size);
    if (block == nullptr)
        return nullptr;
    auto* bytes = static_cast<uint8_t*>(LocalLock(block));
    const size_t n = std::min(size, g_in->size - std::min(g_in->pos, g_in->size));
    std::memcpy(bytes, g_in->data + g_in->pos, n);
    g_in->pos += n;
    LocalUnlock(block);
    return block;
}

std::string g_version;
std::string g_patterns;
std::string g_description;

int GetPluginInfo(int infoNo, char* buffer, int length)
{
    const std::string& text = infoNo == 0 ? g_version : infoNo == 2 ? g_patterns : g_description;
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), static_cast<size_t>(length)));
    return 0;
}
int IsSupported(const char*, const void* head)
{
    return static_cast<const char*>(head)[2047] == 0;
}
int GetPicture(const char*, intptr_t, unsigned, HLOCAL* info, HLOCAL* bits, SpiProgressFunc progress, intptr_t user)
{
    const int answer = g_in->Small(4) == 3 ? 1 : 0;
    *info = Block(nullptr);
    *bits = Block(*info);
    progress(0, 1, user);
    return answer;
}
int GetArchiveInfo(const char*, intptr_t, unsigned, HLOCAL* info)
{
    const int answer = g_in->Small(4) == 3 ? 1 : 0;
    *info = Block(nullptr);
    return answer;
}
int GetFile(const char*, intptr_t, char* destination, unsigned flag, SpiProgressFunc progress, intptr_t user)
{
    const int answer = g_in->Small(4) == 3 ? 1 : 0;
    progress(0, 1, user);
    if (flag == kSpiOutputMemory)
        *reinterpret_cast<HLOCAL*>(destination) = Block(nullptr);
    return answer;
}

const winapi::BuiltinProc kModule[] = {
    {"GetPluginInfo", winapi::ToFarProc(GetPluginInfo)}, {"IsSupported", winapi::ToFarProc(IsSupported)},
    {"GetPicture", winapi::ToFarProc(GetPicture)},       {"GetArchiveInfo", winapi::ToFarProc(GetArchiveInfo)},
    {"GetFile", winapi::ToFarProc(GetFile)},
};

// The base folder (a folder of this process, with the archive file the mount asks for).
struct Folder {
    std::string path;
    Folder()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "tessaro-fuzz-spi-" + std::to_string(getpid()) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
        CreateDirectoryA((path + "out").c_str(), nullptr);
        HANDLE h = CreateFileA((path + "FUZZ.HST").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(h);
        SetBaseFolder(path.c_str());
        winapi::RegisterBuiltinModule("fuzz.spi", kModule, std::size(kModule));
    }
    ~Folder()
    {
        DeleteFileA((path + "FUZZ.HST").c_str());
        RemoveDirectoryA((path + "out").c_str());
        RemoveDirectoryA(path.c_str());
    }
};

void Pictures(CGllManager& gll)
{
    static const BYTE kData[16] = {'P', '6'};
    for (int rounds = g_in->Small(4) + 1; rounds > 0 && !g_in->AtEnd(); --rounds) {
        const BOOL eightBit = g_in->Small(2);
        gll.SetCacheBudget(g_in->Small(2) ? 1u << 20 : 0);
        PictureTarget target;
        gll.LoadImageFromMemory(kData, sizeof kData, PictureTarget::Allocate, nullptr, &target, eightBit, nullptr,
                                nullptr, "fuzz.hst", nullptr, nullptr, nullptr, nullptr);
    }
}

void Archive(CFileManager& files)
{
    DWORD assist[2] = {0, static_cast<DWORD>(g_in->Small(2))};
    SpiAssistFunc(assist);
    if (files.Mount("FUZZ.HST", 1, true, true, nullptr) != 0)
        return;
    CArchive* archive = files.GetMountArchive(1, 0);
    archive->GetEntryTable();
    for (DWORD i = 0; i < archive->GetEntryCount() && i < 8; ++i) {
        char name[MAX_PATH];
        if (archive->GetEntry(i, name) == nullptr)
            continue;
        const std::string path = std::string("fuzz\\") + name;
        char where[MAX_PATH];
        WIN32_FIND_DATAA found;
        files.FindFileOrEntry(where, path.c_str(), &found);
        CLoadRecord record;
        files.LoadFile(path.c_str(), GlobalAllocCallback, GlobalFreeCallback, &record, nullptr);
        GlobalFreeCallback(&record);
        archive->ExtractByIndex(i, "out", nullptr, nullptr);
    }
    archive->ExtractByName("none", "out", nullptr, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Folder folder;
    FuzzInput in{data, size};
    g_in = &in;
    const int kind = in.Small(3);
    g_version = kind == 0 ? "00IN" : kind == 1 ? "00AM" : Text();
    g_patterns = Text();
    g_description = Text();
    CFileManager files;
    CGllManager gll;
    g_pSPIFileManager = &files;
    g_pSPIGllManager = &gll;
    if (LoadSPIPlugin("fuzz.spi", true, true) == 0) {
        if (kind == 0)
            Pictures(gll);
        else
            Archive(files);
    }
    g_pSPIFileManager = nullptr;
    g_pSPIGllManager = nullptr;
    g_SpiBuildRecords = 0;
    return 0;
}
