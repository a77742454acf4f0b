// What the start-up report and the system-information text read of the display device and of the
// DirectSound device list. The display and sound layers fill these in when they start (through the
// two pointers below); until then the display reads as GDI and the sound list as empty.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/base.h"

struct DisplayReportFacts {
    bool initialised = false;      // the display is set up (else the device lines read "未初期化")
    bool fullScreen = false;
    int fullWidth = 0, fullHeight = 0, fullDepth = 0;
    std::string adapterDescription;  // Shift-JIS; empty when none
    int presentation = 0;            // 0 GDI, 1 DirectDraw, 2 Direct3D
    bool vsyncWait = false;
    bool directDrawFlip = false;
    // DirectDraw.
    bool directDraw = false;
    std::string driverName, driverFile;
    uint16_t driverVersion[4] = {0, 0, 0, 0};
    bool hal = false;
    bool halStretch = false;
    uint64_t videoMemoryTotal = 0, videoMemoryFree = 0;
    bool primaryExists = false;
    bool primaryVram = false, secondaryVram = false;
    uint32_t primaryCaps = 0, secondaryCaps = 0;
    int pixelBits = 0;
    uint32_t pixelType = 0;
    int redBits = 0, greenBits = 0, blueBits = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    // Frames presented through Direct3D textures (device blit).
    bool deviceBlit = false;
    int textureWidth = 0, textureHeight = 0;
    uint32_t textureType = 0;
    bool directBlt = false;
    // Direct3D.
    bool direct3D = false;
    int d3dDevice = 0;  // 0 HEL, 1 HAL, 2 T&L
    int zBufferBits = 0;
    uint32_t textureFormats = 0;  // bit n: 555, 565, 1555, 4444, 888 (24), 888 (32), 8888
    int maxTextureStages = 0;
    int minTextureWidth = 0, minTextureHeight = 0, maxTextureWidth = 0, maxTextureHeight = 0;
    bool drawPrimitiveVertex = false, gouraudAlpha = false, alphaTest = false, zBufferLessHsr = false;
    uint32_t textureCaps = 0, textureOpCaps = 0, srcBlendCaps = 0, destBlendCaps = 0;
    bool powerOfTwo = false, noLimitation = false, squareOnly = false;
};

class IDisplayReportSource {
public:
    virtual ~IDisplayReportSource() = default;
    virtual DisplayReportFacts GetDisplayReportFacts() = 0;
};

// One enumerated DirectSound device. The sound layer keeps the process-wide list of these (linked
// through next, in enumeration order); the report reads that same list, the device opens from it.
struct SoundDeviceRecord {
    GUID guid{};
    GUID* pGuid = nullptr;     // &guid, or null for the primary sound driver
    std::string description;  // Shift-JIS
    std::string module;       // Shift-JIS
    SoundDeviceRecord* next = nullptr;
};

class ISoundDeviceSource {
public:
    virtual ~ISoundDeviceSource() = default;
    // Enumerates the DirectSound devices into the process-wide list anew and answers its first
    // record; null when no device was listed.
    virtual const SoundDeviceRecord* EnumerateSoundDevices() = 0;
    // The process-wide list as it stands; null when it was never made or was freed.
    virtual const SoundDeviceRecord* GetSoundDeviceList() = 0;
    // Frees the process-wide list (the frame's Exit, when the report was written).
    virtual void FreeSoundDeviceList() = 0;
};

// Null until the display and sound layers set them.
extern IDisplayReportSource* g_pDisplayReportSource;
extern ISoundDeviceSource* g_pSoundDeviceSource;

// The display's facts, or those of a GDI display when no source is set.
DisplayReportFacts CurrentDisplayReportFacts();
// The sound devices from a fresh enumeration (the start-up report); null when none or no source.
const SoundDeviceRecord* RefreshSoundDevices();
// The sound devices as listed, enumerated first when there is no list yet (the system-information
// text); null when none or no source.
const SoundDeviceRecord* CurrentSoundDevices();
