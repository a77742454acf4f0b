// The report's sources; see report_sources.h.
#include "platform/report_sources.h"

IDisplayReportSource* g_pDisplayReportSource = nullptr;
ISoundDeviceSource* g_pSoundDeviceSource = nullptr;

DisplayReportFacts CurrentDisplayReportFacts()
{
    return g_pDisplayReportSource != nullptr ? g_pDisplayReportSource->GetDisplayReportFacts() : DisplayReportFacts{};
}

const SoundDeviceRecord* RefreshSoundDevices()
{
    return g_pSoundDeviceSource != nullptr ? g_pSoundDeviceSource->EnumerateSoundDevices() : nullptr;
}

const SoundDeviceRecord* CurrentSoundDevices()
{
    if (g_pSoundDeviceSource == nullptr)
        return nullptr;
    const SoundDeviceRecord* list = g_pSoundDeviceSource->GetSoundDeviceList();
    return list != nullptr ? list : g_pSoundDeviceSource->EnumerateSoundDevices();
}
