#include "natives/file_natives.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "files/archive.h"
#include "files/file_manager.h"
#include "files/file_utilities.h"
#include "files/path_utils.h"
#include "display/app_frame.h"
#include "files/file_list.h"
#include "natives/native_args.h"
#include "natives/script_host.h"
#include "winapi/kernel_file.h"

namespace {

// Mirror sources of the texts that have no object of their own.
const char kSearchFolderText = 0;
const char kEntryNameText = 0;

// Word k as a path inside the host's roots → false (nothing to do) for null, a bad address
// (the call marked) or a path outside every root.
bool RootedPath(SobNativeArgs& args, uint32_t k, std::string* path)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    if (args.Faulted() || name == nullptr || host == nullptr)
        return false;
    return host->ResolveScriptPath(name, path);
}

// Writes text and its NUL at dst inside dst's block; the call marked when it does not fit.
bool StoreText(SobNativeArgs& args, uint32_t dst, const char* text)
{
    const size_t length = std::strlen(text);
    uint8_t* out = NativeBlockSpan(args, dst, static_cast<uint32_t>(length + 1));
    if (out == nullptr)
        return false;
    std::memcpy(out, text, length + 1);
    return true;
}

// A copy of the string of word k in a buffer the path helpers may use (MAX_PATH at least; they
// never write more than the input's length and a NUL).
bool PathBuffer(SobNativeArgs& args, uint32_t k, std::vector<char>* buffer)
{
    const std::string_view text = args.Str(k);
    if (args.Faulted())
        return false;
    buffer->assign(text.size() + MAX_PATH + 1, 0);
    std::memcpy(buffer->data(), text.data(), text.size());
    return true;
}

// The helper's result for the path of word 0 (shortened in place) and the part for word 1.
using PathSplit = void (*)(char* path, char* part);

uint32_t SplitInto(SobNativeArgs& args, PathSplit split, bool inPlace)
{
    std::vector<char> path;
    const uint32_t dst = args.U32(1);
    if (!PathBuffer(args, 0, &path))
        return 0;
    std::vector<char> part(path.size(), 0);
    split(path.data(), part.data());
    // Both destinations are checked before either is written.
    uint32_t start = 0, size = 0;
    const size_t partLength = std::strlen(part.data());
    if (dst != 0 && (!args.Memory().FindBlock(dst, &start, &size) ||
                     static_cast<uint64_t>(dst - start) + partLength + 1 > size)) {
        args.MarkFault();
        return 0;
    }
    if (inPlace)
        StoreText(args, args.U32(0), path.data()); // never longer than before
    if (dst != 0)
        StoreText(args, dst, part.data());
    return 0;
}

} // namespace

uint32_t NativeSetBaseFolder(SobNativeArgs& args)
{
    std::string path;
    if (RootedPath(args, 0, &path))
        SetBaseFolder(path.c_str());
    return 0;
}

uint32_t NativeGetBaseFolder(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    return host == nullptr ? 0 : host->MirrorString(g_BaseFolder, g_BaseFolder);
}

uint32_t NativeAddSearchFolder(SobNativeArgs& args)
{
    std::string path;
    const bool front = (args.U32(1) & 0xFF) != 0;
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    if (!RootedPath(args, 0, &path))
        return 1; // a bad path
    return static_cast<uint32_t>(g_pFileManager->AddSearchFolder(path.c_str(), !front));
}

uint32_t NativeRemoveSearchFolder(SobNativeArgs& args)
{
    const char* folder = NativeOptionalString(args, 0);
    const int32_t index = args.I32(1);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    return static_cast<uint32_t>(g_pFileManager->RemoveSearchFolder(folder, index));
}

uint32_t NativeGetSearchFolder(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t index = args.I32(0);
    if (args.Faulted() || g_pFileManager == nullptr || host == nullptr)
        return 0;
    if (index < -1)
        return static_cast<uint32_t>(g_pFileManager->GetSearchFolderCount());
    const char* folder = g_pFileManager->GetSearchFolder(index);
    return folder == nullptr ? 0 : host->MirrorString(&kSearchFolderText, folder);
}

uint32_t NativeClearSearchFolders(SobNativeArgs&)
{
    if (g_pFileManager != nullptr)
        g_pFileManager->ClearSearchFolders();
    return 0;
}

