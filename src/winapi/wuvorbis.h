// "wuvorbis.dll": the Ogg Vorbis file library as the engine loads it at run time. It is a
// built-in module of the stand-in (over libvorbisfile), present in the module table from the first
// LoadLibraryA. This header declares the records and entry points that cross between engine and
// library; engine code never includes the vorbis headers themselves.
#pragma once

#include <cstddef>
#include <cstdint>

// The file callbacks record: data source reads, seeks (64-bit offsets), close, tell.
struct WU_OV_CALLBACKS {
    size_t (*read_func)(void* buffer, size_t size, size_t count, void* source);
    int (*seek_func)(void* source, int64_t offset, int whence);
    int (*close_func)(void* source);
    long (*tell_func)(void* source);
};

// The stream information record (the rate is a C long, as in the library).
struct WU_VORBIS_INFO {
    int version;
    int channels;
    long rate;
    long bitrate_upper;
    long bitrate_nominal;
    long bitrate_lower;
    long bitrate_window;
    void* codec_setup;
};

// Answers of wu_ov_read besides byte counts.
#define WU_OV_HOLE (-3)
#define WU_OV_EBADLINK (-137)

// The module's fifteen entry points, by name. `state` is the caller's block for the library's
// per-file record (at least Query_sizeof_OggVorbis_File() bytes, 8-byte aligned); link -1 means
// the whole file. Results as in the published Ogg Vorbis file interface.
using WuQuerySizeFunc = int (*)();
using WuOvClearFunc = int (*)(void* state);
using WuOvOpenCallbacksFunc = int (*)(void* source, void* state, const char* initial, long initialBytes,
                                      WU_OV_CALLBACKS callbacks);
using WuOvSeekableFunc = long (*)(void* state);
using WuOvPcmTotalFunc = int64_t (*)(void* state, int link);
using WuOvTimeTotalFunc = double (*)(void* state, int link);
using WuOvRawSeekFunc = int (*)(void* state, int64_t position);
using WuOvTimeSeekFunc = int (*)(void* state, double seconds);
using WuOvRawTellFunc = int64_t (*)(void* state);
using WuOvPcmTellFunc = int64_t (*)(void* state);
using WuOvTimeTellFunc = double (*)(void* state);
using WuOvInfoFunc = WU_VORBIS_INFO* (*)(void* state, int link);
using WuOvReadFunc = long (*)(void* state, char* buffer, int length, int bigEndian, int wordSize, int isSigned,
                              int* link);
using WuSetCpuTypeFunc = void (*)(int type);
using WuDetectCpuFunc = int (*)();

namespace winapi {

struct BuiltinProc;
// The module's entry table (registered as "wuvorbis.dll" by the module table itself).
const BuiltinProc* WuvorbisProcs(size_t* count);

} // namespace winapi
