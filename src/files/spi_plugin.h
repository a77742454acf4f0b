// SPI plug-ins: image plug-ins ("00IN") become image loaders of the SPI image-loader manager
// (g_pSPIGllManager, type 5) and archive plug-ins ("00AM") archive decoders of the SPI file manager
// (g_pSPIFileManager, type 3). This header holds their export contracts, what both adapters share
// (the library they hold, the blocks plug-ins hand over, their texts) and the two loaders.
// LoadSPIPlugin codes: 0 loaded, 1 path cannot be made full, 2 LoadLibraryA failed, 3 no
// GetPluginInfo, 4 unknown API version or no memory, 5 binding or registration failed (a required
// export missing, no manager, the manager refused), -1 a kind the caller does not accept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "winapi/base.h"

// Export contracts (C linkage). Paths a plug-in opens or writes are Linux paths.
using SpiProgressFunc = int (*)(int done, int total, intptr_t user); // non-zero aborts
using SpiGetPluginInfoFunc = int (*)(int infoNo, char* buffer, int bufferLength);
using SpiIsSupportedFunc = int (*)(const char* name, const void* head); // head: 2048 bytes
using SpiGetPictureFunc = int (*)(const char* data, intptr_t length, unsigned flag, HLOCAL* info, HLOCAL* bits,
                                  SpiProgressFunc progress, intptr_t user);
using SpiGetArchiveInfoFunc = int (*)(const char* path, intptr_t offset, unsigned flag, HLOCAL* info);
using SpiGetFileFunc = int (*)(const char* path, intptr_t position, char* destination, unsigned flag,
                               SpiProgressFunc progress, intptr_t user);

constexpr unsigned kSpiInputMemory = 1;      // GetPicture: data is the file in memory
constexpr unsigned kSpiOutputMemory = 0x100; // GetFile: destination receives an HLOCAL
constexpr size_t kSpiHeadSize = 2048;
constexpr int kSpiInfoSize = 256;

// The plug-in library, held by its adapter and by every archive the adapter opened; the last
// holder frees it.
class CSPIModule {
public:
    explicit CSPIModule(HMODULE module) : m_module(module) {}
    CSPIModule(const CSPIModule&) = delete;
    CSPIModule& operator=(const CSPIModule&) = delete;
    ~CSPIModule();
    HMODULE Get() const { return m_module; }

private:
    HMODULE m_module;
};
using SpiModuleRef = std::shared_ptr<CSPIModule>;

// Takes over a block a plug-in handed out: locked and sized by LocalSize; a fixed block is already
// a global block and is handed on, a moveable one is copied into a new global block and freed.
// → the global block (its size in outSize), or null (no block, a stray handle, no memory; a
// moveable block is freed even then).
HGLOBAL TakeSpiBlock(HLOCAL block, SIZE_T* outSize);
// The text of a fixed-size field: up to its NUL or its end, without a lead byte cut off there.
std::string SpiFieldText(const char* field, size_t size);
// "*.jpg;*.jpeg" → "JPG\0JPEG\0\0": '*' and '.' dropped, ';' ends an extension, ASCII upper-cased,
// two-byte characters kept whole; empty extensions left out.
std::string SpiExtensionList(const std::string& patterns);

// Loads one SPI plug-in (path relative to the base folder) → code above.
int LoadSPIPlugin(const char* path, bool acceptArchive, bool acceptImage);
// Loads every "*.SPI" of folder → the number whose loading answered non-zero, -1 for a bad folder.
int LoadSPIFolder(const char* folder, bool acceptArchive, bool acceptImage);