uint32_t NativeFindFile(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const uint32_t out = args.U32(1);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    uint8_t* data = nullptr;
    if (out != 0 && (data = NativeBlockSpan(args, out, sizeof(WIN32_FIND_DATAA))) == nullptr)
        return 0;
    char path[MAX_PATH] = {};
    WIN32_FIND_DATAA found = {};
    const int result = g_pFileManager->FindFile(path, name, &found);
    if (data != nullptr)
        std::memcpy(data, &found, sizeof found);
    return static_cast<uint32_t>(result);
}

uint32_t NativeFindFileOnCd(SobNativeArgs& args)
{
    NativeOptionalString(args, 0);
    return args.Faulted() ? 0 : 1; // no CD-ROM drives here
}

uint32_t NativeGetFileSize(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const uint32_t out = args.U32(1);
    if (args.Faulted() || name == nullptr)
        return 0;
    if (out != 0 && !args.Memory().Contains(out, 4)) {
        args.MarkFault();
        return 0;
    }
    const int32_t size = GetFileSizeAny(name);
    if (size < 0)
        return 0;
    if (out != 0)
        args.Memory().Store32(out, static_cast<uint32_t>(size));
    return 1;
}

uint32_t NativeMount(SobNativeArgs& args)
{
    const int32_t id = args.I32(1);
    const bool asFolder = (args.U32(2) & 0xFF) != 0, append = (args.U32(3) & 0xFF) != 0;
    std::string path;
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    if (!RootedPath(args, 0, &path))
        return args.Faulted() ? 0 : 5; // a bad name
    return static_cast<uint32_t>(g_pFileManager->Mount(path.c_str(), id, asFolder, append, nullptr));
}

uint32_t NativeUnmount(SobNativeArgs& args)
{
    const int32_t id = args.I32(0), index = args.I32(1);
    if (!args.Faulted() && g_pFileManager != nullptr)
        g_pFileManager->Unmount(nullptr, id, index);
    return 0;
}

uint32_t NativeGetMountCount(SobNativeArgs&)
{
    return g_pFileManager == nullptr ? 0 : static_cast<uint32_t>(g_pFileManager->GetMountCount());
}

uint32_t NativeUnmountAll(SobNativeArgs&)
{
    if (g_pFileManager != nullptr)
        g_pFileManager->UnmountAll();
    return 0;
}

uint32_t NativeGetMountEntryCount(SobNativeArgs& args)
{
    const int32_t id = args.I32(0);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    CArchive* archive = g_pFileManager->GetMountArchive(id, 0);
    return archive == nullptr ? 0 : archive->GetEntryCount();
}

uint32_t NativeGetMountEntryName(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t id = args.I32(0);
    const uint32_t index = args.U32(1);
    if (args.Faulted() || g_pFileManager == nullptr || host == nullptr)
        return 0;
    CArchive* archive = g_pFileManager->GetMountArchive(id, 0);
    if (archive == nullptr || index >= archive->GetEntryCount())
        return 0;
    char name[MAX_PATH] = {};
    if (archive->GetEntry(index, name) == nullptr)
        return 0;
    return host->MirrorString(&kEntryNameText, name);
}

uint32_t NativeFindFileOrEntry(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    const uint32_t out = args.U32(1);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    char path[MAX_PATH] = {};
    WIN32_FIND_DATAA found = {};
    const int result = g_pFileManager->FindFileOrEntry(path, name, &found);
    if (out != 0)
        StoreText(args, out, path); // faults (after the look-up, which changes nothing) when it does not fit
    return args.Faulted() ? 0 : static_cast<uint32_t>(result);
}

uint32_t NativeCutLastPathComponent(SobNativeArgs& args)
{
    std::vector<char> path;
    if (!PathBuffer(args, 0, &path))
        return 0;
    if (CutLastPathComponent(path.data()) != 0)
        return 1;
    StoreText(args, args.U32(0), path.data());
    return 0;
}

uint32_t NativeGetFileName(SobNativeArgs& args)
{
    return SplitInto(args, [](char* path, char* part) { GetFileName(path, part, true); }, false);
}

