// CSPIImageLoader: an SPI image plug-in as an image loader. It only makes bitmaps (Load answers
// -2, so the manager goes through LoadPicture); the plug-in's blocks are checked before use.
// LoadPicture codes: 0, 1 the plug-in failed, 3 its bitmap does not fit its blocks (width or height
// past the picture limit, a bit count other than 1, 4, 8, 16, 24, 32, a header, colour table or rows
// past the block, a block missing or not a local block), 4 no data.
#pragma once

#include <string>

#include "files/image_loader.h"
#include "files/spi_plugin.h"

class CSPIImageLoader : public CImageLoader {
public:
    CSPIImageLoader(SpiModuleRef module, SpiIsSupportedFunc isSupported, SpiGetPictureFunc getPicture,
                    std::string typeString, std::string extensions);

    // Asks the plug-in with the head padded with zeros to 2048 bytes.
    bool IsSupported(const BYTE* header, DWORD size, const char* name) override;
    int Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
             GllProgressFunc progress, void* progressUser) override;
    int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits, GllProgressFunc progress,
                    void* progressUser) override;
    int Save(int mode, const void* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
             void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser) override;

    const char* GetTypeString() const { return m_typeString.c_str(); }
    const char* GetExtensions() const { return m_extensions.c_str(); }

private:
    SpiModuleRef m_module;
    SpiIsSupportedFunc m_isSupported;
    SpiGetPictureFunc m_getPicture;
    std::string m_typeString;
    std::string m_extensions; // "EXT\0...\0", the string's own NUL ends the list
};
