#include "files/spi_plugin.h"

#include <cstring>
#include <new>

#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/plugin_record.h"
#include "files/spi_archive.h"
#include "files/spi_image_loader.h"
#include "winapi/kernel.h"

namespace {

bool IsLeadByte(BYTE c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

enum ESpiKind { kSpiImage, kSpiArchive, kSpiUnknown };

// One GetPluginInfo answer, cut at 255 bytes (a plug-in may leave out the NUL).
std::string PluginInfo(SpiGetPluginInfoFunc getInfo, int infoNo)
{
    char buffer[kSpiInfoSize] = {};
    getInfo(infoNo, buffer, kSpiInfoSize);
    return SpiFieldText(buffer, kSpiInfoSize - 1);
}

// Binds the library's exports to an adapter and registers it → 0, or 5.
int BindImage(HMODULE module, const SpiModuleRef& ref, std::string description, std::string extensions)
{
    auto isSupported = reinterpret_cast<SpiIsSupportedFunc>(GetProcAddress(module, "IsSupported"));
    auto getPicture = reinterpret_cast<SpiGetPictureFunc>(GetProcAddress(module, "GetPicture"));
    auto config = reinterpret_cast<PluginConfigFunc>(GetProcAddress(module, "ConfigurationDlg"));
    if (isSupported == nullptr || getPicture == nullptr || g_pSPIGllManager == nullptr)
        return 5;
    auto* loader = new CSPIImageLoader(ref, isSupported, getPicture, std::move(description), std::move(extensions));
    // Register releases the loader when it refuses.
    return g_pSPIGllManager->Register(loader, loader->GetExtensions(), loader->GetTypeString(), 5, nullptr,
                                      nullptr, config) == 0
               ? 0
               : 5;
}

int BindArchive(HMODULE module, const SpiModuleRef& ref, std::string description, std::string extensions)
{
    auto getInfo = reinterpret_cast<SpiGetArchiveInfoFunc>(GetProcAddress(module, "GetArchiveInfo"));
    auto getFile = reinterpret_cast<SpiGetFileFunc>(GetProcAddress(module, "GetFile"));
    auto config = reinterpret_cast<PluginConfigFunc>(GetProcAddress(module, "ConfigurationDlg"));
    if (getInfo == nullptr || getFile == nullptr || g_pSPIFileManager == nullptr)
        return 5;
    auto* decoder = new CSPIArchiveDecoder(ref, getInfo, getFile, std::move(description), std::move(extensions));
    if (g_pSPIFileManager->RegisterDecoder(decoder, decoder->GetExtensions(), decoder->GetTypeString(), 3,
                                           SpiAssistFunc, SpiAssistFunc, config) != 0) {
        delete decoder;
        return 5;
    }
    return 0;
}

int LoadAndBind(HMODULE module, bool acceptArchive, bool acceptImage)
{
    auto getInfo = reinterpret_cast<SpiGetPluginInfoFunc>(GetProcAddress(module, "GetPluginInfo"));
    if (getInfo == nullptr) {
        FreeLibrary(module);
        return 3;
    }
    SpiModuleRef ref;
    try {
        ref = std::make_shared<CSPIModule>(module);
    } catch (...) {
        FreeLibrary(module);
        return 4;
    }
    // From here on the library goes when the last holder of ref does.
    try {
        const std::string version = PluginInfo(getInfo, 0);
        const ESpiKind kind = version == "00IN" ? kSpiImage : version == "00AM" ? kSpiArchive : kSpiUnknown;
        if (kind == kSpiUnknown)
            return 4;
        if ((kind == kSpiImage && !acceptImage) || (kind == kSpiArchive && !acceptArchive))
            return -1;
        std::string extensions = SpiExtensionList(PluginInfo(getInfo, 2));
        std::string description = PluginInfo(getInfo, 3);
        return kind == kSpiImage ? BindImage(module, ref, std::move(description), std::move(extensions))
                                 : BindArchive(module, ref, std::move(description), std::move(extensions));
    } catch (const std::bad_alloc&) {
        return 4;
    } catch (...) {
        return 5;
    }
}

} // namespace

CSPIModule::~CSPIModule()
{
    FreeLibrary(m_module);
}

HGLOBAL TakeSpiBlock(HLOCAL block, SIZE_T* outSize)
{
    *outSize = 0;
    if (block == nullptr)
        return nullptr;
    void* memory = LocalLock(block);
    if (memory == nullptr)
        return nullptr;
    const SIZE_T size = LocalSize(block);
    if (memory == block) {
        *outSize = size; // a fixed block is a global block already
        return block;
    }
    HGLOBAL copy = GlobalAlloc(GMEM_FIXED, size);
    if (copy != nullptr) {
        std::memcpy(copy, memory, size);
        *outSize = size;
    }
    LocalUnlock(block);
    LocalFree(block);
    return copy;
}

std::string SpiFieldText(const char* field, size_t size)
{
    size_t length = 0;
    while (length < size && field[length] != 0)
        ++length;
    size_t end = 0;
    while (end < length) {
        const size_t step = IsLeadByte(static_cast<BYTE>(field[end])) ? 2 : 1;
        if (end + step > length)
            break; // a lead byte whose trail lies past the field
        end += step;
    }
    return std::string(field, end);
}

std::string SpiExtensionList(const std::string& patterns)
{
    std::string list;
    std::string extension;
    auto finish = [&] {
        if (!extension.empty())
            list += extension + '\0';
        extension.clear();
    };
    for (size_t i = 0; i < patterns.size(); ++i) {
        const char c = patterns[i];
        if (IsLeadByte(static_cast<BYTE>(c)) && i + 1 < patterns.size()) {
            extension += c;
            extension += patterns[++i];
        } else if (c == ';') {
            finish();
        } else if (c != '*' && c != '.') {
            extension += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    finish();
    return list; // the string's own NUL ends the list
}

int LoadSPIPlugin(const char* path, bool acceptArchive, bool acceptImage)
{
    HMODULE module = nullptr;
    const int code = LoadPluginLibrary(path, &module);
    return code != 0 ? code : LoadAndBind(module, acceptArchive, acceptImage);
}

int LoadSPIFolder(const char* folder, bool acceptArchive, bool acceptImage)
{
    return LoadPluginFiles(folder, "*.SPI",
                           [=](const char* path) { return LoadSPIPlugin(path, acceptArchive, acceptImage); });
}