uint32_t NativeSplitPath(SobNativeArgs& args)
{
    return SplitInto(args, [](char* path, char* part) { SplitPath(path, part); }, true);
}

uint32_t NativeGetFileExtension(SobNativeArgs& args)
{
    return SplitInto(args, [](char* path, char* part) { GetFileExtension(path, part); }, false);
}

uint32_t NativeStripExtension(SobNativeArgs& args)
{
    return SplitInto(args, [](char* path, char* part) { StripExtension(path, part); }, true);
}

uint32_t NativeSetCurrentFolder(SobNativeArgs& args)
{
    std::string path;
    if (!RootedPath(args, 0, &path))
        return 0;
    return SetCurrentDirectoryA(path.c_str()) ? 1 : 0;
}

namespace {

void StoreOuts(SobNativeArgs& args, uint32_t first, const int* values, uint32_t count)
{
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t at = args.U32(first + k);
        if (at != 0)
            args.Memory().Store32(at, static_cast<uint32_t>(values[k]));
    }
}

// The list's names are mirrored per entry; they go when the list is rebuilt or cleared.
void ReleaseListMirrors(CScriptHostBase* host)
{
    if (host == nullptr)
        return;
    for (DWORD i = 0; i < g_ScriptFileList.GetCount(); ++i) {
        host->ReleaseMirror(g_ScriptFileList.GetEntry(i));
        host->ReleaseMirror(&g_ScriptFileList.GetEntry(i)->shortName);
    }
}

void ReleaseDropMirrors(CScriptHostBase* host)
{
    if (host == nullptr)
        return;
    for (size_t i = 0; i < g_ScriptDropFiles.GetCount(); ++i)
        host->ReleaseMirror(g_ScriptDropFiles.GetFile(i));
}

} // namespace

uint32_t NativeListFolder(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* pattern = NativeOptionalString(args, 1);
    const int32_t mode = args.I32(2);
    const bool recurse = (args.U32(3) & 0xFF) != 0;
    std::string folder;
    const bool hasFolder = !args.IsNull(0);
    if (args.Faulted())
        return 0;
    // Null: the base folder, when what lies in it lies in a root (a root itself is not inside).
    const std::string probe = std::string(g_BaseFolder) + "*";
    std::string unused;
    const bool inRoots = hasFolder ? RootedPath(args, 0, &folder)
                                   : host != nullptr && host->ResolveScriptPath(probe.c_str(), &unused);
    if (!hasFolder)
        folder = g_BaseFolder;
    if (args.Faulted())
        return 0;
    ReleaseListMirrors(host);
    g_ScriptFileList.Clear();
    if (!inRoots)
        return 0;
    return g_ScriptFileList.Build(folder.c_str(), pattern, mode, recurse);
}

uint32_t NativeListName(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t i = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    const CFileListEntry* entry = g_ScriptFileList.GetEntry(i);
    return entry == nullptr ? 0 : host->MirrorString(entry, entry->name.c_str());
}

uint32_t NativeListSecondName(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t i = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    const CFileListEntry* entry = g_ScriptFileList.GetEntry(i);
    return entry == nullptr ? 0 : host->MirrorString(&entry->shortName, entry->shortName.c_str());
}

uint32_t NativeListAttributes(SobNativeArgs& args)
{
    const uint32_t i = args.U32(0);
    if (args.Faulted())
        return 0;
    const CFileListEntry* entry = g_ScriptFileList.GetEntry(i);
    return entry == nullptr ? 0 : entry->kind;
}

uint32_t NativeListTime(SobNativeArgs& args)
{
    const uint32_t i = args.U32(0);
    if (!NativeOutCellsOk(args, 1, 7))
        return 0;
    const CFileListEntry* entry = g_ScriptFileList.GetEntry(i);
    if (entry == nullptr)
        return 0;
    const int values[7] = {entry->year, entry->month, entry->day, entry->hour, entry->minute, entry->second,
                           entry->dayOfWeek};
    StoreOuts(args, 1, values, 7);
    return 1;
}

uint32_t NativeListClear(SobNativeArgs& args)
{
    ReleaseListMirrors(NativeHost(args));
    g_ScriptFileList.Clear();
    return 0;
}

