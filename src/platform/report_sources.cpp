// The report's sources; see report_sources.h.
#include "platform/report_sources.h"

IDisplayReportSource* g_pDisplayReportSource = nullptr;
ISoundDeviceSource* g_pSoundDeviceSource = nullptr;

DisplayReportFacts CurrentDisplayReportFacts()
{
    return g_pDisplayReportSource != nullptr ? g_pDisplayReportSource->GetDisplayReportFacts() : DisplayReportFacts{};
}

std::vector<SoundDeviceRecord> CurrentSoundDevices()
{
    return g_pSoundDeviceSource != nullptr ? g_pSoundDeviceSource->EnumerateSoundDevices()
                                           : std::vector<SoundDeviceRecord>{};
}
