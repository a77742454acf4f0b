// Fuzzes the KPK reader: the input is a whole archive file named "FUZZ.KPK" (seeds: archives made
// by `tessaro-tool kpk pack FUZZ.KPK ...` with every layout option). Opens it with entry records,
// then loads, looks up and streams the first entries.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "files/kpk_archive.h"
#include "winapi/kernel.h"

namespace {

// The archive file of this process, removed with its folder at exit.
struct ArchiveFile {
    std::string folder;
    std::string path;
    ArchiveFile()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-fuzz-" + std::to_string(getpid());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\FUZZ.KPK";
    }
    ~ArchiveFile()
    {
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

const std::string& ArchivePath()
{
    static const ArchiveFile file;
    return file.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = ArchivePath();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(h);

    g_KpkBuildRecords = 1;
    CKpkDecoder decoder;
    int code = 0;
    CArchive* archive = decoder.Open(path.c_str(), INVALID_HANDLE_VALUE, &code);
    if (archive == nullptr)
        return 0;
    DWORD count = archive->GetEntryCount();
    for (DWORD i = 0; i < count && i < 16; ++i) {
        char name[MAX_PATH];
        if (archive->GetEntry(i, name) != nullptr) {
            archive->Exists(name);
            archive->FindEntry(name);
        }
        CLoadRecord record;
        archive->LoadByIndex(i, GlobalAllocCallback, &record, nullptr, nullptr);
        GlobalFreeCallback(&record);
        if (CReadStream* stream = archive->OpenByIndex(i, &code)) {
            BYTE buffer[512];
            while (stream->Read(buffer, sizeof buffer) != 0) {
            }
            stream->SeekSet(1);
            stream->Read(buffer, 300);
            stream->SeekEnd(3);
            stream->Read(buffer, sizeof buffer);
            stream->Release();
        }
    }
    archive->Exists("script\\main.sob");
    archive->Release();
    return 0;
}