uint32_t NativeEnableDrops(SobNativeArgs& args)
{
    const bool enable = (args.U32(0) & 0xFF) != 0;
    if (!args.Faulted() && g_pAppFrame != nullptr)
        g_ScriptDropFiles.Enable(g_pAppFrame->GetMainWindow(), enable);
    return 0;
}

uint32_t NativeDroppedFile(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t i = args.I32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    if (i < 0)
        return static_cast<uint32_t>(g_ScriptDropFiles.GetCount());
    const char* name = g_ScriptDropFiles.GetFile(static_cast<size_t>(i));
    return name == nullptr ? 0 : host->MirrorString(name, name);
}

uint32_t NativeClearDrops(SobNativeArgs& args)
{
    ReleaseDropMirrors(NativeHost(args));
    g_ScriptDropFiles.Clear();
    return 0;
}

uint32_t NativeRunProcess(SobNativeArgs& args)
{
    static bool s_logged = false;
    NativeOptionalString(args, 0);
    if (args.Faulted())
        return 0;
    if (!s_logged) {
        s_logged = true;
        std::fprintf(stderr, "scripts may not run programs: the request was refused\n");
    }
    return 1; // not started
}

uint32_t NativeMakeFolder(SobNativeArgs& args)
{
    std::string path;
    if (!RootedPath(args, 0, &path))
        return args.Faulted() ? 0 : 1;
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : 2;
}

uint32_t NativeMoveFile(SobNativeArgs& args)
{
    std::string from, to;
    if (!RootedPath(args, 0, &from))
        return args.Faulted() ? 0 : 1;
    if (!RootedPath(args, 1, &to))
        return args.Faulted() ? 0 : 2;
    return MoveFileA(from.c_str(), to.c_str()) ? 0 : 3;
}

uint32_t NativeCopyFile(SobNativeArgs& args)
{
    const int32_t mode = args.I32(2);
    std::string destination, source;
    if (args.Faulted())
        return 0;
    const bool ok = RootedPath(args, 0, &destination) && RootedPath(args, 1, &source);
    if (args.Faulted())
        return 0;
    if (!ok)
        return 2; // a bad path
    return static_cast<uint32_t>(CopyFileChecked(destination.c_str(), source.c_str(), mode));
}

uint32_t NativeFileDateTime(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    if (args.Faulted() || !NativeOutCellsOk(args, 1, 7))
        return 0;
    int values[7] = {};
    const int result = GetFileDateTime(name, &values[0], &values[1], &values[2], &values[3], &values[4], &values[5],
                                       &values[6]);
    if (result == 0)
        StoreOuts(args, 1, values, 7);
    return static_cast<uint32_t>(result);
}

uint32_t PackDosTime(int64_t unixTime)
{
    if (unixTime <= 0)
        return 0;
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm local = {};
    if (localtime_r(&t, &local) == nullptr)
        return 0;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return 0;
    return static_cast<uint32_t>(year - 1980) << 25 | static_cast<uint32_t>(local.tm_mon + 1) << 21 |
           static_cast<uint32_t>(local.tm_mday) << 16 | static_cast<uint32_t>(local.tm_hour) << 11 |
           static_cast<uint32_t>(local.tm_min) << 5 | static_cast<uint32_t>(local.tm_sec / 2);
}

uint32_t NativeMountEntryInfo(SobNativeArgs& args)
{
    const int32_t id = args.I32(0);
    const uint32_t index = args.U32(1);
    if (args.Faulted() || !NativeOutCellsOk(args, 2, 5))
        return 0;
    CArchive* archive = g_pFileManager == nullptr ? nullptr : g_pFileManager->GetMountArchive(id, 0);
    if (archive == nullptr)
        return 1;
    const CArchiveEntry* entry = index < archive->GetEntryCount() ? archive->GetEntry(index, nullptr) : nullptr;
    if (entry == nullptr)
        return 2;
    const int values[5] = {static_cast<int>(entry->storedSize), static_cast<int>(entry->unpackedSize),
                           static_cast<int>(PackDosTime(entry->timeStamp)), entry->flag, entry->hasUnpackedSize ? 1 : 0};
    StoreOuts(args, 2, values, 5);
    return 0;
}
