// A sound-decoder plug-in as the tests build it: "WAVE.SLL", a Linux shared object decoding PCM
// RIFF/WAVE files through the authoring tools' bounded RIFF reader. It reads the whole file at
// open and keeps it as the decode stream's own file.
#include <cstring>
#include <new>
#include <vector>

#include "authoring/riff_reader.h"
#include "files/sound_decoder.h"

namespace {

class WaveStream : public CDecodeStream {
public:
    WaveStream(CFileStream* file, std::vector<uint8_t> bytes, const RiffWave& wave)
        : m_file(file), m_bytes(std::move(bytes))
    {
        m_data = m_bytes.data() + (wave.data - m_bytes.data());
        m_size = wave.dataSize;
        m_format = {wave.formatTag,  wave.channels,      wave.samplesPerSec, wave.avgBytesPerSec,
                    wave.blockAlign, wave.bitsPerSample, 0};
    }
    ~WaveStream() override { m_file->Release(); }

    DWORD GetLength() override { return static_cast<DWORD>(uint64_t{m_size} * 1000 / m_format.nAvgBytesPerSec); }
    DWORD GetTotalBytes() override { return m_size; }
    int Seek(DWORD ms) override
    {
        if (ms != 0 && ms >= GetLength())
            return 5;
        const uint64_t at = uint64_t{ms} * m_format.nAvgBytesPerSec / 1000;
        m_position = static_cast<DWORD>(at - at % m_format.nBlockAlign);
        m_end = false;
        return 0;
    }
    DWORD GetPosition() override
    {
        return static_cast<DWORD>(uint64_t{m_position} * 1000 / m_format.nAvgBytesPerSec);
    }
    bool IsEnd() override { return m_end; }
    DWORD Read(void* buffer, DWORD bytes) override
    {
        if (m_end || buffer == nullptr || bytes == 0)
            return 0;
        const DWORD n = bytes < m_size - m_position ? bytes : m_size - m_position;
        std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        if (n < bytes)
            m_end = true;
        return n;
    }
    WAVEFORMATEX* GetFormat() override { return &m_format; }

private:
    CFileStream* m_file;
    std::vector<uint8_t> m_bytes;
    const uint8_t* m_data;
    DWORD m_size;
    DWORD m_position = 0;
    bool m_end = false;
    WAVEFORMATEX m_format;
};

class WaveDecoder : public CSoundDecoder {
public:
    CDecodeStream* Open(CFileStream* file, int* outCode) override
    {
        std::vector<uint8_t> bytes(file->GetSize());
        RiffWave wave;
        if (file->Read(bytes.data(), file->GetSize()) != bytes.size() ||
            !ReadRiffWave(bytes.data(), bytes.size(), &wave)) {
            if (outCode != nullptr)
                *outCode = 1;
            return nullptr;
        }
        if (outCode != nullptr)
            *outCode = 0;
        return new WaveStream(file, std::move(bytes), wave);
    }
};

} // namespace

#define SLL_EXPORT extern "C" __attribute__((visibility("default")))

SLL_EXPORT DWORD GetSllType()
{
    return 7;
}
SLL_EXPORT const char* GetSllTypeString()
{
    return "RIFF WAVE PCM";
}
SLL_EXPORT const char* GetSllSupportExt()
{
    return "WAV\0WAVE\0";
}
SLL_EXPORT DWORD SllAssistFunc(void*)
{
    return 0;
}
SLL_EXPORT DWORD SllAssistFunc2(void*)
{
    return 0;
}
SLL_EXPORT CPluginObject* GetSllDecodeObject()
{
    return new (std::nothrow) WaveDecoder;
}
