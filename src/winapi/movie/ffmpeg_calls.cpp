// Opening FFmpeg at the first movie (see ffmpeg_calls.h).
#include "winapi/movie/ffmpeg_calls.h"

#include <dlfcn.h>

#include <cstdio>

namespace winapi::movie {

namespace {

#define TESSARO_SONAME(lib, major) "lib" lib ".so." AV_STRINGIFY(major)
// Dependencies first, so that each library finds the ones it needs already open.
const char* const kLibraries[] = {
    TESSARO_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),   TESSARO_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    TESSARO_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR), TESSARO_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    TESSARO_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};
#undef TESSARO_SONAME
constexpr size_t kLibraryCount = sizeof kLibraries / sizeof kLibraries[0];

// The address of `name` in the first library that has it; null when none does.
void* Find(void* const (&handles)[kLibraryCount], const char* name)
{
    for (void* handle : handles)
        if (void* address = dlsym(handle, name))
            return address;
    return nullptr;
}

bool Load(FfmpegCalls* calls)
{
    void* handles[kLibraryCount] = {};
    for (size_t i = 0; i < kLibraryCount; ++i) {
        // Local: FFmpeg's names stay out of the program's own lookups.
        handles[i] = dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL);
        if (handles[i] == nullptr) {
            // Said once: every movie of the run then fails to open.
            std::fprintf(stderr, "tessaro: movies cannot play: %s\n", dlerror());
            return false;
        }
    }
    bool complete = true;
#define TESSARO_FFMPEG_FIND(name)                                                \
    calls->name = reinterpret_cast<decltype(calls->name)>(Find(handles, #name)); \
    complete = complete && calls->name != nullptr;
    TESSARO_FFMPEG_CALLS(TESSARO_FFMPEG_FIND)
#undef TESSARO_FFMPEG_FIND
    if (!complete) {
        std::fprintf(stderr, "tessaro: movies cannot play: FFmpeg lacks a call the movie libraries use\n");
        return false;
    }
    // Damaged or odd files are our callers' errors to report, not FFmpeg's to print.
    calls->av_log_set_level(AV_LOG_FATAL);
    return true;
}

} // namespace

const FfmpegCalls* OpenFfmpeg()
{
    static FfmpegCalls calls;
    static const bool loaded = Load(&calls);
    return loaded ? &calls : nullptr;
}

} // namespace winapi::movie
