// WAV export of decoded sounds.
#include "files/wav_export.h"

#include <cstdint>
#include <memory>
#include <new>

#include "files/sll_manager.h"

namespace {

constexpr DWORD kBufferSize = 32768;
constexpr DWORD kRiffSizeOffset = 4;
constexpr DWORD kDataSizeOffset = 42;
constexpr DWORD kHeaderSize = 46;

void Put16(BYTE* p, WORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void Put32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

// The 46-byte header, format written field by field. Its size field is 0: a PCM format has no
// extension bytes (18 used to claim some that the 18-byte chunk does not hold).
void MakeHeader(BYTE* h, const WAVEFORMATEX& format, DWORD dataSize)
{
    const BYTE tags[4][4] = {{'R', 'I', 'F', 'F'}, {'W', 'A', 'V', 'E'}, {'f', 'm', 't', ' '}, {'d', 'a', 't', 'a'}};
    for (int i = 0; i < 4; ++i) {
        h[0 + i] = tags[0][i];
        h[8 + i] = tags[1][i];
        h[12 + i] = tags[2][i];
        h[38 + i] = tags[3][i];
    }
    Put32(h + kRiffSizeOffset, 38 + dataSize);
    Put32(h + 16, 18);
    Put16(h + 20, format.wFormatTag);
    Put16(h + 22, format.nChannels);
    Put32(h + 24, format.nSamplesPerSec);
    Put32(h + 28, format.nAvgBytesPerSec);
    Put16(h + 32, format.nBlockAlign);
    Put16(h + 34, format.wBitsPerSample);
    Put16(h + 36, 0);
    Put32(h + kDataSizeOffset, dataSize);
}

bool WriteAll(CFileStream& file, const void* data, DWORD bytes)
{
    return file.Write(data, bytes) == bytes;
}

// Rewrites the two sizes for total data bytes (and the pad byte of odd data) → success.
bool FinishSizes(CFileStream& file, DWORD total, DWORD pad)
{
    BYTE size[4];
    Put32(size, 38 + total + pad);
    if (file.SeekSet(kRiffSizeOffset) != 0 || !WriteAll(file, size, 4))
        return false;
    Put32(size, total);
    return file.SeekSet(kDataSizeOffset) == 0 && WriteAll(file, size, 4);
}

struct DecodeDeleter {
    __attribute__((no_sanitize("vptr"))) void operator()(CDecodeStream* stream) const { delete stream; }
};

__attribute__((no_sanitize("vptr"))) int Export(CDecodeStream& decode, const char* wavPath)
{
    CFileStream file;
    if (file.Create(wavPath, true) != 0)
        return 3;
    const WAVEFORMATEX format = *decode.GetFormat();
    // The copy stops one second of sound past the reported total at the latest; the sizes must
    // still fit the RIFF fields (the sum used to wrap in 32 bits).
    constexpr uint64_t kMost = 0xFFFFFFFFu - 38 - 1;
    uint64_t limit = static_cast<uint64_t>(decode.GetTotalBytes()) + format.nAvgBytesPerSec;
    if (limit > kMost)
        limit = kMost;
    BYTE header[kHeaderSize];
    MakeHeader(header, format, static_cast<DWORD>(limit));
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kBufferSize]);
    if (buffer == nullptr)
        return 4;
    if (!WriteAll(file, header, kHeaderSize))
        return 6;
    int code = 0;
    uint64_t total = 0;
    while (total < limit) {
        const DWORD got = decode.Read(buffer.get(), kBufferSize);
        if (got == 0 || got > kBufferSize)
            break;
        const uint64_t remaining = limit - total;
        const DWORD put = got < remaining ? got : static_cast<DWORD>(remaining);
        const DWORD written = file.Write(buffer.get(), put);
        total += written;
        if (written != put) {
            code = 6;
            break;
        }
    }
    DWORD pad = 0;
    if (total % 2 != 0) {
        const BYTE zero = 0;
        pad = file.Write(&zero, 1);
        if (pad != 1)
            code = 6;
    }
    if (!FinishSizes(file, static_cast<DWORD>(total), pad))
        code = 6;
    return code;
}

} // namespace

int ConvertSoundToWav(const char* soundName, const char* wavPath, CSllManager* manager)
{
    if (manager == nullptr)
        manager = g_pSllManager;
    if (soundName == nullptr || wavPath == nullptr || manager == nullptr)
        return 1;
    std::unique_ptr<CDecodeStream, DecodeDeleter> decode(manager->Open(soundName, nullptr, true, nullptr));
    if (decode == nullptr)
        return 2;
    return Export(*decode, wavPath);
}
