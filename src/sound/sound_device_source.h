// The sound layer behind the report's ISoundDeviceSource: the start-up report and the
// system-information text print the records of g_pSoundDeviceList, the very list the sound
// device is opened from, so what a user sends in names the devices the game can use.
#pragma once

// Sets g_pSoundDeviceSource to the sound layer's source. Start-up calls it before the frame's
// Init; calling it again changes nothing.
void InstallSoundDeviceSource();
