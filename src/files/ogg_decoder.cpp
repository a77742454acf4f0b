// The built-in Ogg Vorbis decoder over the "wuvorbis.dll" entry points.
#include "files/ogg_decoder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>
#include <new>

#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "winapi/kernel.h"

namespace {

constexpr int kOk = 0;
constexpr int kNotOgg = 1;
constexpr int kNotSeekable = 2;
constexpr int kNoLibrary = -2;

constexpr WU_OV_CALLBACKS kCallbacks = {COggStream::ReadCallback, COggStream::SeekCallback,
                                        COggStream::CloseCallback, COggStream::TellCallback};

// Looks up one entry point into its slot → whether it exists.
template <typename F>
bool Find(HMODULE module, const char* name, F* slot)
{
    *slot = reinterpret_cast<F>(GetProcAddress(module, name));
    return *slot != nullptr;
}

} // namespace

size_t COggStream::ReadCallback(void* buffer, size_t size, size_t count, void* source)
{
    CFileStream* file = FileOf(source);
    // Size 0 used to divide by zero; a request past 32 bits used to wrap to a short read.
    if (file == nullptr || buffer == nullptr || size == 0)
        return 0;
    const size_t most = static_cast<size_t>(UINT32_MAX) / size;
    const size_t items = count < most ? count : most;
    return file->Read(buffer, static_cast<DWORD>(items * size)) / size;
}

int COggStream::SeekCallback(void* source, int64_t offset, int whence)
{
    CFileStream* file = FileOf(source);
    if (file == nullptr)
        return -1;
    int64_t target;
    switch (whence) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(file->Tell()) + offset; break;
    case 2: target = static_cast<int64_t>(file->GetSize()) + offset; break;
    default: return -1;
    }
    // A target outside the file used to wrap around 32 bits and land somewhere inside it.
    if (offset > INT64_MAX / 2 || offset < INT64_MIN / 2 || target < 0 || target > file->GetSize())
        return -1;
    return file->SeekSet(static_cast<DWORD>(target)) == 0 ? 0 : -1;
}

int COggStream::CloseCallback(void* source)
{
    CFileStream* file = FileOf(source);
    if (file == nullptr)
        return -1;
    file->Release();
    static_cast<COggStream*>(source)->m_file = nullptr;
    return 0;
}

long COggStream::TellCallback(void* source)
{
    CFileStream* file = FileOf(source);
    if (file == nullptr)
        return -1;
    // A closed file answers 0xFFFFFFFF; the library must see -1, not a position of 4 GB.
    const DWORD position = file->Tell();
    return position == 0xFFFFFFFFu ? -1L : static_cast<long>(position);
}

COggStream::COggStream(const COggLibrary& library) : m_library(library) {}

// The library hands the stream back as the data source of every callback.
CFileStream* COggStream::FileOf(void* source)
{
    return source == nullptr ? nullptr : static_cast<COggStream*>(source)->m_file;
}

void COggStream::CloseState()
{
    m_file = nullptr; // forgotten first, so that the clear call cannot release it
    m_library.clear(m_state);
    m_stateOpen = false;
    std::fill(std::begin(m_state), std::end(m_state), 0);
}

COggStream::~COggStream()
{
    if (m_stateOpen)
        m_library.clear(m_state);
    if (m_file != nullptr)
        m_file->Release();
}

int COggStream::OpenFile(CFileStream* file)
{
    m_file = file;
    if (m_library.openCallbacks(this, m_state, nullptr, 0, kCallbacks) != 0) {
        m_file = nullptr;
        return kNotOgg;
    }
    m_stateOpen = true;
    if (m_library.seekable(m_state) == 0) {
        CloseState();
        return kNotSeekable;
    }
    const WU_VORBIS_INFO* info = m_library.info(m_state, -1);
    const int channels = info != nullptr ? info->channels : 0;
    const long rate = info != nullptr ? info->rate : 0;
    // Channel counts and rates outside the format's fields would give a nonsense format.
    if (channels <= 0 || channels > 255 || rate <= 0 || rate > 0x7FFFFFFF / (channels * 2)) {
        CloseState();
        return kNotOgg;
    }
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = static_cast<WORD>(channels);
    m_format.nSamplesPerSec = static_cast<DWORD>(rate);
    m_format.nBlockAlign = static_cast<WORD>(channels * 2);
    m_format.wBitsPerSample = 16;
    m_format.nAvgBytesPerSec = m_format.nBlockAlign * m_format.nSamplesPerSec;
    m_format.cbSize = 0;
    const double total = m_library.timeTotal(m_state, -1) * 1000.0;
    m_length = total > 0 && total < 4294967295.0 ? static_cast<DWORD>(total) : 0;
    m_totalSamples = m_library.pcmTotal(m_state, -1);
    const int64_t bytes = m_totalSamples > 0 ? m_totalSamples * m_format.nBlockAlign : 0;
    m_totalBytes = bytes < 0xFFFFFFFFLL ? static_cast<DWORD>(bytes) : 0xFFFFFFFFu;
    return kOk;
}

