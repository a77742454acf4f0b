// Fuzzes the built-in Ogg decoder: the input is a whole sound file, held in memory as the
// stream-off switch holds it (seeds: small oggenc outputs). It is opened through the decoder, read
// to its end in uneven pieces, and sought back and forth, so that the file callbacks and the read
// loop run under the sanitizers over whatever libvorbisfile makes of the bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/file_manager.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "winapi/kernel.h"
#include "support/library_leaks.h"

namespace {

// The sound file of this process and a file manager to load it, removed at exit.
struct SoundFile {
    std::string folder;
    std::string path;
    CFileManager manager;
    COggDecoder* decoder;
    SoundFile()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-fuzz-ogg-" + std::to_string(getpid());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\FUZZ.OGG";
        g_pFileManager = &manager;
        SetBaseFolder(folder.c_str());
        decoder = new COggDecoder("wuvorbis.dll");
        if (!decoder->HasLibrary())
            __builtin_trap();
    }
    ~SoundFile()
    {
        delete decoder;
        g_pFileManager = nullptr;
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

SoundFile& Sound()
{
    static SoundFile file;
    return file;
}

void ReadToEnd(CDecodeStream& stream, DWORD limit)
{
    static char buffer[8192];
    DWORD pieces[] = {8192, 1, 4097, 3, 2000};
    for (int i = 0, empty = 0; !stream.IsEnd() && limit > 0 && empty < 4; ++i) {
        const DWORD got = stream.Read(buffer, pieces[i % 5]);
        if (got > pieces[i % 5])
            __builtin_trap();
        empty = got == 0 ? empty + 1 : 0;
        limit = got < limit ? limit - got : 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SoundFile& sound = Sound();
    HANDLE h = CreateFileA(sound.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(h);
    auto* file = new CFileStream;
    if (file->OpenInMemory(sound.path.c_str()) != 0) {
        file->Release();
        return 0;
    }
    int code = 0;
    CDecodeStream* stream = sound.decoder->Open(file, &code);
    if (stream == nullptr) {
        if (file->Tell() != 0)
            __builtin_trap(); // a refused file goes back to its start
        file->Release();
        return 0;
    }
    const DWORD length = stream->GetLength();
    ReadToEnd(*stream, 1u << 22);
    for (DWORD ms : {length / 2, DWORD{0}, length, length / 3 + 1}) {
        if (stream->Seek(ms) == 0) {
            stream->GetPosition();
            ReadToEnd(*stream, 1u << 16);
        }
    }
    delete stream;
    return 0;
}
