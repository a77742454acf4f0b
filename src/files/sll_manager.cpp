// The sound-decoder manager and the WAV export.
#include "files/sll_manager.h"

#include <cstdlib>
#include <new>

const CPluginFamily g_SllFamily = {"GetSllType",     "GetSllTypeString",   "GetSllSupportExt", "SllAssistFunc",
                                   "SllAssistFunc2", "GetSllDecodeObject", "SllConfigDlg",     "*.SLL"};

CSllManager* g_pSllManager = nullptr;

namespace {

// Plug-in decoders have the decoder's layout and slot order but are not objects of the engine's
// C++ type, so the sanitizer's dynamic-type check does not apply where the manager calls them.
__attribute__((no_sanitize("vptr"))) CSoundDecoder* DecoderOf(const CPluginRecord* record)
{
    return record == nullptr ? nullptr : static_cast<CSoundDecoder*>(record->decodeObject);
}

__attribute__((no_sanitize("vptr"))) CDecodeStream* AskDecoder(CSoundDecoder* decoder, CFileStream* file)
{
    // Each decoder sees the data from its start, whatever the one before it read and refused.
    file->SeekSet(0);
    return decoder->Open(file, nullptr);
}

} // namespace

CSllManager::~CSllManager()
{
    UnloadAllPlugins(m_records);
}

void CSllManager::UnloadType(DWORD typeId)
{
    UnloadPluginType(m_records, typeId);
}

void CSllManager::UnloadAll()
{
    UnloadAllPlugins(m_records);
}

int CSllManager::Register(CSoundDecoder* object, const char* extensions, const char* typeString, DWORD typeId,
                          PluginAssistFunc assist, PluginAssistFunc assist2, PluginConfigFunc configDlg)
{
    return RegisterPlugin(m_records, object, extensions, typeString, typeId, assist, assist2, configDlg);
}

int CSllManager::LoadPlugin(const char* path)
{
    return ::LoadPlugin(m_records, g_SllFamily, path);
}

int CSllManager::LoadFolder(const char* folder)
{
    return LoadPluginFolder(m_records, g_SllFamily, folder);
}

CSoundDecoder* CSllManager::FindByExtension(const char* name)
{
    return DecoderOf(FindPluginByExtension(m_records, name));
}

CSoundDecoder* CSllManager::FindByType(DWORD typeId)
{
    return DecoderOf(FindPluginByType(m_records, typeId));
}

PluginAssistFunc CSllManager::GetAssistFunc2ByType(DWORD typeId)
{
    CPluginRecord* record = FindPluginByType(m_records, typeId);
    return record != nullptr ? record->assist2 : nullptr;
}

CDecodeStream* CSllManager::Open(const char* name, CFileStream* stream, bool streamed, int* outCode)
{
    int code = SLL_OK;
    CFileStream* file = stream;
    CDecodeStream* decode = nullptr;
    if (file == nullptr) {
        file = new (std::nothrow) CFileStream;
        if (file == nullptr)
            code = SLL_NO_MEMORY;
        else if ((streamed && !GetStreamOff() ? file->Open(name) : file->OpenInMemory(name)) != 0)
            code = SLL_CANNOT_OPEN;
    }
    if (code == SLL_OK) {
        CSoundDecoder* first = name != nullptr ? FindByExtension(name) : nullptr;
        if (first != nullptr)
            decode = AskDecoder(first, file);
        for (size_t i = 0; decode == nullptr && i < m_records.size(); ++i) {
            CSoundDecoder* decoder = DecoderOf(m_records[i]);
            if (decoder != first)
                decode = AskDecoder(decoder, file);
        }
        if (decode == nullptr)
            code = SLL_NO_DECODER;
    }
    if (decode == nullptr && stream == nullptr && file != nullptr)
        file->Release();
    if (outCode != nullptr)
        *outCode = code;
    return decode;
}
