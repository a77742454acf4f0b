// The built-in "wuvorbis.dll": each entry point forwards to libvorbisfile. The records that cross
// are our own declarations, checked here against the library's.
#include "winapi/wuvorbis.h"

#include <vorbis/vorbisfile.h>

#include <cstddef>

#include "winapi/kernel_module.h"

static_assert(sizeof(WU_OV_CALLBACKS) == sizeof(ov_callbacks));
static_assert(offsetof(WU_OV_CALLBACKS, read_func) == offsetof(ov_callbacks, read_func));
static_assert(offsetof(WU_OV_CALLBACKS, seek_func) == offsetof(ov_callbacks, seek_func));
static_assert(offsetof(WU_OV_CALLBACKS, close_func) == offsetof(ov_callbacks, close_func));
static_assert(offsetof(WU_OV_CALLBACKS, tell_func) == offsetof(ov_callbacks, tell_func));
static_assert(sizeof(WU_VORBIS_INFO) == sizeof(vorbis_info));
static_assert(offsetof(WU_VORBIS_INFO, channels) == offsetof(vorbis_info, channels));
static_assert(offsetof(WU_VORBIS_INFO, rate) == offsetof(vorbis_info, rate));
static_assert(offsetof(WU_VORBIS_INFO, codec_setup) == offsetof(vorbis_info, codec_setup));
static_assert(sizeof(vorbis_info::rate) == sizeof(WU_VORBIS_INFO::rate));
static_assert(alignof(OggVorbis_File) <= 8);

namespace {

OggVorbis_File* File(void* state)
{
    return static_cast<OggVorbis_File*>(state);
}

int QuerySize()
{
    return static_cast<int>(sizeof(OggVorbis_File));
}
int Clear(void* state)
{
    return ov_clear(File(state));
}
int OpenCallbacks(void* source, void* state, const char* initial, long initialBytes, WU_OV_CALLBACKS callbacks)
{
    ov_callbacks own{callbacks.read_func, callbacks.seek_func, callbacks.close_func, callbacks.tell_func};
    return ov_open_callbacks(source, File(state), initial, initialBytes, own);
}
long Seekable(void* state)
{
    return ov_seekable(File(state));
}
int64_t PcmTotal(void* state, int link)
{
    return ov_pcm_total(File(state), link);
}
double TimeTotal(void* state, int link)
{
    return ov_time_total(File(state), link);
}
int RawSeek(void* state, int64_t position)
{
    return ov_raw_seek(File(state), position);
}
int TimeSeek(void* state, double seconds)
{
    return ov_time_seek(File(state), seconds);
}
int64_t RawTell(void* state)
{
    return ov_raw_tell(File(state));
}
int64_t PcmTell(void* state)
{
    return ov_pcm_tell(File(state));
}
double TimeTell(void* state)
{
    return ov_time_tell(File(state));
}
WU_VORBIS_INFO* Info(void* state, int link)
{
    return reinterpret_cast<WU_VORBIS_INFO*>(ov_info(File(state), link));
}
long Read(void* state, char* buffer, int length, int bigEndian, int wordSize, int isSigned, int* link)
{
    return ov_read(File(state), buffer, length, bigEndian, wordSize, isSigned, link);
}
// The library picks its own code paths; the CPU calls are kept for the callers that make them.
void SetCpuType(int) {}
int DetectCpu()
{
    return 0;
}

// Checks each forwarder against the entry type the engine calls it through.
const winapi::BuiltinProc kProcs[] = {
    {"Query_sizeof_OggVorbis_File", winapi::ToFarProc(static_cast<WuQuerySizeFunc>(QuerySize))},
    {"wu_ov_clear", winapi::ToFarProc(static_cast<WuOvClearFunc>(Clear))},
    {"wu_ov_open_callbacks",
     winapi::ToFarProc(static_cast<WuOvOpenCallbacksFunc>(OpenCallbacks))},
    {"wu_ov_seekable", winapi::ToFarProc(static_cast<WuOvSeekableFunc>(Seekable))},
    {"wu_ov_pcm_total", winapi::ToFarProc(static_cast<WuOvPcmTotalFunc>(PcmTotal))},
    {"wu_ov_time_total", winapi::ToFarProc(static_cast<WuOvTimeTotalFunc>(TimeTotal))},
    {"wu_ov_raw_seek", winapi::ToFarProc(static_cast<WuOvRawSeekFunc>(RawSeek))},
    {"wu_ov_time_seek", winapi::ToFarProc(static_cast<WuOvTimeSeekFunc>(TimeSeek))},
    {"wu_ov_raw_tell", winapi::ToFarProc(static_cast<WuOvRawTellFunc>(RawTell))},
    {"wu_ov_pcm_tell", winapi::ToFarProc(static_cast<WuOvPcmTellFunc>(PcmTell))},
    {"wu_ov_time_tell", winapi::ToFarProc(static_cast<WuOvTimeTellFunc>(TimeTell))},
    {"wu_ov_info", winapi::ToFarProc(static_cast<WuOvInfoFunc>(Info))},
    {"wu_ov_read",
     winapi::ToFarProc(static_cast<WuOvReadFunc>(Read))},
    {"wu_SetCPUType", winapi::ToFarProc(static_cast<WuSetCpuTypeFunc>(SetCpuType))},
    {"wu_DetectCPU", winapi::ToFarProc(static_cast<WuDetectCpuFunc>(DetectCpu))},
};

} // namespace

namespace winapi {

const BuiltinProc* WuvorbisProcs(size_t* count)
{
    *count = sizeof kProcs / sizeof kProcs[0];
    return kProcs;
}

} // namespace winapi