int COggStream::Seek(DWORD ms)
{
    // Seek(0) rewinds even a sound shorter than one millisecond (length 0). It goes to byte 0 of
    // the file: the library's raw position right after opening is where its reading stands, which
    // is past the first data (the end of the first link), so rewinding there went silent.
    if (ms != 0 && ms >= m_length)
        return 5;
    const int result = ms == 0 ? m_library.rawSeek(m_state, 0) : m_library.timeSeek(m_state, ms * 0.001);
    if (result != 0)
        return 6;
    m_end = false;
    return 0;
}

DWORD COggStream::GetPosition()
{
    const double ms = std::round(m_library.timeTell(m_state) * 1000.0);
    return ms > 0 && ms < 4294967295.0 ? static_cast<DWORD>(ms) : 0;
}

DWORD COggStream::Read(void* buffer, DWORD bytes)
{
    if (m_end || buffer == nullptr || bytes == 0)
        return 0;
    auto* out = static_cast<char*>(buffer);
    DWORD done = 0;
    const DWORD block = m_format.nBlockAlign;
    // The library delivers whole sample frames only: a rest smaller than one is left unfilled
    // (asking for it answers an error, which would end the sound).
    while (bytes - done >= block) {
        const DWORD left = bytes - done;
        const DWORD whole = (left > INT_MAX ? INT_MAX : left) / block * block;
        const int ask = static_cast<int>(whole);
        int link = 0;
        const long got = m_library.read(m_state, out + done, ask, 0, 2, 1, &link);
        if (got > 0 && got <= ask) {
            done += static_cast<DWORD>(got);
            continue;
        }
        if (got == WU_OV_HOLE || got == WU_OV_EBADLINK)
            return done;
        // The end, and any other failure: a negative answer used to move the write position back
        // or loop for ever.
        m_end = true;
        return done;
    }
    return done;
}

COggDecoder::COggDecoder(const char* libraryName)
{
    char full[MAX_PATH];
    if (libraryName == nullptr || MakeFullPath(full, libraryName, nullptr) == 0)
        return;
    m_module = LoadLibraryA(full);
    if (m_module == nullptr)
        return;
    COggLibrary& l = m_library;
    // In the library's order; the state size is asked before anything else is looked up.
    const bool complete =
        Find(m_module, "Query_sizeof_OggVorbis_File", &l.querySize) && l.querySize() > 0 &&
        static_cast<size_t>(l.querySize()) <= COggStream::kStateSize && Find(m_module, "wu_ov_clear", &l.clear) &&
        Find(m_module, "wu_ov_open_callbacks", &l.openCallbacks) && Find(m_module, "wu_ov_seekable", &l.seekable) &&
        Find(m_module, "wu_ov_pcm_total", &l.pcmTotal) && Find(m_module, "wu_ov_time_total", &l.timeTotal) &&
        Find(m_module, "wu_ov_raw_seek", &l.rawSeek) && Find(m_module, "wu_ov_time_seek", &l.timeSeek) &&
        Find(m_module, "wu_ov_raw_tell", &l.rawTell) && Find(m_module, "wu_ov_pcm_tell", &l.pcmTell) &&
        Find(m_module, "wu_ov_time_tell", &l.timeTell) && Find(m_module, "wu_ov_info", &l.info) &&
        Find(m_module, "wu_ov_read", &l.read) && Find(m_module, "wu_SetCPUType", &l.setCpuType) &&
        Find(m_module, "wu_DetectCPU", &l.detectCpu);
    if (!complete) {
        FreeLibrary(m_module);
        m_module = nullptr;
        m_library = {};
        return;
    }
    l.setCpuType(l.detectCpu());
}

COggDecoder::~COggDecoder()
{
    if (m_module != nullptr)
        FreeLibrary(m_module);
}

CDecodeStream* COggDecoder::Open(CFileStream* file, int* outCode)
{
    int code = kNoLibrary;
    COggStream* stream = nullptr;
    if (m_module != nullptr && file != nullptr) {
        stream = new (std::nothrow) COggStream(m_library);
        code = stream == nullptr ? kNotOgg : stream->OpenFile(file);
        if (code != kOk) {
            delete stream;
            stream = nullptr;
            file->SeekSet(0);
        }
    }
    if (outCode != nullptr)
        *outCode = code;
    return stream;
}

int RegisterOggDecoder(CSllManager& manager)
{
    auto* decoder = new (std::nothrow) COggDecoder("wuvorbis.dll");
    if (decoder == nullptr)
        return 1;
    if (!decoder->HasLibrary()) {
        delete decoder;
        return 1;
    }
    return manager.Register(decoder, "OGG\0", "Ogg Vorbis format", 2, nullptr, nullptr, nullptr);
}
