#include "sound/sound_device_source.h"

#include "platform/report_sources.h"
#include "sound/sound_device.h"

namespace {

// Holds no state of its own: every call goes to the process-wide list.
class CSoundDeviceSource final : public ISoundDeviceSource {
public:
    const SoundDeviceRecord* EnumerateSoundDevices() override
    {
        ::EnumerateSoundDevices();
        return g_pSoundDeviceList;
    }
    const SoundDeviceRecord* GetSoundDeviceList() override { return g_pSoundDeviceList; }
    void FreeSoundDeviceList() override { ::FreeSoundDeviceList(); }
};

} // namespace

void InstallSoundDeviceSource()
{
    static CSoundDeviceSource source;
    g_pSoundDeviceSource = &source;
}
